#include "cport/ComThread_win.h"

#include <exception>
#include <utility>

#include "cport/ComEvents.h"
#include "cport/ComLastError_win.h"
#include "framework/Application_win.h"
#include "framework/Exceptions.h"

namespace {
// However the thread's loop ends, both driver queues are emptied on its way out.
class TQueuesPurge {
public:
    explicit TQueuesPurge(HANDLE Device) : FDevice(Device) {}
    ~TQueuesPurge() { PurgeComm(FDevice, PURGE_TXCLEAR | PURGE_RXCLEAR); }
    TQueuesPurge(const TQueuesPurge&) = delete;
    TQueuesPurge& operator=(const TQueuesPurge&) = delete;

private:
    HANDLE FDevice;
};

// One overlapped wait for line events, re-armed for every wait. Ending it
// clears the device's event mask, which completes a pending wait, and waits
// for that completion: the record must outlive every wait on it.
class TLineWait {
public:
    TLineWait(HANDLE Device, const TComDeviceCalls& Calls)
        : FDevice(Device), FCalls(Calls), FEvent(CreateEventA(nullptr, TRUE, TRUE, nullptr)) {
        FOverlapped.hEvent = FEvent.Get();
    }
    ~TLineWait() {
        SetCommMask(FDevice, 0);
        DWORD Unused;
        if (FPending)
            GetOverlappedResult(FDevice, &FOverlapped, &Unused, TRUE);
    }
    TLineWait(const TLineWait&) = delete;
    TLineWait& operator=(const TLineWait&) = delete;

    HANDLE Event() const { return FEvent.Get(); }
    // The system error when the device refuses to start a wait, else 0.
    DWORD Start() {
        FPending = FCalls.WaitCommEvent(FDevice, &FMask, &FOverlapped) || GetLastError() == ERROR_IO_PENDING;
        return FPending ? 0 : GetLastError();
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
    const TComDeviceCalls& FCalls;
    TEventHandle FEvent;
    OVERLAPPED FOverlapped{};
    DWORD FMask = 0;
    bool FPending = false;
};
}  // namespace

TComThread::TComThread(TComThreadPort Port)
    : FPort(std::move(Port)),
      FStopEvent(FPort.Calls.CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      FWatching(FPort.Calls.CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    if (!FStopEvent || !FWatching)
        RaiseLastError(ecOpen);
    SetPriority(FPort.Priority);
    if (!FPort.Calls.LookAtLine)
        SetCommMask(FPort.Device, EventSetToCommMask(FPort.Events));
    Resume();
    // Line changes count from the first wait or look on: so that a change
    // right after Open is not lost, Open returns once the thread watches.
    const HANDLE Started[] = {FWatching.Get(), Handle()};
    WaitForMultipleObjects(2, Started, FALSE, INFINITE);
}

TComThread::~TComThread() {
    FStopping = true;
    SetEvent(FStopEvent.Get());
    WaitFor();
}

void TComThread::Execute() {
    const TQueuesPurge Purge(FPort.Device);
    FPort.Calls.LookAtLine ? LookLoop() : WaitLoop();
}

void TComThread::WaitLoop() {
    TLineWait Wait(FPort.Device, FPort.Calls);
    const HANDLE Waits[] = {FStopEvent.Get(), Wait.Event()};
    for (bool First = true;; First = false) {
        const DWORD Refused = Wait.Start();
        if (First)
            SetEvent(FWatching.Get());
        if (Refused) {
            // Retrying could only spin: say once that the port has gone
            // deaf, then wait for the close.
            ReportDeafDevice(Refused);
            WaitForSingleObject(FStopEvent.Get(), INFINITE);
            return;
        }
        if (WaitForMultipleObjects(2, Waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1)
            return;
        if (Wait.Fetch(FReceivedEvents) && !FReceivedEvents.Empty())
            DeliverEvents();
    }
}

void TComThread::LookLoop() {
    TLineLook Look(FPort.Events, FPort.InputSize);
    try {
        Look.Start(ReadLine(Look));
    } catch (const EComPort&) {
        // The looks that follow meet the same failure and pass it on.
    }
    SetEvent(FWatching.Get());
    // A plain sleep: Wine serves it without its server, unlike a timed wait.
    for (Sleep(LookPause()); !FStopping; Sleep(LookPause())) {
        try {
            const TLineReading Now = ReadLine(Look);
            const bool Arrived = FPort.Arrivals.Arrived(Now.InQueue);
            if (Arrived)
                FLastArrival = GetTickCount64();
            FReceivedEvents = Look.Next(Now, Arrived);
            if (FReceivedEvents.Contains(evError) || FReceivedEvents.Contains(evBreak))
                FPort.TakenErrors.fetch_or(Now.ErrorWord);
            FLookFailed = false;
        } catch (const EComPort&) {
            // The rx-char step on the main thread meets the same failure and
            // reports it: pass it on once, not at every look.
            if (std::exchange(FLookFailed, true))
                continue;
            FReceivedEvents = {evRxChar};
        }
        if (!FReceivedEvents.Empty())
            DeliverEvents();
    }
}

TLineReading TComThread::ReadLine(const TLineLook& Look) {
    TLineReading Now;
    COMSTAT Status{};
    Now.ErrorWord = FPort.ClearErrors(Status);
    Now.InQueue = static_cast<int32_t>(Status.cbInQue);
    Now.OutQueue = static_cast<int32_t>(Status.cbOutQue);
    Now.Writes = FPort.Writes.load();
    DWORD Modem = 0;
    Now.ModemRead = Look.WatchesModemLines() && GetCommModemStatus(FPort.Device, &Modem);
    Now.ModemStatus = Modem;
    return Now;
}

DWORD TComThread::LookPause() const {
    return GetTickCount64() - FLastArrival < kQuietLook ? kArrivalLook : kQuietLook;
}

void TComThread::ReportDeafDevice(DWORD Error) {
    const auto Deaf = std::make_exception_ptr(EComPort(ecWaitForEvent, static_cast<int32_t>(Error)));
    Synchronize([Deaf] { Application().HandleException(Deaf); });
}

void TComThread::DeliverEvents() {
    switch (FPort.SyncMethod) {
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
            SendMessageA(FPort.NotifyWindow, PortEventMessage, kEventMaskBits[Event], 0);
}

void TComThread::RaiseEvents() {
    for (TComEvent Event : kEventDeliveryOrder)
        if (FReceivedEvents.Contains(Event))
            FPort.ProcessEvent(Event);
}
