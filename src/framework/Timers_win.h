#pragma once
// A timer component: raises OnTimer every Interval milliseconds while it is
// enabled. Ticks arrive through the message queue, so they also arrive
// inside a handler that pumps messages (a tick can run inside the previous
// tick's handler). Main thread only.
#include <optional>

#include "framework/Component.h"
#include "framework/MessageWindow_win.h"

class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* AOwner);
    ~TTimer() override;

    unsigned Interval() const { return FInterval; }
    // Restarts a running timer with the new interval; 0 stops the ticks.
    void SetInterval(unsigned Value);
    bool Enabled() const { return FEnabled; }
    // Enabling a disabled timer starts its interval afresh; enabling an
    // enabled one changes nothing. Raises Exception when the system has no
    // timer left.
    void SetEnabled(bool Value);

    // An exception from OnTimer goes to Application().HandleException; the
    // timer keeps running.
    TNotifyEvent OnTimer;

private:
    void Update();

    std::optional<TMessageWindow> FWindow;  // receives WM_TIMER; made at the first start
    unsigned FInterval = 1000;
    bool FEnabled = false;
};
