#include "framework/IniFiles.h"

#include "framework/Numbers.h"

int32_t TCustomIniFile::ReadInteger(const std::string& Section, const std::string& Ident, int32_t Default) {
    return ParseInteger(ReadString(Section, Ident, "")).value_or(Default);
}

void TCustomIniFile::WriteInteger(const std::string& Section, const std::string& Ident, int32_t Value) {
    WriteString(Section, Ident, std::to_string(Value));
}
