#include "dde/DdeValue.h"

#include <algorithm>

std::string ValueText(const unsigned char* Data, size_t Size) {
    const unsigned char* End = std::find(Data, Data + Size, '\0');
    return std::string(reinterpret_cast<const char*>(Data), End - Data);
}

namespace {
std::vector<std::string> SplitLines(const std::string& Text) {
    std::vector<std::string> Lines;
    size_t Pos = 0;
    while (Pos < Text.size()) {
        const size_t End = std::min(Text.find_first_of("\r\n", Pos), Text.size());
        Lines.push_back(Text.substr(Pos, End - Pos));
        Pos = End;
        if (Pos < Text.size() && Text[Pos] == '\r')
            ++Pos;
        if (Pos < Text.size() && Text[Pos] == '\n')
            ++Pos;
    }
    return Lines;
}
}  // namespace

std::vector<std::string> ValueLines(const std::string& Value, bool FormatChars) {
    if (FormatChars)
        return SplitLines(Value);
    std::string Blanked = Value;
    std::replace_if(Blanked.begin(), Blanked.end(), [](char C) { return C >= 1 && C <= 31; }, ' ');
    return SplitLines(Blanked);
}
