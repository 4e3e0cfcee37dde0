#include "framework/Thread_win.h"

#include <exception>

#include "framework/Exceptions.h"
#include "framework/MessageWindow_win.h"
#include "framework/WindowIds.h"

namespace {
struct TSynchronizeCall {
    const std::function<void()>* Method;
    std::exception_ptr Error;
};

// Lives on the main thread, which creates it with its first thread.
TMessageWindow& SynchronizeWindow() {
    static TMessageWindow Window([](HWND Window, UINT Message, WPARAM W, LPARAM L) -> LRESULT {
        if (Message != kSynchronizeMessage)
            return DefWindowProcA(Window, Message, W, L);
        auto* Call = reinterpret_cast<TSynchronizeCall*>(L);
        try {
            (*Call->Method)();
        } catch (...) {
            Call->Error = std::current_exception();
        }
        return 0;
    });
    return Window;
}
}  // namespace

TThread::TThread() {
    SynchronizeWindow();
    FHandle.Reset(CreateThread(nullptr, 0, &ThreadProc, this, CREATE_SUSPENDED, nullptr));
    if (!FHandle)
        throw Exception("Cannot create a thread");
}

TThread::~TThread() {
    if (!FResumed) {
        FSkipExecute = true;
        Resume();
    }
    WaitFor();
}

void TThread::Resume() {
    FResumed = true;
    ResumeThread(FHandle.Get());
}

void TThread::SetPriority(int Priority) {
    SetThreadPriority(FHandle.Get(), Priority);
}

void TThread::WaitFor() {
    const HANDLE Thread = FHandle.Get();
    while (MsgWaitForMultipleObjects(1, &Thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG Msg;
        PeekMessageA(&Msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // answers sent messages only
    }
}

void TThread::Synchronize(const std::function<void()>& Method) {
    TSynchronizeCall Call{&Method, nullptr};
    SendMessageA(SynchronizeWindow().Handle(), kSynchronizeMessage, 0, reinterpret_cast<LPARAM>(&Call));
    if (Call.Error)
        std::rethrow_exception(Call.Error);
}

// Swallows what leaves Execute on purpose: nothing may cross a thread procedure, and Execute ends silently.
DWORD WINAPI TThread::ThreadProc(LPVOID Parameter) noexcept {
    auto* Self = static_cast<TThread*>(Parameter);
    if (Self->FSkipExecute)
        return 0;
    try {
        Self->Execute();
    } catch (...) {
    }
    return 0;
}
