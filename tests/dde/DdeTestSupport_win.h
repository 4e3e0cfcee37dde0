#pragma once
// What the tracking-link tests share: the simulator as a real server and
// counting wrappers around the DDE seam (waits on the message queue are
// support/Messages_win.h's).
#include <windows.h>
// after windows.h, which it needs
#include <ddeml.h>

#include <functional>
#include <string>
#include <vector>

#include "dde/DdeCalls_win.h"
#include "support/Messages_win.h"
#include "support/ProcessMemory_win.h"
#include "support/Simulators_win.h"

// How many references the global atom named Name has (0: none): what every
// process that uses the name has added and not yet deleted.
unsigned AtomReferences(const char* Name);

// The simulator's executable as Windows sees it.
std::string SimulatorPath();
std::string SimulatorDirectory();

// A simulator started for a test and told to quit at the end.
class TSimulatorProcess {
public:
    explicit TSimulatorProcess(const std::string& Arguments);
    ~TSimulatorProcess();
    TSimulatorProcess(const TSimulatorProcess&) = delete;
    TSimulatorProcess& operator=(const TSimulatorProcess&) = delete;

    // Hands a command to the running simulator; true when understood.
    bool Send(const std::string& Command) const;
    // Tells it to quit and waits until it has ended.
    void Quit();
    // Tells it to quit and waits until it has ended, leaving its goodbye
    // unread in this thread's queue.
    void QuitUnheard();
    // Ends it at once, as a crash would: it ends no conversation.
    void Kill();

private:
    PROCESS_INFORMATION FProcess{};
};

// Wraps the seam's real calls and records what the conversation asked for.
struct TCallLog {
    int Connects = 0;
    std::vector<std::string> Services, Topics;  // the names of each connect, as the library has them
    std::vector<std::string> Commands;          // WinExec command lines
    std::vector<UINT> ShowModes;
    std::vector<UINT> FailedTransactions;  // types of transactions that gave nothing back
    UINT WinExecResult = 0;                // 0: the real WinExec runs
    int RefuseRequests = 0;                // the next requests give nothing, without reaching the server
};

// Installs the wrappers for its lifetime and restores the real calls after.
class TLoggedCalls {
public:
    TLoggedCalls();
    ~TLoggedCalls();
    TCallLog Log;

private:
    TDdeCalls FSaved;
};
