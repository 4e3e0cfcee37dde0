#pragma once
#include <windows.h>

#include "cport/ComError.h"

// Raises EComPort with Code and the calling thread's last system error.
[[noreturn]] inline void RaiseLastError(TComErrorCode Code) {
    throw EComPort(Code, static_cast<int32_t>(GetLastError()));
}
