// Time from the tracking program's change of the line to OnChange of the
// item that follows it: the simulator stamps each line with the performance
// counter as it publishes it (one clock for every process of the machine),
// the item's OnChange reads the counter again. Changes are made one at a
// time, each after the previous one has arrived.
//
//   TrackingLatency.exe ZENITRAK_EXE [CHANGES]
//
// Prints the count, median, 90th percentile and maximum in milliseconds, and
// what the changes left behind: committed private memory (summed over the
// address space, as Windows counts it) and the bytes in use on the process
// heap, before the first change and after the last.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Simulation.h"
#include "dde/DdeClientConv_win.h"
#include "dde/DdeClientItem_win.h"
#include "dde/DdeMgr_win.h"
#include "dde/TrackingProgram.h"
#include "framework/Application_win.h"
#include "support/ProcessMemory_win.h"

namespace {

long long NowMicroseconds() {
    LARGE_INTEGER Counter, Frequency;
    QueryPerformanceCounter(&Counter);
    QueryPerformanceFrequency(&Frequency);
    return static_cast<long long>(static_cast<long double>(Counter.QuadPart) * 1e6L / Frequency.QuadPart);
}

std::optional<long long> StampOf(const std::string& Text) {
    const size_t Pos = Text.rfind(" TS");
    if (Pos == std::string::npos)
        return std::nullopt;
    return std::stoll(Text.substr(Pos + 3));
}

// Handles messages until Done() holds or TimeoutMs pass.
template <typename TDone>
bool WaitFor(TDone Done, DWORD TimeoutMs) {
    const ULONGLONG Deadline = GetTickCount64() + TimeoutMs;
    for (ULONGLONG Now = GetTickCount64(); !Done() && Now < Deadline; Now = GetTickCount64()) {
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(Deadline - Now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        Application().ProcessMessages();
    }
    return Done();
}

bool Send(const std::string& Command) {
    HWND Window = FindWindowA(kSimWindowClass, nullptr);
    COPYDATASTRUCT Data{kSimCopyDataId, static_cast<DWORD>(Command.size()), const_cast<char*>(Command.data())};
    DWORD_PTR Taken = FALSE;
    return Window && SendMessageTimeoutA(Window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&Data), SMTO_NORMAL, 10000,
                                         &Taken) &&
           Taken;
}

double Milliseconds(long long Microseconds) {
    return Microseconds / 1000.0;
}

int Run(const std::string& Simulator, int Changes) {
    std::string CommandLine = "\"" + Simulator + "\" --line \"SNLAT AZ0\" --stamp";
    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    PROCESS_INFORMATION Process{};
    if (!CreateProcessA(nullptr, CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Startup, &Process)) {
        std::fprintf(stderr, "cannot start %s\n", CommandLine.c_str());
        return 1;
    }
    WaitForInputIdle(Process.hProcess, 30000);

    TComponent Owner(nullptr);
    auto* Conv = new TDdeClientConv(&Owner);
    Conv->SetConnectMode(ddeManual);
    Conv->SetLinkInfo({std::string("Service ") + kTrackingService, std::string("Topic ") + kTrackingTopic});
    auto* Item = new TDdeClientItem(&Owner);
    Item->SetDdeConv(Conv);
    Item->SetDdeItem(kTrackingItem);
    std::vector<long long> Latencies;
    int Arrived = 0;
    Item->OnChange = [&] {
        const long long Now = NowMicroseconds();
        if (std::optional<long long> Stamp = StampOf(Item->Text())) {
            Latencies.push_back(Now - *Stamp);
            ++Arrived;
        }
    };
    int Result = 0;
    if (!Conv->OpenConversation()) {
        std::fprintf(stderr, "no conversation with the simulator\n");
        Result = 1;
    }
    Latencies.clear();
    Arrived = 0;
    const unsigned long long PrivateBefore = CommittedPrivateBytes(), HeapBefore = ProcessHeapInUse();
    for (int Change = 1; Result == 0 && Change <= Changes; ++Change) {
        if (!Send("line SNLAT AZ" + std::to_string(Change)) || !WaitFor([&] { return Arrived == Change; }, 10000)) {
            std::fprintf(stderr, "change %d did not arrive\n", Change);
            Result = 1;
        }
    }
    Application().ProcessMessages();  // what the last answer left in the queue
    const unsigned long long PrivateAfter = CommittedPrivateBytes(), HeapAfter = ProcessHeapInUse();
    Conv->CloseConversation();
    Send("quit");
    WaitForSingleObject(Process.hProcess, 10000);
    CloseHandle(Process.hThread);
    CloseHandle(Process.hProcess);
    if (Result != 0)
        return Result;

    std::sort(Latencies.begin(), Latencies.end());
    const size_t Count = Latencies.size();
    const double Median = Count % 2 ? Milliseconds(Latencies[Count / 2])
                                    : (Milliseconds(Latencies[Count / 2 - 1]) + Milliseconds(Latencies[Count / 2])) / 2;
    std::printf("change of the line to OnChange over %zu changes: median %.3f ms, 90th percentile %.3f ms, "
                "maximum %.3f ms\n",
                Count, Median, Milliseconds(Latencies[(Count * 9) / 10]), Milliseconds(Latencies.back()));
    std::printf("committed private memory: %llu KiB before the first change, %llu KiB after the last\n",
                PrivateBefore / 1024, PrivateAfter / 1024);
    std::printf("process heap in use: %llu bytes before, %llu after: %.1f bytes per change\n", HeapBefore, HeapAfter,
                (static_cast<double>(HeapAfter) - static_cast<double>(HeapBefore)) / static_cast<double>(Count));
    return 0;
}

}  // namespace

int main(int Argc, char** Argv) {
    if (Argc < 2) {
        std::fprintf(stderr, "usage: TrackingLatency ZENITRAK_EXE [CHANGES]\n");
        return 2;
    }
    const int Changes = Argc > 2 ? std::max(1, std::atoi(Argv[2])) : 200;
    try {
        DdeManager();
        return Run(Argv[1], Changes);
    } catch (const std::exception& Error) {
        std::fprintf(stderr, "%s\n", Error.what());
        return 1;
    }
}
