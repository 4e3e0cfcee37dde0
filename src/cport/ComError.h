#pragma once
// EComPort: every failure of the serial-port family. Its message is the fixed
// text of its code, followed for a failed platform call by the system's
// error number.
#include <cstdint>
#include <string>

#include "framework/Exceptions.h"

// The error codes, 1 to 23. Those marked reserved are never raised here.
enum TComErrorCode : int32_t {
    ecOpen = 1,
    ecWrite,
    ecRead,
    ecInvalidAsync,
    ecPurge,
    ecAsyncStatus,       // reserved
    ecSetState,
    ecSetTimeouts,
    ecSetupComm,
    ecClearCommError,
    ecModemStatus,
    ecEscapeComm,        // reserved
    ecTransmitChar,      // reserved
    ecConnectedProperty,
    ecEnumPorts,         // reserved
    ecStoreSettings,     // reserved
    ecLoadSettings,      // reserved
    ecLink,              // reserved
    ecLedState,          // reserved
    ecWaitWithThread,    // reserved
    ecWaitForEvent,      // reserved
    ecRxBufLinked,       // reserved
    ecRegistry,
};

// The fixed text of Code; empty for a number outside 1 to 23.
const char* ComErrorText(int32_t Code);

class EComPort : public Exception {
public:
    // An error without a system error: SystemErrorCode is -1.
    explicit EComPort(TComErrorCode Code);
    // A failed platform call: the message ends in " (win error code: N)".
    EComPort(TComErrorCode Code, int32_t SystemError);

    int32_t ErrorCode() const { return FErrorCode; }
    int32_t SystemErrorCode() const { return FSystemErrorCode; }
    // A transfer, status query or wait failed as it does once the device has
    // gone (an unplugged adapter, a driver reset): opening it again, once it
    // is back, is what mends it.
    bool DeviceGone() const;

private:
    int32_t FErrorCode;
    int32_t FSystemErrorCode;
};
