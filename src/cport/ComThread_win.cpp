#include "cport/ComThread_win.h"

#include <utility>

#include "cport/CPort_win.h"
#include "cport/ComEvents.h"
#include "framework/Exceptions.h"

namespace {
// One overlapped wait for line events, re-armed for every wait. Ending it
// clears the device's event mask, which completes a pending wait, and waits
// for that completion: the record must outlive every wait on it.
class TLineWait {
public:
    explicit TLineWait(HANDLE Device) : FDevice(Device), FEvent(CreateEventA(nullptr, TRUE, TRUE, nullptr)) {
        FOverlapped.hEvent = FEvent.Get();
    }
    ~TLineWait() {
        SetCommMask(FDevice, 0);
        DWORD Unused;
        if (FPending)
            GetOverlappedResult(FDevice, &FOverlapped, &Unused, TRUE);
        PurgeComm(FDevice, PURGE_TXCLEAR | PURGE_RXCLEAR);
    }
    TLineWait(const TLineWait&) = delete;
    TLineWait& operator=(const TLineWait&) = delete;

    HANDLE Event() const { return FEvent.Get(); }
    // False when the device refuses to start a wait.
    bool Start() {
        FPending = WaitCommEvent(FDevice, &FMask, &FOverlapped) || GetLastError() == ERROR_IO_PENDING;
        return FPending;
    }
    // After the event was signalled: the events, or none when the wait failed.
    bool Fetch(TComEvents& Events) {
        FPending = false;
        DWORD Unused;
        if (!GetOverlappedResult(FDevice, &FOverlapped, &Unused, FALSE))
            return false;
        Events = CommMaskToEventSet(FMask);
        return true;
    }

private:
    HANDLE FDevice;
    TEventHandle FEvent;
    OVERLAPPED FOverlapped{};
    DWORD FMask = 0;
    bool FPending = false;
};
}  // namespace

TComThread::TComThread(TCustomComPort& Port)
    : FPort(Port),
      FStopEvent(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      FWatching(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    if (!FStopEvent || !FWatching)
        throw Exception("Cannot create the event thread's wait objects");
    SetPriority(FPort.FThreadPriority);
    SetCommMask(FPort.Handle(), EventSetToCommMask(FPort.FEvents));
    Resume();
    // Windows counts line changes from SetCommMask on, Wine only from the
    // start of a wait: so that a change right after Open is not lost there,
    // Open returns once the thread waits.
    const HANDLE Started[] = {FWatching.Get(), Handle()};
    WaitForMultipleObjects(2, Started, FALSE, INFINITE);
}

TComThread::~TComThread() {
    StopWatching();
    WaitFor();
}

void TComThread::StopWatching() {
    SetEvent(FStopEvent.Get());
    Sleep(0);
}

void TComThread::WatchLoop() {
    TLineWait Wait(FPort.Handle());
    const HANDLE Waits[] = {FStopEvent.Get(), Wait.Event()};
    for (bool First = true;; First = false) {
        const bool Started = Wait.Start();
        if (First)
            SetEvent(FWatching.Get());
        if (!Started) {
            // The device will not report events (Wine says so for a terminal
            // without modem lines): retrying could only spin.
            WaitForSingleObject(FStopEvent.Get(), INFINITE);
            return;
        }
        if (WaitForMultipleObjects(2, Waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1)
            return;
        bool Pause = true;  // a failed completion delivers nothing
        if (Wait.Fetch(FReceivedEvents)) {
            Pause = DropRepeatedRxChar();
            if (!FReceivedEvents.Empty())
                DeliverEvents();
        }
        if (Pause && WaitForSingleObject(FStopEvent.Get(), PauseAfterRepeat()) != WAIT_TIMEOUT)
            return;
    }
}

bool TComThread::DropRepeatedRxChar() {
    if (!FReceivedEvents.Contains(evRxChar))
        return false;
    try {
        const bool Arrived = FPort.FRxArrivals.Arrived(FPort.WaitingInput());
        FQueryFailed = false;
        if (Arrived) {
            FLastArrival = GetTickCount64();
            return false;
        }
    } catch (const EComPort&) {
        // The rx-char step on the main thread meets the same failure and
        // reports it: pass the event on once, not at every repeated report.
        if (!std::exchange(FQueryFailed, true))
            return true;
    }
    FReceivedEvents.Exclude(evRxChar);
    return true;
}

DWORD TComThread::PauseAfterRepeat() const {
    return GetTickCount64() - FLastArrival < kLevelPause ? kArrivalPause : kLevelPause;
}

void TComThread::DeliverEvents() {
    switch (FPort.FSyncMethod) {
        case smThreadSync:
            Synchronize([this] { RaiseEvents(); });
            break;
        case smWindowSync:
            SendEventMessages();
            break;
        case smNone:
            RaiseEvents();
            break;
    }
}

void TComThread::SendEventMessages() {
    for (TComEvent Event : kEventDeliveryOrder)
        if (FReceivedEvents.Contains(Event))
            SendMessageA(FPort.FNotifyWindow->Handle(), PortEventMessage, kEventMaskBits[Event], 0);
}

void TComThread::RaiseEvents() {
    for (TComEvent Event : kEventDeliveryOrder)
        if (FReceivedEvents.Contains(Event))
            FPort.ProcessEvent(Event);
}
