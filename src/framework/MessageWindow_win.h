#pragma once
// An invisible window that only receives messages: the way another thread
// hands work to the thread that created the window. Created, used and
// destroyed on one thread; its handler runs on that thread.
#include <windows.h>

#include <functional>

#include "framework/Handles_win.h"

class TMessageWindow {
public:
    using THandler = std::function<LRESULT(HWND Window, UINT Message, WPARAM W, LPARAM L)>;

    // Raises Exception when the window cannot be created. Messages that the
    // handler does not want go to DefWindowProcA, which the handler calls.
    explicit TMessageWindow(THandler Handler);
    TMessageWindow(const TMessageWindow&) = delete;
    TMessageWindow& operator=(const TMessageWindow&) = delete;

    HWND Handle() const { return FHandle.Get(); }

private:
    static LRESULT CALLBACK WindowProc(HWND Window, UINT Message, WPARAM W, LPARAM L) noexcept;

    THandler FHandler;
    TWindowHandle FHandle;
};
