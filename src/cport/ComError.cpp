#include "cport/ComError.h"

#include <algorithm>
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

// The system errors of calls on a device that has gone: Windows' serial
// drivers give access denied, a bad command, a general failure or "not
// connected"; Wine gives "not ready" once the terminal behind a port has
// closed.
constexpr int32_t kGoneErrors[] = {
    5,     // ERROR_ACCESS_DENIED
    6,     // ERROR_INVALID_HANDLE
    20,    // ERROR_BAD_UNIT
    21,    // ERROR_NOT_READY
    22,    // ERROR_BAD_COMMAND
    31,    // ERROR_GEN_FAILURE
    433,   // ERROR_NO_SUCH_DEVICE
    995,   // ERROR_OPERATION_ABORTED
    1117,  // ERROR_IO_DEVICE
    1167,  // ERROR_DEVICE_NOT_CONNECTED
    1617,  // ERROR_DEVICE_REMOVED
};
constexpr TComErrorCode kDeviceCalls[] = {ecWrite, ecRead, ecClearCommError, ecModemStatus, ecWaitForEvent};
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

bool EComPort::DeviceGone() const {
    return std::ranges::find(kDeviceCalls, FErrorCode) != std::end(kDeviceCalls) &&
           std::ranges::find(kGoneErrors, FSystemErrorCode) != std::end(kGoneErrors);
}
