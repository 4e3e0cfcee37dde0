#include "framework/Application_win.h"

#include <utility>

#include "framework/Exceptions.h"
#include "framework/WindowIds.h"

TApplication& Application() {
    // Outlives every window, and goes at process end with what it owns: the
    // DDE manager must uninitialise its instance then.
    static TApplication Instance;
    return Instance;
}

void TApplication::HandleException(const std::exception& E) noexcept {
    if (OnException) {
        try {
            OnException(E);
            return;
        } catch (...) {
            // The taker failed: the dialog shows the error after all.
        }
    }
    ShowException(E.what());
}

void TApplication::HandleException(std::exception_ptr E) noexcept {
    try {
        std::rethrow_exception(E);
    } catch (const std::exception& Error) {
        HandleException(Error);
    } catch (...) {
        HandleException(Exception("Unknown error"));
    }
}

void TApplication::ShowException(const std::string& Message) noexcept {
    if (FErrorShowing)
        return;
    if (HoldErrors) {
        if (FHeldError.empty())
            FHeldError = Message;
        return;
    }
    FErrorShowing = true;
    ErrorDialog(Message, Title);
    FErrorShowing = false;
}

void TApplication::ShowHeldError() noexcept {
    if (!FHeldError.empty())
        ShowException(std::exchange(FHeldError, std::string()));
}

void TApplication::EndErrorDialog() noexcept {
    if (!FErrorShowing)
        return;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND Window, LPARAM Param) -> BOOL {
            char Class[8] = "", Text[256] = "";
            GetClassNameA(Window, Class, sizeof Class);
            GetWindowTextA(Window, Text, sizeof Text);
            if (lstrcmpA(Class, "#32770") == 0 && *reinterpret_cast<const std::string*>(Param) == Text)
                EndDialog(Window, IDOK);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&Title));
}

void TApplication::ShowErrorBox(const std::string& Message, const std::string& Title) {
    // Owned by no window and disabling none: the program goes on behind it,
    // and its window can still be closed.
    MessageBoxA(nullptr, Message.c_str(), Title.c_str(), MB_OK | MB_ICONSTOP | MB_SETFOREGROUND);
}

namespace {
// Keyboard messages of a form's windows go through the dialog manager, so
// that Tab and Shift+Tab move between the controls and Space presses the
// focused button, as in any Windows window. True when Msg was such a
// message and has been handled.
bool HandleDialogKey(MSG& Msg) {
    if (Msg.message < WM_KEYFIRST || Msg.message > WM_KEYLAST || !Msg.hwnd)
        return false;
    HWND Root = GetAncestor(Msg.hwnd, GA_ROOT);
    char Class[sizeof kFormClass + 1] = "";
    GetClassNameA(Root, Class, sizeof Class);
    return lstrcmpA(Class, kFormClass) == 0 && IsDialogMessageA(Root, &Msg);
}
}  // namespace

void TApplication::Dispatch(MSG& Msg) {
    if (HandleDialogKey(Msg))
        return;
    TranslateMessage(&Msg);
    DispatchMessageA(&Msg);
}

void TApplication::ProcessMessages() {
    MSG Msg;
    while (PeekMessageA(&Msg, nullptr, 0, 0, PM_REMOVE)) {
        if (Msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(Msg.wParam));
            return;
        }
        Dispatch(Msg);
    }
}

TApplication::TDispatch TApplication::HandleOneMessage() {
    MSG Msg;
    if (!PeekMessageA(&Msg, nullptr, 0, 0, PM_REMOVE))
        return TDispatch::Idle;
    if (Msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(Msg.wParam));
        return TDispatch::Quit;
    }
    Dispatch(Msg);
    return TDispatch::Handled;
}

void TApplication::SleepUntilMessage() {
    // Unlike WaitMessage, this also wakes for a message another thread
    // sends, and for input that arrived before the call: no CPU while
    // waiting, and no wake-up missed.
    MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}
