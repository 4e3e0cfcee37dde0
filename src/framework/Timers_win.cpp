#include "framework/Timers_win.h"

#include "framework/Exceptions.h"
#include "framework/WindowIds.h"

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {}

TTimer::~TTimer() {
    if (FWindow)
        KillTimer(FWindow->Handle(), kTimerId);
}

void TTimer::SetInterval(unsigned Value) {
    if (Value == FInterval)
        return;
    FInterval = Value;
    Update();
}

void TTimer::SetEnabled(bool Value) {
    if (Value == FEnabled)
        return;
    FEnabled = Value;
    Update();
}

void TTimer::Update() {
    if (FWindow)
        KillTimer(FWindow->Handle(), kTimerId);
    if (!FEnabled || FInterval == 0)
        return;
    if (!FWindow)
        FWindow.emplace([this](HWND Window, UINT Message, WPARAM W, LPARAM L) -> LRESULT {
            if (Message != WM_TIMER || W != kTimerId)
                return DefWindowProcA(Window, Message, W, L);
            if (OnTimer)
                OnTimer();
            return 0;
        });
    if (!SetTimer(FWindow->Handle(), kTimerId, FInterval, nullptr))
        throw Exception("Not enough timers available");
}
