#pragma once
// The application object: owner of process-wide components, the standard
// error display and message pumping from inside handlers.
#include <windows.h>

#include <exception>
#include <functional>
#include <string>

#include "framework/Component.h"

class TApplication : public TComponent {
public:
    TApplication() : TComponent(nullptr) {}

    std::string Title = "Gyrotalk";

    // The standard error display: shows the exception's message in a dialog,
    // or hands the exception to OnException when that is set. An error that
    // repeats on every timer tick must not stack dialogs, so while one error
    // dialog is open, further errors are dropped.
    // Main thread only; never throws.
    void HandleException(const std::exception& E) noexcept;
    void HandleException(std::exception_ptr E) noexcept;
    void ShowException(const std::string& Message) noexcept;

    // While set, the first error the dialog would show waits for
    // ShowHeldError, and later ones are dropped: start-up runs to its end
    // (the port opened, the cycle started) before a dialog can hold it up.
    bool HoldErrors = false;
    void ShowHeldError() noexcept;
    // Ends the error dialog if one is open: the dialog leaves the window
    // usable, and the program must end when its window closes.
    void EndErrorDialog() noexcept;

    // Takes every error in place of the dialog while set (a station that
    // nobody watches keeps them in its log); when it raises, the dialog
    // shows the error after all.
    std::function<void(const std::exception& E)> OnException;

    // The modal dialog of ShowException. A seam for the one thing a test
    // cannot answer for real: a dialog that waits for a user's click.
    using TErrorDialog = void (*)(const std::string& Message, const std::string& Title);
    TErrorDialog ErrorDialog = &ShowErrorBox;

    // Hands every pending message to its window; returns at once when none
    // is waiting. Main thread only.
    void ProcessMessages();

    // Runs handlers until Done() is true, sleeping on the message queue in
    // between. Returns early (false) at WM_QUIT, posted again for the outer
    // loop. Messages from other threads (the port's events) are handled
    // inside the queue calls, unseen: Done() is tested before every sleep.
    template <typename TDone>
    bool WaitUntil(TDone Done) {
        while (!Done()) {
            switch (HandleOneMessage()) {
                case TDispatch::Quit:
                    return false;
                case TDispatch::Idle:
                    if (!Done())
                        SleepUntilMessage();
                    break;
                case TDispatch::Handled:
                    break;
            }
        }
        return true;
    }

private:
    enum class TDispatch { Handled, Idle, Quit };

    static void ShowErrorBox(const std::string& Message, const std::string& Title);
    // One posted message to its window; Idle when none was waiting.
    TDispatch HandleOneMessage();
    static void Dispatch(MSG& Msg);
    // Blocks until a message is posted or sent to this thread.
    static void SleepUntilMessage();
    bool FErrorShowing = false;
    std::string FHeldError;
};

// Created on first use, destroyed at process exit with the components it
// owns.
TApplication& Application();

// Runs Call where no exception may pass (window procedures, callbacks,
// destructors): what it raises goes to the standard error display.
template <typename TCall>
auto Guarded(TCall&& Call) noexcept -> decltype(Call()) {
    try {
        return Call();
    } catch (...) {
        Application().HandleException(std::current_exception());
        return decltype(Call())();
    }
}
