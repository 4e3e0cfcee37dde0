#pragma once
// What the Windows tests share: handing messages to their windows while a
// test waits for something, and an error display that records instead of
// showing a dialog.
#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "framework/Application_win.h"

inline void DispatchPendingMessages() {
    MSG Msg;
    while (PeekMessageA(&Msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&Msg);
        DispatchMessageA(&Msg);
    }
}

// Hands messages to their windows until Done() holds, Object (when given) is
// signalled, or TimeoutMs passed. Sleeps on the queue in between, at most
// 10 ms at a time, for conditions that no message announces (bytes reaching
// a queue). True when Done() held or Object was signalled.
inline bool PumpUntil(const std::function<bool()>& Done, DWORD TimeoutMs = 15000, HANDLE Object = nullptr) {
    const ULONGLONG End = GetTickCount64() + TimeoutMs;
    for (;;) {
        DispatchPendingMessages();
        if (Done())
            return true;
        const ULONGLONG Now = GetTickCount64();
        if (Now >= End)
            return Object && WaitForSingleObject(Object, 0) == WAIT_OBJECT_0;
        const DWORD Sleep = static_cast<DWORD>(std::min<ULONGLONG>(End - Now, 10));
        if (MsgWaitForMultipleObjects(Object ? 1 : 0, &Object, FALSE, Sleep, QS_ALLINPUT) == WAIT_OBJECT_0 && Object)
            return true;
    }
}

inline void PumpFor(DWORD Milliseconds) {
    PumpUntil([] { return false; }, Milliseconds);
}

inline bool PumpUntilSignalled(HANDLE Object, DWORD TimeoutMs = 15000) {
    return PumpUntil([] { return false; }, TimeoutMs, Object);
}

// Waits, handling nothing, until another thread's SendMessage waits for this
// thread to answer (say an event thread blocked in its hand-over), or
// TimeoutMs pass. True when one waits. (Not GetQueueStatus: Wine answers the
// message in it.)
inline bool WaitForSentMessage(DWORD TimeoutMs = 15000) {
    return MsgWaitForMultipleObjectsEx(0, nullptr, TimeoutMs, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE) == WAIT_OBJECT_0;
}

// Records the errors the standard display would show, instead of a dialog,
// for as long as it lives.
struct TErrorRecorder {
    static inline std::vector<std::string> Messages;
    TErrorRecorder() {
        Messages.clear();
        Application().ErrorDialog = [](const std::string& Message, const std::string&) { Messages.push_back(Message); };
    }
    ~TErrorRecorder() { Application().ErrorDialog = Saved; }
    TErrorRecorder(const TErrorRecorder&) = delete;
    TErrorRecorder& operator=(const TErrorRecorder&) = delete;
    TApplication::TErrorDialog Saved = Application().ErrorDialog;
};
