// The texts of the port settings: every conversion from text accepts any
// input, and what a value is written as reads back as the same value.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cport/ComNames.h"
#include "framework/Numbers.h"

namespace {

void Require(bool Condition) {
    if (!Condition)
        std::abort();
}

// Text to value, and the value's own name back to the same value.
template <typename TFromText, typename TToText>
void RoundTrip(const std::string& Text, TFromText FromText, TToText ToText) {
    auto Value = FromText(Text);
    Require(FromText(ToText(Value)) == Value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const std::string Text(reinterpret_cast<const char*>(Data), Size);

    RoundTrip(Text, TextToBaudRate, BaudRateToText);
    RoundTrip(Text, TextToStopBits, StopBitsToText);
    RoundTrip(Text, TextToDataBits, DataBitsToText);
    RoundTrip(Text, TextToParity, ParityToText);
    RoundTrip(Text, TextToFlowControl, FlowControlToText);
    RoundTrip(Text, TextToControlDTR, ControlDTRToText);
    RoundTrip(Text, TextToControlRTS, ControlRTSToText);
    RoundTrip(Text, TextToBool, BoolToText);
    RoundTrip(Text, TextToChar, CharToText);

    if (Size > 0)
        Require(TextToChar(CharToText(static_cast<char>(Data[0]))) == static_cast<char>(Data[0]));
    if (auto Number = ParseInteger(Text))
        Require(ParseInteger(std::to_string(*Number)) == Number);
    return 0;
}
