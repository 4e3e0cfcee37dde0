#pragma once
// An ini file through the Windows profile functions. A file name without a
// path names a file in the Windows directory (the platform's rule); pass a
// full path for any other place. Each call reads or writes the file itself;
// nothing stays open between calls. Main thread only.
#include "framework/IniFiles.h"

class TIniFile : public TCustomIniFile {
public:
    explicit TIniFile(std::string FileName) : FFileName(std::move(FileName)) {}
    const std::string& FileName() const { return FFileName; }

    std::string ReadString(const std::string& Section, const std::string& Ident, const std::string& Default) override;
    void WriteString(const std::string& Section, const std::string& Ident, const std::string& Value) override;
    // Raise Exception when the file cannot be written.
    void DeleteKey(const std::string& Section, const std::string& Ident);
    void EraseSection(const std::string& Section);

private:
    void Write(const char* Section, const char* Ident, const char* Value);
    std::string FFileName;
};
