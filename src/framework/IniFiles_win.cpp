#include "framework/IniFiles_win.h"

#include <windows.h>

#include <vector>

#include "framework/Exceptions.h"

std::string TIniFile::ReadString(const std::string& Section, const std::string& Ident, const std::string& Default) {
    // The profile functions only say that a text did not fit: grow until it does.
    for (DWORD Size = 2048;; Size *= 2) {
        std::vector<char> Buffer(Size);
        DWORD Length = GetPrivateProfileStringA(Section.c_str(), Ident.c_str(), Default.c_str(), Buffer.data(), Size,
                                                FFileName.c_str());
        if (Length < Size - 1 || Size >= (1u << 24))
            return std::string(Buffer.data(), Length);
    }
}

void TIniFile::WriteString(const std::string& Section, const std::string& Ident, const std::string& Value) {
    Write(Section.c_str(), Ident.c_str(), Value.c_str());
}

void TIniFile::DeleteKey(const std::string& Section, const std::string& Ident) {
    Write(Section.c_str(), Ident.c_str(), nullptr);
}

void TIniFile::EraseSection(const std::string& Section) {
    Write(Section.c_str(), nullptr, nullptr);
}

void TIniFile::Write(const char* Section, const char* Ident, const char* Value) {
    if (!WritePrivateProfileStringA(Section, Ident, Value, FFileName.c_str()))
        throw Exception("Unable to write to " + FFileName + " (error " + std::to_string(GetLastError()) + ")");
}
