#include "cport/ComNames.h"

#include <cstdint>

#include "framework/Numbers.h"

namespace {

template <size_t N>
std::string NameOf(const std::array<const char*, N>& Names, size_t Ordinal) {
    return Names.at(Ordinal);
}

template <typename TEnum, size_t N>
TEnum ValueOf(const std::array<const char*, N>& Names, const std::string& Text, TEnum Fallback) {
    const std::string Wanted = AsciiUpperCase(Text);
    for (size_t I = 0; I < N; ++I)
        if (AsciiUpperCase(Names[I]) == Wanted)
            return static_cast<TEnum>(I);
    return Fallback;
}

}  // namespace

std::string BaudRateToText(TBaudRate Value) {
    return NameOf(kBaudRateNames, Value);
}
std::string StopBitsToText(TStopBits Value) {
    return NameOf(kStopBitsNames, Value);
}
std::string DataBitsToText(TDataBits Value) {
    return NameOf(kDataBitsNames, Value);
}
std::string ParityToText(TParityBits Value) {
    return NameOf(kParityNames, Value);
}
std::string FlowControlToText(TFlowControl Value) {
    return NameOf(kFlowControlNames, Value);
}
std::string ControlDTRToText(TDTRFlowControl Value) {
    return NameOf(kControlDTRNames, Value);
}
std::string ControlRTSToText(TRTSFlowControl Value) {
    return NameOf(kControlRTSNames, Value);
}

TBaudRate TextToBaudRate(const std::string& Text) {
    return ValueOf(kBaudRateNames, Text, br9600);
}
TStopBits TextToStopBits(const std::string& Text) {
    return ValueOf(kStopBitsNames, Text, sbOneStopBit);
}
TDataBits TextToDataBits(const std::string& Text) {
    return ValueOf(kDataBitsNames, Text, dbEight);
}
TParityBits TextToParity(const std::string& Text) {
    return ValueOf(kParityNames, Text, prNone);
}
TFlowControl TextToFlowControl(const std::string& Text) {
    return ValueOf(kFlowControlNames, Text, fcCustom);
}
TDTRFlowControl TextToControlDTR(const std::string& Text) {
    return ValueOf(kControlDTRNames, Text, dtrDisable);
}
TRTSFlowControl TextToControlRTS(const std::string& Text) {
    return ValueOf(kControlRTSNames, Text, rtsDisable);
}

std::string BoolToText(bool Value) {
    return Value ? "Yes" : "No";
}

bool TextToBool(const std::string& Text) {
    return AsciiUpperCase(Text) == "YES";
}

std::string CharToText(char Value) {
    const auto Code = static_cast<unsigned char>(Value);
    if (Code >= 33 && Code <= 127)
        return std::string(1, Value);
    std::string Text = "#";
    return Text.append(std::to_string(Code));
}

char TextToChar(const std::string& Text) {
    if (Text.empty())
        return 0;
    if (Text[0] != '#' || Text.size() == 1)
        return Text[0];
    const auto Code = ParseInteger(std::string_view(Text).substr(1));
    // Modulo 256: the low byte of the two's complement, so "#-1" is 255.
    return Code ? static_cast<char>(static_cast<uint8_t>(*Code)) : 0;
}
