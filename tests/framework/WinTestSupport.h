#pragma once
// Helpers for the Windows tests: handling messages with a time limit, and an
// error display that never blocks.
#include <windows.h>

#include <string>
#include <vector>

#include "framework/Application_win.h"

// Handles messages until Done() holds or Limit milliseconds have passed;
// sleeps on the queue in between. Returns Done().
template <typename TDone>
bool PumpUntil(TDone Done, DWORD Limit = 10000) {
    ULONGLONG End = GetTickCount64() + Limit;
    while (!Done()) {
        ULONGLONG Now = GetTickCount64();
        if (Now >= End)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(End - Now), QS_ALLINPUT);
        MSG Msg;
        while (PeekMessageA(&Msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&Msg);
            DispatchMessageA(&Msg);
        }
    }
    return true;
}

inline void PumpFor(DWORD Milliseconds) {
    PumpUntil([] { return false; }, Milliseconds);
}

// Records the errors the standard display would show, instead of a dialog.
struct TErrorRecorder {
    static inline std::vector<std::string> Messages;
    TErrorRecorder() {
        Messages.clear();
        Application().ErrorDialog = [](const std::string& Message, const std::string&) { Messages.push_back(Message); };
    }
    ~TErrorRecorder() { Application().ErrorDialog = Saved; }
    TApplication::TErrorDialog Saved = Application().ErrorDialog;
};
