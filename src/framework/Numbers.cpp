#include "framework/Numbers.h"

#include <charconv>
#include <cmath>

namespace {

bool IsDigit(char C) {
    return C >= '0' && C <= '9';
}

// Skips a run of digits; returns how many there were.
size_t SkipDigits(std::string_view Text, size_t& Pos) {
    size_t Start = Pos;
    while (Pos < Text.size() && IsDigit(Text[Pos]))
        ++Pos;
    return Pos - Start;
}

bool IsDecimalForm(std::string_view Text) {
    size_t Pos = 0;
    if (Pos < Text.size() && (Text[Pos] == '+' || Text[Pos] == '-'))
        ++Pos;
    size_t Mantissa = SkipDigits(Text, Pos);
    if (Pos < Text.size() && Text[Pos] == '.') {
        ++Pos;
        Mantissa += SkipDigits(Text, Pos);
    }
    if (Mantissa == 0)
        return false;
    if (Pos < Text.size() && (Text[Pos] == 'E' || Text[Pos] == 'e')) {
        ++Pos;
        if (Pos < Text.size() && (Text[Pos] == '+' || Text[Pos] == '-'))
            ++Pos;
        if (SkipDigits(Text, Pos) == 0)
            return false;
    }
    return Pos == Text.size();
}

int IntegerDigits(double Value) {
    double Magnitude = std::fabs(Value);
    return Magnitude < 1.0 ? 1 : static_cast<int>(std::floor(std::log10(Magnitude))) + 1;
}

std::string ToFixed(double Value, int Decimals) {
    char Buffer[400];
    auto Result = std::to_chars(Buffer, Buffer + sizeof Buffer, Value, std::chars_format::fixed, Decimals);
    return std::string(Buffer, Result.ptr);
}

double FromText(const std::string& Text) {
    double Value = 0;
    std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    return Value;
}

}  // namespace

std::string FormatFixed(double Value, int Precision, int Digits) {
    if (!std::isfinite(Value))
        return std::isnan(Value) ? "NAN" : (Value > 0 ? "INF" : "-INF");
    int Decimals = Digits;
    int Room = Precision - IntegerDigits(Value);
    if (Room < Decimals)
        Decimals = Room > 0 ? Room : 0;
    std::string Text = ToFixed(Value, Decimals);
    // Rounding may carry into a new integer digit (9.995 -> 10.00): one
    // significant digit more than allowed, so round once more.
    if (Decimals > 0 && Room > 0 && IntegerDigits(FromText(Text)) > Precision - Decimals) {
        --Decimals;
        Text = ToFixed(Value, Decimals);
    }
    if (Decimals < Digits)
        Text = ToFixed(FromText(Text), Digits);
    if (Text[0] == '-' && Text.find_first_not_of("-0.") == std::string::npos)
        Text.erase(0, 1);
    return Text;
}

std::optional<double> ParseDecimal(std::string_view Text) {
    size_t Start = Text.find_first_not_of(' ');
    if (Start == std::string_view::npos)
        return std::nullopt;
    Text.remove_prefix(Start);
    if (!IsDecimalForm(Text))
        return std::nullopt;
    if (Text[0] == '+')
        Text.remove_prefix(1);  // from_chars takes no plus sign
    double Value = 0;
    auto Result = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    if (Result.ec != std::errc() || !std::isfinite(Value))
        return std::nullopt;
    return Value;
}

std::optional<double> ParseDecimalOrComma(std::string_view Text) {
    std::string Pointed(Text);
    for (char& C : Pointed)
        if (C == ',')
            C = '.';
    return ParseDecimal(Pointed);
}

std::string_view Trimmed(std::string_view Text, std::string_view Blanks) {
    const size_t First = Text.find_first_not_of(Blanks);
    if (First == std::string_view::npos)
        return {};
    return Text.substr(First, Text.find_last_not_of(Blanks) - First + 1);
}

std::string AsciiUpperCase(std::string_view Text) {
    std::string Result(Text);
    for (char& C : Result)
        if (C >= 'a' && C <= 'z')
            C = static_cast<char>(C - 'a' + 'A');
    return Result;
}

std::optional<int32_t> ParseInteger(std::string_view Text) {
    size_t Start = Text.find_first_not_of(' ');
    if (Start == std::string_view::npos)
        return std::nullopt;
    Text.remove_prefix(Start);
    bool Negative = Text[0] == '-';
    if (Text[0] == '-' || Text[0] == '+')
        Text.remove_prefix(1);
    int Base = 10;
    if (Text.starts_with('$')) {
        Base = 16;
        Text.remove_prefix(1);
    } else if (Text.starts_with("0x") || Text.starts_with("0X")) {
        Base = 16;
        Text.remove_prefix(2);
    }
    // from_chars would take a second sign; the digits must follow directly.
    if (Text.empty() || Text[0] == '-' || Text[0] == '+')
        return std::nullopt;
    uint64_t Magnitude = 0;
    auto Result = std::from_chars(Text.data(), Text.data() + Text.size(), Magnitude, Base);
    if (Result.ec != std::errc() || Result.ptr != Text.data() + Text.size())
        return std::nullopt;
    if (Base == 16) {
        if (Magnitude > 0xFFFFFFFFu)
            return std::nullopt;
        auto Pattern = static_cast<uint32_t>(Magnitude);
        return static_cast<int32_t>(Negative ? 0u - Pattern : Pattern);
    }
    if (Magnitude > (Negative ? 0x80000000u : 0x7FFFFFFFu))
        return std::nullopt;
    return static_cast<int32_t>(Negative ? -static_cast<int64_t>(Magnitude) : static_cast<int64_t>(Magnitude));
}
