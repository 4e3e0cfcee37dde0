#pragma once
// The event thread of an open port: it waits in the device for line events
// and hands each batch to the port, as the port's SyncMethod says.
//
// The thread never polls while the line is quiet: it sleeps in one unbounded
// wait on the device and its stop event. One exception: Wine reports
// EV_RXCHAR for as long as received bytes sit unread, where Windows reports
// each arrival once. A report that brings no new bytes is not passed on, and
// the thread then pauses briefly before it waits again, so that bytes left
// unread cost a check of the input queue every kLevelPause ms instead of a
// busy loop (under 1 % of a core, scripts/measure-event-thread.sh). While
// bytes keep arriving (a reply on its way) the pause is kArrivalPause, so
// that the reader learns of a reply's last byte within a few ms, not up to
// a whole kLevelPause later.
#include <windows.h>

#include "cport/ComTypes.h"
#include "framework/Handles_win.h"
#include "framework/Thread_win.h"

class TCustomComPort;

class TComThread : public TThread {
public:
    static constexpr DWORD kLevelPause = 50;   // ms
    static constexpr DWORD kArrivalPause = 5;  // ms, within kLevelPause of the last arrival

    // Sets the device's event mask from the port's Events, fixed for the
    // thread's life, and returns once the thread watches the device. Main
    // thread only.
    explicit TComThread(TCustomComPort& Port);
    // Stops watching and returns when the thread has ended; meanwhile the
    // calling (main) thread still delivers events that the thread is handing
    // over. On its way out the thread clears the event mask and empties both
    // driver queues.
    ~TComThread() override;

    void StopWatching();

protected:
    void Execute() override { WatchLoop(); }

private:
    void WatchLoop();
    // Drops an EV_RXCHAR that brought no new bytes; true when it did so.
    bool DropRepeatedRxChar();
    DWORD PauseAfterRepeat() const;
    void DeliverEvents();
    void SendEventMessages();
    void RaiseEvents();

    TCustomComPort& FPort;
    TEventHandle FStopEvent;
    TEventHandle FWatching;      // set once the first wait for line events was started
    TComEvents FReceivedEvents;  // of the last completed wait
    bool FQueryFailed = false;   // the last look at the input queue failed
    ULONGLONG FLastArrival = 0;  // GetTickCount64 when new bytes were last seen
};
