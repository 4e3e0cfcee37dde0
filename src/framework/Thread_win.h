#pragma once
// A thread with a body to override, and the main-thread call facility.
//
// Construct threads on the main thread: the window through which Synchronize
// reaches the main thread is made then.
#include <windows.h>

#include <atomic>
#include <functional>

#include "framework/Handles_win.h"

class TThread {
public:
    // The thread is created suspended; Resume starts Execute. Raises
    // Exception when the thread cannot be created.
    TThread();
    // Waits for the thread's end. A derived class stops its Execute and
    // calls WaitFor in its own destructor: Execute must not outlive it.
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    void Resume();
    void SetPriority(int Priority);
    // Returns when Execute has ended. Meanwhile the calling thread keeps
    // answering messages sent to its windows, so that a thread blocked in
    // Synchronize or in a SendMessage to the caller can get to its end.
    void WaitFor();
    HANDLE Handle() const { return FHandle.Get(); }

protected:
    // The thread's body. An exception that leaves it ends the thread
    // without any message.
    virtual void Execute() = 0;
    // Runs Method on the main thread while this thread waits; an exception
    // that Method raises is raised again here. The main thread runs it when
    // it next handles or waits for messages.
    void Synchronize(const std::function<void()>& Method);

private:
    static DWORD WINAPI ThreadProc(LPVOID Parameter) noexcept;

    TThreadHandle FHandle;
    bool FResumed = false;
    std::atomic<bool> FSkipExecute{false};  // set when the thread ends before it ever ran
};
