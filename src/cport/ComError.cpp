#include "cport/ComError.h"

#include <iterator>

namespace {
constexpr const char* kTexts[] = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
};
static_assert(std::size(kTexts) == ecRegistry);
}  // namespace

const char* ComErrorText(int32_t Code) {
    if (Code < 1 || Code > static_cast<int32_t>(std::size(kTexts)))
        return "";
    return kTexts[Code - 1];
}

EComPort::EComPort(TComErrorCode Code) : Exception(ComErrorText(Code)), FErrorCode(Code), FSystemErrorCode(-1) {}

EComPort::EComPort(TComErrorCode Code, int32_t SystemError)
    : Exception(std::string(ComErrorText(Code)) + " (win error code: " + std::to_string(SystemError) + ")"),
      FErrorCode(Code),
      FSystemErrorCode(SystemError) {}
