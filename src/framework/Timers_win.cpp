#include "framework/Timers_win.h"

#include <string>

#include "framework/Application_win.h"
#include "framework/Exceptions.h"
#include "framework/WindowIds.h"

namespace {

constexpr char kTimerClass[] = "GyroTimer";

void RegisterTimerClass(WNDPROC Procedure) {
    static bool Registered = false;
    if (Registered)
        return;
    WNDCLASSEXA Class{};
    Class.cbSize = sizeof Class;
    Class.lpfnWndProc = Procedure;
    Class.hInstance = GetModuleHandleA(nullptr);
    Class.lpszClassName = kTimerClass;
    if (!RegisterClassExA(&Class))
        throw Exception("Cannot register the timer window class (error " + std::to_string(GetLastError()) + ")");
    Registered = true;
}

}  // namespace

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {}

TTimer::~TTimer() {
    if (FWindow)
        KillTimer(FWindow.Get(), kTimerId);
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
        KillTimer(FWindow.Get(), kTimerId);
    if (!FEnabled || FInterval == 0)
        return;
    if (!FWindow) {
        RegisterTimerClass(&TTimer::WindowProc);
        FWindow.Reset(CreateWindowExA(0, kTimerClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      GetModuleHandleA(nullptr), nullptr));
        if (!FWindow)
            throw Exception("Cannot create the timer window (error " + std::to_string(GetLastError()) + ")");
        SetWindowLongPtrA(FWindow.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    if (!SetTimer(FWindow.Get(), kTimerId, FInterval, nullptr))
        throw Exception("Not enough timers available");
}

LRESULT CALLBACK TTimer::WindowProc(HWND Window, UINT Message, WPARAM W, LPARAM L) noexcept {
    if (Message == WM_TIMER && W == kTimerId)
        if (auto* Timer = reinterpret_cast<TTimer*>(GetWindowLongPtrA(Window, GWLP_USERDATA))) {
            Timer->Tick();
            return 0;
        }
    return DefWindowProcA(Window, Message, W, L);
}

void TTimer::Tick() noexcept {
    try {
        if (OnTimer)
            OnTimer();
    } catch (...) {
        Application().HandleException(std::current_exception());
    }
}
