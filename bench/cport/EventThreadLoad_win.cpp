// How much CPU the event thread of an open port takes while received bytes
// sit unread, the state in which Wine keeps reporting EV_RXCHAR.
//
//   EventThreadLoad [SECONDS [BYTES]]     (default 10 s, 5 bytes)
//
// The port GYRO_TEST_PORT is set up as the rotator driver sets it up (600
// baud, every event watched, window sync); its far end GYRO_TEST_PEER sends
// BYTES bytes, which nobody reads. After their OnRxChar (at once for 0
// bytes: the quiet line, for comparison) the main thread runs a message loop
// for SECONDS and the CPU time of the event thread and of the whole process
// over that time is printed.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cport/CPort_win.h"
#include "cport/ComThread_win.h"

namespace {
std::string Environment(const char* Name) {
    const char* Value = std::getenv(Name);
    if (!Value) {
        std::fprintf(stderr, "%s is not set: run through tests/cport/with-serial-ports.sh\n", Name);
        std::exit(2);
    }
    return Value;
}

double Milliseconds(const FILETIME& Time) {
    ULARGE_INTEGER Value;
    Value.LowPart = Time.dwLowDateTime;
    Value.HighPart = Time.dwHighDateTime;
    return static_cast<double>(Value.QuadPart) / 10000.0;
}

// Kernel plus user time so far, in ms.
double ThreadCpu(HANDLE Thread) {
    FILETIME Created, Ended, Kernel, User;
    GetThreadTimes(Thread, &Created, &Ended, &Kernel, &User);
    return Milliseconds(Kernel) + Milliseconds(User);
}
double ProcessCpu() {
    FILETIME Created, Ended, Kernel, User;
    GetProcessTimes(GetCurrentProcess(), &Created, &Ended, &Kernel, &User);
    return Milliseconds(Kernel) + Milliseconds(User);
}

// Handles messages until Done() holds or the time is up; false on time-out.
template <typename TDone>
bool RunMessageLoop(DWORD TimeoutMs, TDone Done) {
    const DWORD Start = GetTickCount();
    for (;;) {
        MSG Msg;
        while (PeekMessageA(&Msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&Msg);
        if (Done())
            return true;
        const DWORD Elapsed = GetTickCount() - Start;
        if (Elapsed >= TimeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, TimeoutMs - Elapsed, QS_ALLINPUT);
    }
}
}  // namespace

int main(int argc, char** argv) {
    const double Seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    const int Bytes = argc > 2 ? std::atoi(argv[2]) : 5;
    try {
        TComPort Port(nullptr);
        Port.SetPort(Environment("GYRO_TEST_PORT"));
        Port.SetBaudRate(br600);
        Port.SetSyncMethod(smWindowSync);
        int RxChars = 0;
        Port.OnRxChar = [&](int32_t) { ++RxChars; };
        Port.Open();

        const std::string PeerPath = "\\\\.\\" + Environment("GYRO_TEST_PEER");
        HANDLE Peer =
            CreateFileA(PeerPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        const std::string Sent(static_cast<size_t>(std::max(Bytes, 0)), 'x');
        DWORD Written = 0;
        if (Peer == INVALID_HANDLE_VALUE ||
            !WriteFile(Peer, Sent.data(), static_cast<DWORD>(Sent.size()), &Written, nullptr) ||
            Written != Sent.size()) {
            std::fprintf(stderr, "cannot write to %s\n", PeerPath.c_str());
            return 2;
        }
        if (!Sent.empty() && !RunMessageLoop(10000, [&] { return RxChars > 0; })) {
            std::fprintf(stderr, "no OnRxChar within 10 s\n");
            return 1;
        }

        const HANDLE Thread = Port.EventThread()->Handle();
        const double ThreadBefore = ThreadCpu(Thread), ProcessBefore = ProcessCpu();
        const DWORD Start = GetTickCount();
        std::printf("measuring for %.1f s with %d bytes unread\n", Seconds, Port.PendingInputCount());
        std::fflush(stdout);
        RunMessageLoop(static_cast<DWORD>(Seconds * 1000), [] { return false; });
        const double Wall = GetTickCount() - Start;
        const double ThreadUsed = ThreadCpu(Thread) - ThreadBefore, ProcessUsed = ProcessCpu() - ProcessBefore;

        std::printf("event thread: %.0f ms CPU in %.0f ms = %.2f %% of one core\n", ThreadUsed, Wall,
                    100.0 * ThreadUsed / Wall);
        std::printf("whole process (Wine's own serial polling included): %.0f ms CPU = %.2f %% of one core\n",
                    ProcessUsed, 100.0 * ProcessUsed / Wall);
        std::printf("OnRxChar raised %d time(s) after the bytes arrived, %d bytes still unread\n",
                    RxChars - (Sent.empty() ? 0 : 1), Port.PendingInputCount());
        std::fflush(stdout);
        Port.Close();
        CloseHandle(Peer);
    } catch (const std::exception& Error) {
        std::fprintf(stderr, "%s\n", Error.what());
        return 1;
    }
    return 0;
}
