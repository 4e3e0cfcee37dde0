#pragma once
// The texts of the line settings: the display names that a selector lists
// and that stored settings use, and the texts of the stored flags,
// characters and line modes, with conversions both ways. Converting a text
// never fails: a text that names no value gives the conversion's fallback.
#include <array>
#include <string>

#include "cport/ComTypes.h"

// Display names, indexed by ordinal.
inline constexpr std::array<const char*, 16> kBaudRateNames = {
    "Custom", "110",   "300",   "600",   "1200",  "2400",   "4800",   "9600",
    "14400",  "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
inline constexpr std::array<const char*, 3> kStopBitsNames = {"1", "1.5", "2"};
inline constexpr std::array<const char*, 4> kDataBitsNames = {"5", "6", "7", "8"};
inline constexpr std::array<const char*, 5> kParityNames = {"None", "Odd", "Even", "Mark", "Space"};
inline constexpr std::array<const char*, 4> kFlowControlNames = {"Hardware", "Software", "None", "Custom"};
// The stored names of the DTR and RTS line modes.
inline constexpr std::array<const char*, 3> kControlDTRNames = {"Disable", "Enable", "Handshake"};
inline constexpr std::array<const char*, 4> kControlRTSNames = {"Disable", "Enable", "Handshake", "Toggle"};

// Value to name. A value outside its enumeration raises std::out_of_range.
std::string BaudRateToText(TBaudRate Value);
std::string StopBitsToText(TStopBits Value);
std::string DataBitsToText(TDataBits Value);
std::string ParityToText(TParityBits Value);
std::string FlowControlToText(TFlowControl Value);
std::string ControlDTRToText(TDTRFlowControl Value);
std::string ControlRTSToText(TRTSFlowControl Value);

// Name to value: the first name equal to the whole text, ASCII letter case
// ignored and nothing trimmed; otherwise the fallback given here.
TBaudRate TextToBaudRate(const std::string& Text);            // br9600
TStopBits TextToStopBits(const std::string& Text);            // sbOneStopBit
TDataBits TextToDataBits(const std::string& Text);            // dbEight
TParityBits TextToParity(const std::string& Text);            // prNone
TFlowControl TextToFlowControl(const std::string& Text);      // fcCustom
TDTRFlowControl TextToControlDTR(const std::string& Text);    // dtrDisable
TRTSFlowControl TextToControlRTS(const std::string& Text);    // rtsDisable

// "Yes" or "No".
std::string BoolToText(bool Value);
// True only for "yes" in any letter case.
bool TextToBool(const std::string& Text);

// Codes 33 to 127 as the character itself, every other code as "#" and its
// decimal number ("#0", "#13", "#200").
std::string CharToText(char Value);
// The inverse, and more: empty text gives 0; "#" followed by an integer
// gives that integer modulo 256, by anything else 0; any other text ("#"
// alone included) gives its first character.
char TextToChar(const std::string& Text);
