#include "framework/MessageWindow_win.h"

#include "framework/Application_win.h"
#include "framework/Exceptions.h"

namespace {
constexpr char kClassName[] = "TGyroMessageWindow";

void RegisterWindowClass(WNDPROC Procedure) {
    static const bool Registered = [Procedure] {
        WNDCLASSA Class{};
        Class.lpfnWndProc = Procedure;
        Class.hInstance = GetModuleHandleA(nullptr);
        Class.lpszClassName = kClassName;
        return RegisterClassA(&Class) != 0;
    }();
    if (!Registered)
        throw Exception("Cannot register the message window class");
}
}  // namespace

TMessageWindow::TMessageWindow(THandler Handler) : FHandler(std::move(Handler)) {
    RegisterWindowClass(&WindowProc);
    FHandle.Reset(
        CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr), nullptr));
    if (!FHandle)
        throw Exception("Cannot create a message window");
    // Creation's own messages went to the default procedure; all later ones
    // go to the handler.
    SetWindowLongPtrA(FHandle.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

LRESULT CALLBACK TMessageWindow::WindowProc(HWND Window, UINT Message, WPARAM W, LPARAM L) noexcept {
    auto* Self = reinterpret_cast<TMessageWindow*>(GetWindowLongPtrA(Window, GWLP_USERDATA));
    if (!Self || Message == WM_NCDESTROY)
        return DefWindowProcA(Window, Message, W, L);
    return Guarded([&] { return Self->FHandler(Window, Message, W, L); });
}
