// The simulator as a DDE server, seen by a plain DDE client: hot and warm
// advise loops, requests, and control of a running simulator from a shell
// (Zenitrak --send).
#include <windows.h>
#include <dde.h>
#include <ddeml.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Simulation.h"
#include "support/Messages_win.h"
#include "support/Simulators_win.h"

namespace {

std::string ExePath() {
    std::string Path = "Z:" ZENITRAK_EXE;
    std::replace(Path.begin(), Path.end(), '/', '\\');
    return Path;
}

// Runs the simulator with Arguments, its output to Output when given (an
// inheritable handle); Wait: until it ends, giving its exit code.
class TSimulatorRun {
public:
    explicit TSimulatorRun(const std::string& Arguments, HANDLE Output = nullptr) {
        std::string CommandLine = "\"" + ExePath() + "\" " + Arguments;
        STARTUPINFOA Startup{};
        Startup.cb = sizeof Startup;
        if (Output) {
            Startup.dwFlags = STARTF_USESTDHANDLES;
            Startup.hStdOutput = Startup.hStdError = Output;
        }
        if (!CreateProcessA(nullptr, CommandLine.data(), nullptr, nullptr, Output != nullptr, 0, nullptr, nullptr,
                            &Startup, &FProcess))
            throw std::runtime_error("cannot start " + CommandLine + ": error " + std::to_string(GetLastError()));
        WaitForInputIdle(FProcess.hProcess, 30000);
    }
    ~TSimulatorRun() {
        if (!Ended()) {
            TerminateProcess(FProcess.hProcess, 1);
            WaitForSingleObject(FProcess.hProcess, 10000);
        }
        CloseHandle(FProcess.hThread);
        CloseHandle(FProcess.hProcess);
    }
    bool Ended() const { return WaitForSingleObject(FProcess.hProcess, 0) == WAIT_OBJECT_0; }
    std::optional<DWORD> Wait() const {
        if (!PumpUntilSignalled(FProcess.hProcess, 30000))
            return std::nullopt;
        DWORD Code = 0;
        GetExitCodeProcess(FProcess.hProcess, &Code);
        return Code;
    }

private:
    PROCESS_INFORMATION FProcess{};
};

std::optional<DWORD> Send(const std::string& Command) {
    return TSimulatorRun("--send \"" + Command + "\"").Wait();
}

// A plain client: what its advise loops delivered, and requests.
class Simulator : public ::testing::Test {
protected:
    void SetUp() override {
        EndRunningSimulators();
        Current = this;
        ASSERT_EQ(DdeInitializeA(&Instance, Callback, APPCMD_CLIENTONLY, 0), static_cast<UINT>(DMLERR_NO_ERROR));
        Service = DdeCreateStringHandleA(Instance, "Zenitrak", CP_WINANSI);
        Topic = DdeCreateStringHandleA(Instance, "Tracking", CP_WINANSI);
        Item = DdeCreateStringHandleA(Instance, "TrackingData", CP_WINANSI);
    }
    void TearDown() override {
        if (Conv)
            DdeDisconnect(Conv);
        DdeUninitialize(Instance);
        Current = nullptr;
    }

    static HDDEDATA CALLBACK Callback(UINT Type, UINT, HCONV, HSZ, HSZ, HDDEDATA Data, ULONG_PTR, ULONG_PTR) {
        if (Type != XTYP_ADVDATA || !Current)
            return nullptr;
        Current->Notices.push_back(Data ? TextOf(Data) : std::optional<std::string>());
        return reinterpret_cast<HDDEDATA>(DDE_FACK);
    }
    static std::string TextOf(HDDEDATA Data) {
        DWORD Size = 0;
        const BYTE* Bytes = DdeAccessData(Data, &Size);
        std::string Text(reinterpret_cast<const char*>(Bytes), strnlen(reinterpret_cast<const char*>(Bytes), Size));
        DdeUnaccessData(Data);
        return Text;
    }

    bool Connect() {
        Conv = DdeConnect(Instance, Service, Topic, nullptr);
        return Conv != nullptr;
    }
    HDDEDATA Transact(UINT Type) {
        // Wine's server follows the answer to a request with an acknowledgement
        // that nothing waits for; queued, it would answer this transaction.
        CONVINFO Info{};
        Info.cb = sizeof Info;
        MSG Msg;
        while (DdeQueryConvInfo(Conv, QID_SYNC, &Info) &&
               PeekMessageA(&Msg, Info.hwnd, WM_DDE_ACK, WM_DDE_ACK, PM_REMOVE))
            DispatchMessageA(&Msg);
        DWORD Result = 0;
        return DdeClientTransaction(nullptr, 0, Conv, Item, CF_TEXT, Type, 5000, &Result);
    }
    std::optional<std::string> Request() {
        HDDEDATA Data = Transact(XTYP_REQUEST);
        if (!Data)
            return std::nullopt;
        std::string Text = TextOf(Data);
        DdeFreeDataHandle(Data);
        return Text;
    }
    bool WaitForNotices(size_t Count) {
        return PumpUntil([&] { return Notices.size() >= Count; });
    }

    static inline Simulator* Current = nullptr;
    DWORD Instance = 0;
    HSZ Service = nullptr, Topic = nullptr, Item = nullptr;
    HCONV Conv = nullptr;
    std::vector<std::optional<std::string>> Notices;  // data of a hot loop, none of a warm one
};

TEST_F(Simulator, HotAndWarmLoopsRequestsAndControlFromAShell) {
    TSimulatorRun Running("--line \"SNISS AZ10 EL5\"");
    ASSERT_TRUE(Connect());
    EXPECT_EQ(Request(), "SNISS AZ10 EL5");

    ASSERT_TRUE(Transact(XTYP_ADVSTART));
    EXPECT_EQ(Send("line SNISS AZ11 EL6"), 0u);
    ASSERT_TRUE(WaitForNotices(1));
    EXPECT_EQ(Notices[0], "SNISS AZ11 EL6");

    ASSERT_TRUE(Transact(XTYP_ADVSTOP));
    ASSERT_TRUE(Transact(XTYP_ADVSTART | XTYPF_NODATA));
    EXPECT_EQ(Send("line SNISS AZ12 EL7"), 0u);
    ASSERT_TRUE(WaitForNotices(2));
    EXPECT_EQ(Notices[1], std::nullopt);
    EXPECT_EQ(Request(), "SNISS AZ12 EL7");

    EXPECT_EQ(Send("empty"), 0u);
    ASSERT_TRUE(WaitForNotices(3));
    EXPECT_EQ(Request(), "");

    EXPECT_EQ(Send("REFUSE ON"), 0u);
    ASSERT_TRUE(Transact(XTYP_ADVSTOP));
    EXPECT_FALSE(Transact(XTYP_ADVSTART));
    EXPECT_EQ(Send("refuse off"), 0u);
    EXPECT_TRUE(Transact(XTYP_ADVSTART));

    EXPECT_EQ(Send("ping"), 0u);
    EXPECT_EQ(Send("jump"), 1u);
    EXPECT_EQ(Send("quit"), 0u);
    ASSERT_EQ(Running.Wait(), 0u);
    CONVINFO Info{};
    Info.cb = sizeof Info;
    EXPECT_TRUE(PumpUntil([&] { return !DdeQueryConvInfo(Conv, QID_SYNC, &Info) || !(Info.wStatus & ST_CONNECTED); }));
    EXPECT_EQ(Send("ping"), 2u);
}

TEST_F(Simulator, ScriptPausedThenPublishedAtTheIntervalItSets) {
    char Directory[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, Directory);
    const std::string Script = std::string(Directory) + "zenitrak-script-test.txt";
    std::ofstream(Script) << "# three steps, fast\n!interval 20\nSNAO91 AZ1\nSNAO91 AZ2\n!empty\nSNAO91 AZ3\n";

    TSimulatorRun Running("--script \"" + Script + "\" --interval 60000 --once --paused");
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(Transact(XTYP_ADVSTART));
    EXPECT_EQ(Send("pause off"), 0u);
    ASSERT_TRUE(WaitForNotices(4));
    EXPECT_EQ(Notices, (std::vector<std::optional<std::string>>{"SNAO91 AZ1", "SNAO91 AZ2", "", "SNAO91 AZ3"}));
    EXPECT_EQ(Send("quit"), 0u);
    EXPECT_EQ(Running.Wait(), 0u);
    DeleteFileA(Script.c_str());
}

// A simulator whose window does not answer (its thread is busy): --send
// says so, and does not take it for a command it did not understand.
TEST(SendToABusySimulator, SaysItGotNoAnswer) {
    EndRunningSimulators();
    const HANDLE Made = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const HANDLE Release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread Busy([&] {
        WNDCLASSA Class{};
        Class.lpfnWndProc = DefWindowProcA;
        Class.hInstance = GetModuleHandleA(nullptr);
        Class.lpszClassName = kSimWindowClass;
        RegisterClassA(&Class);
        const HWND Window =
            CreateWindowA(kSimWindowClass, "", 0, 0, 0, 0, 0, nullptr, nullptr, Class.hInstance, nullptr);
        SetEvent(Made);
        WaitForSingleObject(Release, 60000);  // reads no message meanwhile
        DestroyWindow(Window);
    });
    ASSERT_EQ(WaitForSingleObject(Made, 10000), WAIT_OBJECT_0);
    SECURITY_ATTRIBUTES Inherited{sizeof Inherited, nullptr, TRUE};
    char Directory[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, Directory);
    const HANDLE Output =
        CreateFileA((std::string(Directory) + "zenitrak-send-test.txt").c_str(), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, &Inherited, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    const std::optional<DWORD> Code = TSimulatorRun("--send ping", Output).Wait();
    SetEvent(Release);
    Busy.join();
    char Said[512] = "";
    DWORD Length = 0;
    SetFilePointer(Output, 0, nullptr, FILE_BEGIN);
    ReadFile(Output, Said, sizeof Said - 1, &Length, nullptr);
    CloseHandle(Output);
    CloseHandle(Made);
    CloseHandle(Release);
    EXPECT_EQ(Code, 3u);
    EXPECT_NE(std::string(Said, Length).find("did not answer ping within 10 s"), std::string::npos)
        << "it said: " << std::string(Said, Length);
}

}  // namespace
