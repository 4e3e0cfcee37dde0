// The port's line status queries.
#include "cport/CPort_win.h"

#include "cport/ComEvents.h"
#include "cport/ComLastError_win.h"

DWORD TCustomComPort::ClearErrors(COMSTAT& Status) {
    DWORD Errors = 0;
    if (!FDeviceCalls.ClearCommError(FHandle.Get(), &Errors, &Status))
        RaiseLastError(ecClearCommError);
    return Errors;
}

int32_t TCustomComPort::PendingInputCount() {
    COMSTAT Status{};
    ClearErrors(Status);
    return static_cast<int32_t>(Status.cbInQue);
}

TComErrors TCustomComPort::TakeLineErrors() {
    COMSTAT Status{};
    const DWORD Errors = ClearErrors(Status) | FTakenErrors.exchange(0);
    return ErrorWordToComErrors(Errors, FParity.Check());
}

TComSignals TCustomComPort::ModemSignals() {
    DWORD Status = 0;
    if (!GetCommModemStatus(FHandle.Get(), &Status))
        RaiseLastError(ecModemStatus);
    return ModemStatusToSignals(Status);
}

bool TCustomComPort::ReadsReturnAtOnce() const {
    return FTimeouts.ReadInterval() == -1 && FTimeouts.ReadTotalMultiplier() == 0 && FTimeouts.ReadTotalConstant() == 0;
}

int32_t TCustomComPort::WaitingInput() {
    COMSTAT Status{};
    FTakenErrors.fetch_or(ClearErrors(Status));
    return static_cast<int32_t>(Status.cbInQue);
}
