#pragma once
// The application object: owner of process-wide components, the standard
// error display and message pumping from inside handlers.
#include <windows.h>

#include <exception>
#include <string>

#include "framework/Component.h"

class TApplication : public TComponent {
public:
    TApplication() : TComponent(nullptr) {}

    std::string Title = "Gyrotalk";

    // The standard error display: shows the exception's message in a dialog.
    // An error that repeats on every timer tick must not stack dialogs, so
    // while one error dialog is open, further errors are dropped.
    // Main thread only; never throws.
    void HandleException(const std::exception& E) noexcept;
    void HandleException(std::exception_ptr E) noexcept;
    void ShowException(const std::string& Message) noexcept;
    bool ErrorShowing() const { return FErrorShowing; }

    // Hands every pending message to its window; returns at once when none
    // is waiting. Main thread only.
    void ProcessMessages();

    // Runs handlers until Done() is true, sleeping on the message queue
    // between messages instead of spinning. Returns early (false) when
    // WM_QUIT arrives; the quit message is posted again for the outer loop.
    template <typename TDone>
    bool WaitUntil(TDone Done) {
        while (!Done()) {
            if (!HandleOneMessage())
                return false;
        }
        return true;
    }

private:
    bool HandleOneMessage();
    bool FErrorShowing = false;
};

// Created on first use, lives until process exit.
TApplication& Application();
