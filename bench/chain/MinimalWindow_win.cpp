// The yardstick for the chain benchmark: the least a Win32 window program
// does that lives on a 500 ms timer. One window with one label; every tick
// writes the tick count into the label, as a program showing a value would,
// and a line "tick US" to standard output (QueryPerformanceCounter in
// microseconds), so that its timer's accuracy can be measured without
// looking at the window.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {
constexpr UINT_PTR kTickTimer = 1;
constexpr int kLabelId = 100;
unsigned Ticks = 0;

void ReportTick() {
    LARGE_INTEGER Counter, Frequency;
    QueryPerformanceCounter(&Counter);
    QueryPerformanceFrequency(&Frequency);
    std::printf("tick %lld\n", Counter.QuadPart / Frequency.QuadPart * 1000000 +
                                   Counter.QuadPart % Frequency.QuadPart * 1000000 / Frequency.QuadPart);
    std::fflush(stdout);
}

LRESULT CALLBACK WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    switch (Message) {
        case WM_TIMER:
            if (WParam == kTickTimer) {
                ReportTick();
                SetDlgItemTextA(Window, kLabelId, std::to_string(++Ticks).c_str());
            }
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(Window, Message, WParam, LParam);
    }
}
}  // namespace

int WINAPI WinMain(HINSTANCE Instance, HINSTANCE, LPSTR, int Show) {
    WNDCLASSA Class{};
    Class.lpfnWndProc = WindowProc;
    Class.hInstance = Instance;
    Class.hCursor = LoadCursor(nullptr, IDC_ARROW);
    Class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    Class.lpszClassName = "MinimalWindow";
    if (!RegisterClassA(&Class))
        return 1;
    HWND Window = CreateWindowA("MinimalWindow", "Minimal window", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 300, 120, nullptr, nullptr, Instance, nullptr);
    if (!Window)
        return 1;
    CreateWindowA("STATIC", "0", WS_CHILD | WS_VISIBLE, 10, 10, 200, 20, Window,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLabelId)), Instance, nullptr);
    ShowWindow(Window, Show);
    SetTimer(Window, kTickTimer, 500, nullptr);
    MSG Message;
    while (GetMessageA(&Message, nullptr, 0, 0) > 0) {
        TranslateMessage(&Message);
        DispatchMessageA(&Message);
    }
    return 0;
}
