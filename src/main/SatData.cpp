#include "main/SatData.h"

#include <charconv>
#include <cmath>

#include "framework/Numbers.h"

TSatData SatData;

void ParseSatData(std::string_view Text, TSatData& Data) {
    if (Text.empty()) {
        Data = TSatData{};
        return;
    }
    std::string Line = AsciiUpperCase(Text);
    ReplaceAll(Line, ",", ".");
    Data.SatName = GetKeyValue(Line, "SN");
    Data.Azimuth = TextToFloat(GetKeyValue(Line, "AZ"));
    Data.Elevation = TextToFloat(GetKeyValue(Line, "EL"));
    Data.Uplink = TextToFloat(GetKeyValue(Line, "UP"));
    Data.Downlink = TextToFloat(GetKeyValue(Line, "DN"));
    Data.UplinkMode = GetKeyValue(Line, "UM");
    Data.DownlinkMode = GetKeyValue(Line, "DM");
}

std::string GetKeyValue(std::string_view Text, std::string_view Key) {
    std::string Search = " " + std::string(Text);
    size_t P = PosUnquoted(Search, " " + AsciiUpperCase(Key));
    std::string Value;
    if (P == 0)
        return Value;
    bool Quoted = false;
    for (size_t I = P - 1 + 1 + Key.size(); I < Search.size(); ++I) {
        char C = Search[I];
        if (C == '"')
            Quoted = !Quoted;
        else if (C == ' ' && !Quoted)
            break;
        else
            Value += C;
    }
    return Value;
}

size_t PosUnquoted(std::string_view Text, std::string_view Key) {
    std::string Masked(Text);
    bool Quoted = false;
    for (char& C : Masked) {
        if (C == '"')
            Quoted = !Quoted;
        else if (Quoted)
            C = '-';
    }
    size_t Found = Masked.find(Key);
    return Found == std::string::npos ? 0 : Found + 1;
}

void ReplaceAll(std::string& Text, std::string_view Search, std::string_view Replacement) {
    if (Search.empty() || Search == Replacement)
        return;
    // One pass from left to right, never rescanning what was put in: a
    // replacement that contains the search text cannot loop.
    for (size_t P = Text.find(Search); P != std::string::npos; P = Text.find(Search, P + Replacement.size()))
        Text.replace(P, Search.size(), Replacement);
}

double TextToFloat(std::string_view Text) {
    return ParseDecimal(Text).value_or(0.0);
}

namespace {

// A value with more integer digits than Precision allows (no real line
// carries one: EL1e300 would fill the label with 301 digits) is shown with
// an exponent, Precision significant digits.
std::string ValueText(double Value, int Precision, int Digits) {
    if (!std::isfinite(Value) || std::fabs(Value) < std::pow(10.0, Precision))
        return FormatFixed(Value, Precision, Digits);
    char Text[32];
    auto End = std::to_chars(Text, Text + sizeof Text, Value, std::chars_format::scientific, Precision - 1).ptr;
    return std::string(Text, End);
}

}  // namespace

TSatDataTexts SatDataTexts(const TSatData& Data) {
    return {Data.SatName,
            ValueText(Data.Azimuth, 4, 1),
            ValueText(Data.Elevation, 4, 1),
            ValueText(Data.Uplink, 12, 0) + " Hz",
            ValueText(Data.Downlink, 12, 0) + " Hz",
            Data.UplinkMode,
            Data.DownlinkMode};
}
