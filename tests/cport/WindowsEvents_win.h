#pragma once
// Plays Windows' WaitCommEvent on Wine, for the event thread's waiting path.
//
// Windows reports EV_RXCHAR once per arrival and collects events between two
// waits; Wine reports received bytes for as long as they sit unread. A wait
// started here looks at the device every few ms on a thread of its own and
// completes the caller's overlapped record with what Windows would report:
// bytes that arrived since the last report (a growing input queue), modem
// lines that changed, ring coming on. Clearing the event mask ends it, as on
// Windows. A read and a new arrival within one look pass unseen, so tests
// keep them apart. One port at a time.
#include <windows.h>

#include <atomic>

#include "cport/CPort_win.h"

namespace windows_events {

constexpr DWORD kUnknown = 0xFFFFFFFF;
inline std::atomic<DWORD> LastInQueue{0};
inline std::atomic<DWORD> LastModem{kUnknown};

// The watched events since the last look.
inline DWORD Changes(HANDLE Device, DWORD Watched) {
    DWORD Errors = 0, Modem = 0;
    COMSTAT Status{};
    ClearCommError(Device, &Errors, &Status);
    GetCommModemStatus(Device, &Modem);
    DWORD Events = Status.cbInQue > LastInQueue.exchange(Status.cbInQue) ? EV_RXCHAR : 0;
    const DWORD Changed = Modem ^ LastModem.exchange(Modem);
    Events |= (Changed & MS_CTS_ON ? EV_CTS : 0) | (Changed & MS_DSR_ON ? EV_DSR : 0) |
              (Changed & MS_RLSD_ON ? EV_RLSD : 0) | (Changed & Modem & MS_RING_ON ? EV_RING : 0);
    return Events & Watched;
}

struct TWait {
    HANDLE Device;
    LPDWORD Mask;
    LPOVERLAPPED Overlapped;
};

inline DWORD WINAPI PlayWait(LPVOID Parameter) {
    const TWait Wait = *static_cast<TWait*>(Parameter);
    delete static_cast<TWait*>(Parameter);
    DWORD Events = 0, Watched = 0;
    while (GetCommMask(Wait.Device, &Watched) && Watched != 0 && (Events = Changes(Wait.Device, Watched)) == 0)
        Sleep(5);
    *Wait.Mask = Events;
    Wait.Overlapped->InternalHigh = 0;
    Wait.Overlapped->Internal = 0;  // STATUS_SUCCESS
    SetEvent(Wait.Overlapped->hEvent);
    return 0;
}

inline BOOL WINAPI WaitCommEvent(HANDLE Device, LPDWORD Mask, LPOVERLAPPED Overlapped) {
    DWORD Modem = 0;
    if (LastModem == kUnknown && GetCommModemStatus(Device, &Modem))
        LastModem = Modem;  // changes count from the first wait on, before it returns
    ResetEvent(Overlapped->hEvent);
    Overlapped->Internal = 0x103;  // STATUS_PENDING
    CloseHandle(CreateThread(nullptr, 0, &PlayWait, new TWait{Device, Mask, Overlapped}, 0, nullptr));
    SetLastError(ERROR_IO_PENDING);
    return FALSE;
}

}  // namespace windows_events

// The port's device calls that run its event thread as on Windows, from a
// new port's quiet line on.
inline TComDeviceCalls WindowsDeviceCalls() {
    windows_events::LastInQueue = 0;
    windows_events::LastModem = windows_events::kUnknown;
    TComDeviceCalls Calls;
    Calls.WaitCommEvent = &windows_events::WaitCommEvent;
    Calls.LookAtLine = false;
    return Calls;
}
