#include "dde/DdeErrors.h"

#include <cstdio>

namespace {
// The codes of the DDE library that get a text of their own.
constexpr unsigned kLowMemory = 0x4007, kMemoryError = 0x4008, kNoConvEstablished = 0x400A;
}  // namespace

std::string DdeErrorMessage(unsigned Code) {
    const char* Format = "An error returned from DDE  ($0%X)";
    if (Code == kLowMemory || Code == kMemoryError)
        Format = "Error occurred when DDE ran out of memory ($0%X)";
    else if (Code == kNoConvEstablished)
        Format = "DDE Error - conversation not established ($0%X)";
    char Text[80];
    std::snprintf(Text, sizeof Text, Format, Code);
    return Text;
}
