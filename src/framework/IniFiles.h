#pragma once
// Ini-file access: texts in sections of key-value pairs. TCustomIniFile is
// the interface that settings code uses, so that code stays portable; the
// Windows file lives in IniFiles_win.h. Main thread only.
#include <cstdint>
#include <string>

class TCustomIniFile {
public:
    virtual ~TCustomIniFile() = default;

    // The text of Ident in Section, or Default when the key is missing.
    virtual std::string ReadString(const std::string& Section,
                                   const std::string& Ident,
                                   const std::string& Default) = 0;
    // Raises Exception when the value cannot be written.
    virtual void WriteString(const std::string& Section, const std::string& Ident, const std::string& Value) = 0;

    // The value as an integer (decimal, or hexadecimal after "$" or "0x");
    // Default when the key is missing or its text is not an integer.
    int32_t ReadInteger(const std::string& Section, const std::string& Ident, int32_t Default);
    // Writes the decimal text. Raises as WriteString.
    void WriteInteger(const std::string& Section, const std::string& Ident, int32_t Value);
};
