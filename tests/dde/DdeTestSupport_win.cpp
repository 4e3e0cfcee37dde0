#include "DdeTestSupport_win.h"

#include <algorithm>
#include <stdexcept>

#include "Simulation.h"
#include "framework/Application_win.h"

namespace {
TCallLog* GLog = nullptr;  // the log of the installed wrappers; not owned

std::string NameOf(DWORD Instance, HSZ Handle) {
    char Name[4096] = "";
    DdeQueryStringA(Instance, Handle, Name, sizeof Name, CP_WINANSI);
    return Name;
}

HCONV WINAPI LoggedConnect(DWORD Instance, HSZ Service, HSZ Topic, PCONVCONTEXT Context) {
    ++GLog->Connects;
    GLog->Services.push_back(NameOf(Instance, Service));
    GLog->Topics.push_back(NameOf(Instance, Topic));
    return ::DdeConnect(Instance, Service, Topic, Context);
}

UINT WINAPI LoggedWinExec(LPCSTR Command, UINT Show) {
    GLog->Commands.push_back(Command);
    GLog->ShowModes.push_back(Show);
    return GLog->WinExecResult ? GLog->WinExecResult : ::WinExec(Command, Show);
}

HDDEDATA WINAPI LoggedTransaction(LPBYTE Data, DWORD Size, HCONV Conv, HSZ Item, UINT Format, UINT Type, DWORD Timeout,
                                  LPDWORD Result) {
    const bool Refused = Type == XTYP_REQUEST && GLog->RefuseRequests > 0 && GLog->RefuseRequests--;
    HDDEDATA Answer = Refused ? nullptr : ::DdeClientTransaction(Data, Size, Conv, Item, Format, Type, Timeout, Result);
    if (!Answer)
        GLog->FailedTransactions.push_back(Type);
    return Answer;
}
}  // namespace

unsigned AtomReferences(const char* Name) {
    struct TBasicInformation {  // ntdll's ATOM_BASIC_INFORMATION
        USHORT References, Pinned, NameLength;
        WCHAR Name[256];
    };
    using TQuery = LONG(WINAPI*)(ATOM, int, TBasicInformation*, ULONG, ULONG*);
    static const auto Query = reinterpret_cast<TQuery>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationAtom")));
    TBasicInformation Info{};
    const ATOM Atom = GlobalFindAtomA(Name);
    return Atom && Query(Atom, 0 /* AtomBasicInformation */, &Info, sizeof Info, nullptr) == 0 ? Info.References : 0;
}

std::string SimulatorPath() {
    std::string Path = "Z:" ZENITRAK_EXE;
    std::replace(Path.begin(), Path.end(), '/', '\\');
    return Path;
}

std::string SimulatorDirectory() {
    const std::string Path = SimulatorPath();
    return Path.substr(0, Path.rfind('\\'));
}

TSimulatorProcess::TSimulatorProcess(const std::string& Arguments) {
    std::string CommandLine = "\"" + SimulatorPath() + "\" " + Arguments;
    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    if (!CreateProcessA(nullptr, CommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Startup, &FProcess))
        throw std::runtime_error("cannot start the simulator: " + CommandLine);
    // Its service is registered before it first waits for input.
    WaitForInputIdle(FProcess.hProcess, 30000);
}

TSimulatorProcess::~TSimulatorProcess() {
    Quit();
    CloseHandle(FProcess.hThread);
    CloseHandle(FProcess.hProcess);
}

bool TSimulatorProcess::Send(const std::string& Command) const {
    HWND Window = FindWindowA(kSimWindowClass, nullptr);
    if (!Window)
        return false;
    COPYDATASTRUCT Data{kSimCopyDataId, static_cast<DWORD>(Command.size()), const_cast<char*>(Command.data())};
    DWORD_PTR Understood = FALSE;
    SendMessageTimeoutA(Window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&Data), SMTO_NORMAL, 15000, &Understood);
    return Understood != FALSE;
}

void TSimulatorProcess::Quit() {
    if (WaitForSingleObject(FProcess.hProcess, 0) == WAIT_OBJECT_0)
        return;
    Send("quit");
    // Handles our side of its terminates while it ends.
    PumpUntilSignalled(FProcess.hProcess);
    if (WaitForSingleObject(FProcess.hProcess, 0) != WAIT_OBJECT_0)
        TerminateProcess(FProcess.hProcess, 1);
}

void TSimulatorProcess::QuitUnheard() {
    Send("quit");
    WaitForSingleObject(FProcess.hProcess, 15000);
}

void TSimulatorProcess::Kill() {
    TerminateProcess(FProcess.hProcess, 1);
    WaitForSingleObject(FProcess.hProcess, 10000);
}

TLoggedCalls::TLoggedCalls() : FSaved(DdeCalls) {
    GLog = &Log;
    DdeCalls.Connect = LoggedConnect;
    DdeCalls.WinExec = LoggedWinExec;
    DdeCalls.ClientTransaction = LoggedTransaction;
}

TLoggedCalls::~TLoggedCalls() {
    DdeCalls = FSaved;
    GLog = nullptr;
}
