#pragma once
// The event thread of an open port: it watches the device for line events
// and hands each batch to the port, as the port's SyncMethod says.
//
// On Windows the thread sleeps in one unbounded wait on the device's line
// events and its stop event. Under Wine each WaitCommEvent that cannot
// complete at once starts a thread of Wine's own that polls the device every
// millisecond through the wineserver and leaves heap behind when it ends;
// every write ends it. So under Wine the thread looks at the device's status
// instead (TLineLook): every kQuietLook ms on a quiet line, every
// kArrivalLook ms while bytes keep arriving, so that a reply's last byte is
// seen within a few ms. A line change is then seen up to kQuietLook ms late.
#include <windows.h>

#include <atomic>

#include "cport/ComThreadLink_win.h"
#include "cport/ComTypes.h"
#include "cport/LineLook.h"
#include "framework/Handles_win.h"
#include "framework/Thread_win.h"

class TComThread : public TThread {
public:
    static constexpr DWORD kQuietLook = 50;   // ms
    static constexpr DWORD kArrivalLook = 5;  // ms, within kQuietLook of the last arrival

    // Starts watching the device for the port's Events and returns once the
    // thread watches. Main thread only. Raises EComPort code 1 when its
    // events cannot be made.
    explicit TComThread(TComThreadPort Port);
    // Stops watching and returns when the thread has ended; meanwhile the
    // calling (main) thread still delivers events that the thread is handing
    // over. On its way out the thread empties both driver queues.
    ~TComThread() override;

protected:
    void Execute() override;

private:
    void WaitLoop();
    void LookLoop();
    TLineReading ReadLine(const TLineLook& Look);
    DWORD LookPause() const;
    void ReportDeafDevice(DWORD Error);
    void DeliverEvents();
    void SendEventMessages();
    void RaiseEvents();

    const TComThreadPort FPort;
    TEventHandle FStopEvent;
    std::atomic<bool> FStopping{false};  // what the look loop checks between looks
    TEventHandle FWatching;      // set once the thread watches the device
    TComEvents FReceivedEvents;  // of the last wait or look
    bool FLookFailed = false;    // the last look at the device failed
    ULONGLONG FLastArrival = 0;  // GetTickCount64 when new bytes were last seen
};
