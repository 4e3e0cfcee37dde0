// Time from the tracking program's change of the line to OnChange of the
// item that follows it: the simulator stamps each line with the performance
// counter as it publishes it (one clock for every process of the machine),
// the item's OnChange reads the counter again. Changes are made one at a
// time, each after the previous one has arrived: first with the item as the
// tracking program's only client, then as many again beside a plain
// warm-link client in another process (ddepeer --follow: a request after
// each change notice), as a radio-control program beside the rotor's.
//
//   TrackingLatency.exe ZENITRAK_EXE DDEPEER_EXE [CHANGES]
//
// Prints for each the count, median, 90th percentile and maximum in
// milliseconds, and what the changes left behind: committed private memory
// (summed over the address space, as Windows counts it) and the bytes in use
// on the process heap, before the first change and after the last; beside
// the other client also how many of its requests were refused.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
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
    return Window &&
           SendMessageTimeoutA(Window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&Data), SMTO_NORMAL, 10000, &Taken) &&
           Taken;
}

double Milliseconds(long long Microseconds) {
    return Microseconds / 1000.0;
}

// A program started for the run, its standard output in a file; it is given
// Patience to end by itself at the end of the run, and then ended.
class TProcess {
public:
    TProcess(std::string CommandLine, DWORD Patience, const std::string& OutputFile = "") : FPatience(Patience) {
        STARTUPINFOA Startup{};
        Startup.cb = sizeof Startup;
        HANDLE Output = INVALID_HANDLE_VALUE;
        if (!OutputFile.empty()) {
            SECURITY_ATTRIBUTES Inherit{sizeof Inherit, nullptr, TRUE};
            Output =
                CreateFileA(OutputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &Inherit, CREATE_ALWAYS, 0, nullptr);
            Startup.dwFlags = STARTF_USESTDHANDLES;
            Startup.hStdOutput = Startup.hStdError = Output;
        }
        FStarted = CreateProcessA(nullptr, CommandLine.data(), nullptr, nullptr, Output != INVALID_HANDLE_VALUE, 0,
                                  nullptr, nullptr, &Startup, &FInfo);
        if (Output != INVALID_HANDLE_VALUE)
            CloseHandle(Output);
        if (FStarted)
            WaitForInputIdle(FInfo.hProcess, 30000);
        else
            std::fprintf(stderr, "cannot start %s\n", CommandLine.c_str());
    }
    ~TProcess() {
        if (!FStarted)
            return;
        if (WaitForSingleObject(FInfo.hProcess, FPatience) != WAIT_OBJECT_0)
            TerminateProcess(FInfo.hProcess, 1);
        CloseHandle(FInfo.hThread);
        CloseHandle(FInfo.hProcess);
    }
    TProcess(const TProcess&) = delete;
    TProcess& operator=(const TProcess&) = delete;
    explicit operator bool() const { return FStarted; }

private:
    PROCESS_INFORMATION FInfo{};
    bool FStarted = false;
    DWORD FPatience;
};

// The lines of a file that begin with Word.
std::vector<std::string> LinesOf(const std::string& File, const std::string& Word) {
    std::vector<std::string> Found;
    std::ifstream In(File);
    for (std::string Line; std::getline(In, Line);)
        if (Line.rfind(Word + " ", 0) == 0)
            Found.push_back(Line);
    return Found;
}

// The tracking link under measurement: a conversation and its one item.
class TLink {
public:
    TLink() : FConv(new TDdeClientConv(&FOwner)), FItem(new TDdeClientItem(&FOwner)) {
        FConv->SetConnectMode(ddeManual);
        FConv->SetLinkInfo({std::string("Service ") + kTrackingService, std::string("Topic ") + kTrackingTopic});
        FItem->SetDdeConv(FConv);
        FItem->SetDdeItem(kTrackingItem);
        FItem->OnChange = [this] {  // a line's first arrival
            const std::string Text = FItem->Text();
            if (Text == FLast)
                return;
            FLast = Text;
            if (std::optional<long long> Stamp = StampOf(Text))
                FLatencies.push_back(NowMicroseconds() - *Stamp);
        };
    }
    bool Open() { return FConv->OpenConversation(); }
    void Close() { FConv->CloseConversation(); }

    // Changes made one at a time, lines numbered from First; one that has
    // not arrived after kPatience is lost, and the next is made. False when
    // the simulator does not take a change. Prints the figures under Title.
    bool Measure(const char* Title, int First, int Changes) {
        constexpr DWORD kPatience = 3000;  // ms: beyond a request's time-out and its one repetition
        FLatencies.clear();
        int Lost = 0;
        const unsigned long long PrivateBefore = CommittedPrivateBytes(), HeapBefore = ProcessHeapInUse();
        for (int Change = 1; Change <= Changes; ++Change) {
            const std::string Line = "SNLAT AZ" + std::to_string(First + Change);
            if (!Send("line " + Line)) {
                std::fprintf(stderr, "%s: the simulator did not take change %d\n", Title, Change);
                return false;
            }
            if (!WaitFor([&] { return FLast.rfind(Line + " ", 0) == 0; }, kPatience))
                ++Lost;
        }
        Application().ProcessMessages();  // what the last answer left in the queue
        const unsigned long long PrivateAfter = CommittedPrivateBytes(), HeapAfter = ProcessHeapInUse();

        std::vector<long long> Sorted = FLatencies;
        std::sort(Sorted.begin(), Sorted.end());
        const size_t Count = Sorted.size();
        if (Count == 0) {
            std::fprintf(stderr, "%s: no line arrived\n", Title);
            return false;
        }
        const double Median = Count % 2 ? Milliseconds(Sorted[Count / 2])
                                        : (Milliseconds(Sorted[Count / 2 - 1]) + Milliseconds(Sorted[Count / 2])) / 2;
        std::printf(
            "%s: change of the line to OnChange over %zu changes: median %.3f ms, 90th percentile %.3f ms, "
            "maximum %.3f ms\n",
            Title, Count, Median, Milliseconds(Sorted[(Count * 9) / 10]), Milliseconds(Sorted.back()));
        std::printf("%s: committed private memory: %llu KiB before the first change, %llu KiB after the last\n", Title,
                    PrivateBefore / 1024, PrivateAfter / 1024);
        std::printf("%s: process heap in use: %llu bytes before, %llu after: %.1f bytes per change\n", Title,
                    HeapBefore, HeapAfter,
                    (static_cast<double>(HeapAfter) - static_cast<double>(HeapBefore)) / static_cast<double>(Changes));
        std::printf("%s: lines that never arrived: %d of %d\n", Title, Lost, Changes);
        return true;
    }

private:
    TComponent FOwner{nullptr};
    TDdeClientConv* FConv;  // owned by FOwner
    TDdeClientItem* FItem;  // owned by FOwner
    std::vector<long long> FLatencies;
    std::string FLast;  // the text last told
};

int Run(const std::string& Simulator, const std::string& Peer, int Changes) {
    TProcess Tracking("\"" + Simulator + "\" --line \"SNLAT AZ0\" --stamp", 10000);
    if (!Tracking)
        return 1;
    int Result = 0;
    {
        TLink Link;
        if (!Link.Open()) {
            std::fprintf(stderr, "no conversation with the simulator\n");
            Result = 1;
        }
        if (Result == 0 && !Link.Measure("one client", 0, Changes))
            Result = 1;

        char Folder[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, Folder);
        const std::string PeerOutput = std::string(Folder) + "TrackingLatency-peer.txt";
        // It follows for longer than the changes take; it is ended after the simulator.
        const std::string Seconds = std::to_string(Changes / 20 + 120);
        std::unique_ptr<TProcess> Beside;
        if (Result == 0) {
            Beside = std::make_unique<TProcess>(
                "\"" + Peer + "\" --service Zenitrak --topic Tracking --timeout 1000 --follow " + Seconds, 0,
                PeerOutput);
            if (!*Beside || !WaitFor([&] { return !LinesOf(PeerOutput, "following").empty(); }, 30000)) {
                std::fprintf(stderr, "the other client does not follow the line\n");
                Result = 1;
            }
        }
        const size_t Before = LinesOf(PeerOutput, "taken").size() + LinesOf(PeerOutput, "refused").size();
        const size_t RefusedBefore = LinesOf(PeerOutput, "refused").size();
        if (Result == 0 && !Link.Measure("beside a plain client", Changes, Changes))
            Result = 1;
        if (Result == 0) {
            const size_t Requests = LinesOf(PeerOutput, "taken").size() + LinesOf(PeerOutput, "refused").size();
            std::printf("beside a plain client: its requests refused: %zu of %zu\n",
                        LinesOf(PeerOutput, "refused").size() - RefusedBefore, Requests - Before);
        }
        Link.Close();
        Send("quit");  // ends the other client's conversation too
    }
    return Result;
}

}  // namespace

int main(int Argc, char** Argv) {
    if (Argc < 3) {
        std::fprintf(stderr, "usage: TrackingLatency ZENITRAK_EXE DDEPEER_EXE [CHANGES]\n");
        return 2;
    }
    const int Changes = Argc > 3 ? std::max(1, std::atoi(Argv[3])) : 200;
    try {
        DdeManager();
        return Run(Argv[1], Argv[2], Changes);
    } catch (const std::exception& Error) {
        std::fprintf(stderr, "%s\n", Error.what());
        return 1;
    }
}
