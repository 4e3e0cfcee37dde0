// The tracking-program simulator: a DDE server that publishes tracking lines
// on service "Zenitrak", topic "Tracking", item "TrackingData", and can be
// told to misbehave the ways a real tracking program might.
#include <dde.h>
#include <ddeml.h>
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "Simulation.h"
#include "dde/TrackingProgram.h"

namespace {

constexpr UINT_PTR kStepTimer = 1, kQuitTimer = 2;
constexpr int kPassSteps = 120;

long long Microseconds();

class TSimulator {
public:
    TSimulator(const TSimOptions& Options, int ShowMode);
    ~TSimulator();
    int Run();

private:
    static HDDEDATA CALLBACK DdeCallback(UINT Type, UINT Format, HCONV Conv, HSZ Hsz1, HSZ Hsz2, HDDEDATA Data,
                                         ULONG_PTR Data1, ULONG_PTR Data2) noexcept;
    static LRESULT CALLBACK WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) noexcept;
    HDDEDATA Answer(UINT Type, UINT Format, HCONV Conv, HSZ Hsz1, HSZ Hsz2);
    void PostMisnamedNotices() const;
    void AnswerMisnamed(const MSG& Request) const;
    HDDEDATA ValueData(const std::string& Value) const;
    bool Serves(HSZ Topic, HSZ Item, UINT Format) const;
    void CreateMainWindow(int ShowMode);
    void Apply(const TSimCommand& Command);
    void Publish(std::string Line);
    void Trace(const char* Word, const std::string& Text = "") const;
    void Step();
    std::string Stamp() const;

    static TSimulator* Instance;  // the one simulator of the process; not owned
    DWORD FInst = 0;
    HSZ FService = nullptr, FTopic = nullptr, FItem = nullptr;
    HWND FWindow = nullptr, FLabel = nullptr;
    std::vector<TScriptStep> FSteps;
    size_t FNextStep = 0;
    bool FOnce;
    bool FTrace;
    std::string FValue;
    bool FRefuse = false, FStamp = false, FPaused = false;
    int FSlowMs = 0;
    int FRefuseNextMs = -1;                                // the next request is refused this late; -1: none
    bool FIgnoreNext = false;                              // the next request is never answered
    bool FMisnameNotices = false, FMisnameAnswer = false;  // the next ones carry FMisnamed
    ATOM FMisnamed = 0;                                    // held while the simulator runs
    std::vector<HCONV> FConversations;
};

TSimulator* TSimulator::Instance = nullptr;

TSimulator::TSimulator(const TSimOptions& Options, int ShowMode) : FOnce(Options.Once), FTrace(Options.Trace) {
    Instance = this;
    if (!Options.Line.empty()) {
        FSteps.push_back({false, Options.Line, {}});
        FOnce = true;
    } else if (!Options.Script.empty()) {
        std::ifstream File(Options.Script, std::ios::binary);
        if (!File)
            throw std::invalid_argument("cannot read the script " + Options.Script);
        std::stringstream Text;
        Text << File.rdbuf();
        FSteps = ParseScript(Text.str());
    } else if (!Options.Passes.empty()) {
        for (const std::string& Name : Options.Passes)
            for (std::string& Line :
                 NamedPass(Name, Options.IntervalMs / 1000.0 * Options.Scale, Options.BeforeSeconds))
                FSteps.push_back({false, std::move(Line), {}});
    } else {
        for (std::string& Line : BuiltInPass(kPassSteps))
            FSteps.push_back({false, std::move(Line), {}});
    }
    if (DdeInitializeA(&FInst, DdeCallback, APPCLASS_STANDARD | CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS, 0) !=
        DMLERR_NO_ERROR)
        throw std::runtime_error("DDE could not be initialised");
    FService = DdeCreateStringHandleA(FInst, kTrackingService, CP_WINANSI);
    FTopic = DdeCreateStringHandleA(FInst, kTrackingTopic, CP_WINANSI);
    FItem = DdeCreateStringHandleA(FInst, kTrackingItem, CP_WINANSI);
    FMisnamed = GlobalAddAtomA(kSimMisnamedItem);
    CreateMainWindow(ShowMode);
    SetTimer(FWindow, kStepTimer, Options.IntervalMs, nullptr);  // before any step: a script may change it
    bool EmptyFirst = false;
    for (const TSimCommand& Command : Options.Initial) {
        Apply(Command);
        EmptyFirst = EmptyFirst || Command.Kind == TSimCommand::scEmpty;
    }
    if (!EmptyFirst)
        Step();
    if (Options.QuitAfterMs > 0)
        SetTimer(FWindow, kQuitTimer, Options.QuitAfterMs, nullptr);
    // Registered last: a client that finds the service finds it ready.
    DdeNameService(FInst, FService, nullptr, DNS_REGISTER);
}

TSimulator::~TSimulator() {
    // Uninitialising ends every conversation: the clients get their terminate.
    DdeNameService(FInst, FService, nullptr, DNS_UNREGISTER);
    for (HSZ Handle : {FService, FTopic, FItem})
        DdeFreeStringHandle(FInst, Handle);
    DdeUninitialize(FInst);
    GlobalDeleteAtom(FMisnamed);
    if (FWindow)
        DestroyWindow(FWindow);
    Instance = nullptr;
}

int TSimulator::Run() {
    MSG Msg;
    while (GetMessageA(&Msg, nullptr, 0, 0) > 0) {
        if (Msg.message == WM_DDE_REQUEST && FIgnoreNext) {
            // Taken from the queue before the DDE library sees it, as a
            // server that lost it: what the request owed its receiver.
            FIgnoreNext = false;
            GlobalDeleteAtom(HIWORD(Msg.lParam));
            Trace("ignored");
            continue;
        }
        if (Msg.message == WM_DDE_REQUEST && FMisnameAnswer) {
            FMisnameAnswer = false;
            AnswerMisnamed(Msg);
            continue;
        }
        TranslateMessage(&Msg);
        DispatchMessageA(&Msg);
    }
    return 0;
}

// Handles only messages sent from other threads or processes (commands) while
// a late answer is held back; posted DDE traffic waits for the main loop.
void WaitHandlingSentMessages(DWORD Milliseconds) {
    const ULONGLONG Deadline = GetTickCount64() + Milliseconds;
    for (ULONGLONG Now = GetTickCount64(); Now < Deadline; Now = GetTickCount64()) {
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(Deadline - Now), QS_SENDMESSAGE, 0);
        MSG Msg;
        PeekMessageA(&Msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

HDDEDATA CALLBACK TSimulator::DdeCallback(UINT Type, UINT Format, HCONV Conv, HSZ Hsz1, HSZ Hsz2, HDDEDATA, ULONG_PTR,
                                          ULONG_PTR) noexcept {
    return Instance ? Instance->Answer(Type, Format, Conv, Hsz1, Hsz2) : nullptr;
}

bool TSimulator::Serves(HSZ Topic, HSZ Item, UINT Format) const {
    return DdeCmpStringHandles(Topic, FTopic) == 0 && DdeCmpStringHandles(Item, FItem) == 0 && Format == CF_TEXT;
}

HDDEDATA TSimulator::Answer(UINT Type, UINT Format, HCONV Conv, HSZ Hsz1, HSZ Hsz2) {
    switch (Type) {
        case XTYP_CONNECT:
            return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DdeCmpStringHandles(Hsz1, FTopic) == 0));
        case XTYP_WILDCONNECT: {
            if ((Hsz1 && DdeCmpStringHandles(Hsz1, FTopic) != 0) || (Hsz2 && DdeCmpStringHandles(Hsz2, FService) != 0))
                return nullptr;
            HSZPAIR Pairs[2] = {{FService, FTopic}, {nullptr, nullptr}};
            return DdeCreateDataHandle(FInst, reinterpret_cast<BYTE*>(Pairs), sizeof Pairs, 0, nullptr, CF_TEXT, 0);
        }
        case XTYP_CONNECT_CONFIRM:
            FConversations.push_back(Conv);
            return nullptr;
        case XTYP_DISCONNECT:
            std::erase(FConversations, Conv);
            return nullptr;
        case XTYP_ADVSTART:
            return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(!FRefuse && Serves(Hsz1, Hsz2, Format)));
        case XTYP_ADVREQ:
            return Serves(Hsz1, Hsz2, Format) ? ValueData(FValue) : nullptr;
        case XTYP_REQUEST: {
            if (!Serves(Hsz1, Hsz2, Format))
                return nullptr;
            if (FRefuseNextMs >= 0) {
                WaitHandlingSentMessages(static_cast<DWORD>(std::exchange(FRefuseNextMs, -1)));
                Trace("refused");
                return nullptr;
            }
            const std::string Value = FValue;  // the answer is the line as it was when asked
            if (FSlowMs > 0)
                WaitHandlingSentMessages(FSlowMs);
            return ValueData(Value);
        }
        default:
            return nullptr;
    }
}

HDDEDATA TSimulator::ValueData(const std::string& Value) const {
    // Zero-terminated; an empty value is the terminating zero alone.
    return DdeCreateDataHandle(FInst, reinterpret_cast<BYTE*>(const_cast<char*>(Value.c_str())),
                               static_cast<DWORD>(Value.size() + 1), 0, FItem, CF_TEXT, 0);
}

void TSimulator::CreateMainWindow(int ShowMode) {
    WNDCLASSA Class{};
    Class.lpfnWndProc = WindowProc;
    Class.hInstance = GetModuleHandleA(nullptr);
    Class.hCursor = LoadCursor(nullptr, IDC_ARROW);
    Class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    Class.lpszClassName = kSimWindowClass;
    RegisterClassA(&Class);
    FWindow = CreateWindowA(kSimWindowClass, "Zenitrak (simulator)", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                            520, 90, nullptr, nullptr, Class.hInstance, nullptr);
    FLabel = CreateWindowA("STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP, 8, 8, 500, 20, FWindow, nullptr,
                           Class.hInstance, nullptr);
    ShowWindow(FWindow, ShowMode);
}

LRESULT CALLBACK TSimulator::WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) noexcept {
    switch (Message) {
        case WM_TIMER:
            if (WParam == kQuitTimer)
                PostQuitMessage(0);
            else if (Instance && !Instance->FPaused)
                Instance->Step();
            return 0;
        case WM_COPYDATA: {
            const auto* Data = reinterpret_cast<const COPYDATASTRUCT*>(LParam);
            if (!Instance || Data->dwData != kSimCopyDataId)
                return FALSE;
            std::optional<TSimCommand> Command =
                ParseSimCommand(std::string_view(static_cast<const char*>(Data->lpData), Data->cbData));
            if (!Command)
                return FALSE;
            Instance->Apply(*Command);
            return TRUE;
        }
        case WM_CLOSE:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(Window, Message, WParam, LParam);
    }
}

void TSimulator::Apply(const TSimCommand& Command) {
    switch (Command.Kind) {
        case TSimCommand::scLine:
            Publish(Command.Text);
            break;
        case TSimCommand::scEmpty:
            FValue.clear();
            SetWindowTextA(FLabel, "(empty value)");
            DdePostAdvise(FInst, FTopic, FItem);
            break;
        case TSimCommand::scRefuse:
            FRefuse = Command.Value != 0;
            break;
        case TSimCommand::scSlow:
            FSlowMs = Command.Value;
            break;
        case TSimCommand::scRefuseNext:
            FRefuseNextMs = Command.Value;
            break;
        case TSimCommand::scIgnoreNext:
            FIgnoreNext = true;
            break;
        case TSimCommand::scMisnameNext:
            FMisnameNotices = FMisnameAnswer = true;
            break;
        case TSimCommand::scStamp:
            FStamp = Command.Value != 0;
            break;
        case TSimCommand::scPause:
            FPaused = Command.Value != 0;
            Trace(FPaused ? "paused" : "resumed");
            break;
        case TSimCommand::scInterval:
            SetTimer(FWindow, kStepTimer, Command.Value, nullptr);  // replaces the running one
            break;
        case TSimCommand::scPing:
            break;  // answered: the service is registered before the first message is handled
        case TSimCommand::scQuit:
            PostQuitMessage(0);
            break;
    }
}

void TSimulator::Publish(std::string Line) {
    if (FStamp)
        Line += Stamp();
    FValue = std::move(Line);
    SetWindowTextA(FLabel, FValue.c_str());
    Trace("line", FValue);
    if (std::exchange(FMisnameNotices, false))
        PostMisnamedNotices();
    else
        DdePostAdvise(FInst, FTopic, FItem);
}

// A warm notice to every client, as the DDE library posts it, but under the
// misnamed atom.
void TSimulator::PostMisnamedNotices() const {
    for (HCONV Conv : FConversations) {
        CONVINFO Info{};
        Info.cb = sizeof Info;
        if (DdeQueryConvInfo(Conv, QID_SYNC, &Info))
            PostMessageA(Info.hwndPartner, WM_DDE_DATA, reinterpret_cast<WPARAM>(Info.hwnd),
                         PackDDElParam(WM_DDE_DATA, 0, FMisnamed));
    }
}

// Answers past the DDE library, with data that the client keeps as Wine's
// server hands it (not released), under the misnamed atom; the request's own
// atom is the receiver's to free.
void TSimulator::AnswerMisnamed(const MSG& Request) const {
    GlobalDeleteAtom(HIWORD(Request.lParam));
    const size_t Header = offsetof(DDEDATA, Value);
    const HGLOBAL Memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, Header + FValue.size() + 1);
    auto* Data = static_cast<DDEDATA*>(GlobalLock(Memory));
    *Data = DDEDATA{};
    Data->fResponse = 1;
    Data->cfFormat = CF_TEXT;
    std::memcpy(reinterpret_cast<char*>(Data) + Header, FValue.c_str(), FValue.size() + 1);
    GlobalUnlock(Memory);
    PostMessageA(reinterpret_cast<HWND>(Request.wParam), WM_DDE_DATA, reinterpret_cast<WPARAM>(Request.hwnd),
                 PackDDElParam(WM_DDE_DATA, reinterpret_cast<UINT_PTR>(Memory), FMisnamed));
}

// With --trace, one line a happening, "WORD US [TEXT]", at once for a reader.
void TSimulator::Trace(const char* Word, const std::string& Text) const {
    if (!FTrace)
        return;
    std::printf("%s %lld%s%s\n", Word, Microseconds(), Text.empty() ? "" : " ", Text.c_str());
    std::fflush(stdout);
}

// The performance counter runs on one clock for every process of the
// machine, so a client can tell how long the line took to reach it.
long long Microseconds() {
    LARGE_INTEGER Counter, Frequency;
    QueryPerformanceCounter(&Counter);
    QueryPerformanceFrequency(&Frequency);
    return static_cast<long long>(static_cast<long double>(Counter.QuadPart) * 1e6L / Frequency.QuadPart);
}

std::string TSimulator::Stamp() const {
    return " TS" + std::to_string(Microseconds());
}

void TSimulator::Step() {
    if (FNextStep >= FSteps.size()) {
        if (FOnce || FSteps.empty())
            return;
        FNextStep = 0;
    }
    const TScriptStep& Next = FSteps[FNextStep++];
    if (Next.IsCommand)
        Apply(Next.Command);
    else
        Publish(Next.Line);
}

// --help and errors: to the console the simulator was started from, else in
// a message box.
void Tell(const std::string& Text, bool Error) {
    AttachConsole(ATTACH_PARENT_PROCESS);
    HANDLE Out = GetStdHandle(Error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD Written = 0;
    if (Out && Out != INVALID_HANDLE_VALUE &&
        WriteFile(Out, Text.data(), static_cast<DWORD>(Text.size()), &Written, nullptr))
        return;
    MessageBoxA(nullptr, Text.c_str(), "Zenitrak", Error ? MB_ICONSTOP : MB_ICONINFORMATION);
}

// Exit code 0: taken; 1: not understood; 2: no simulator running; 3: no
// answer in time.
int SendToRunning(const std::string& Command) {
    constexpr DWORD kAnswerMs = 10000;
    HWND Window = FindWindowA(kSimWindowClass, nullptr);
    if (!Window) {
        Tell("No Zenitrak simulator is running.\n", true);
        return 2;
    }
    COPYDATASTRUCT Data{kSimCopyDataId, static_cast<DWORD>(Command.size()), const_cast<char*>(Command.data())};
    DWORD_PTR Result = FALSE;
    if (!SendMessageTimeoutA(Window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&Data), SMTO_NORMAL, kAnswerMs,
                             &Result)) {
        const DWORD Error = GetLastError();
        Tell("The simulator did not answer " + Command + " within " + std::to_string(kAnswerMs / 1000) +
                 " s (system error " + std::to_string(Error) + ").\n",
             true);
        return 3;
    }
    if (Result)
        return 0;
    Tell("Not understood: " + Command + "\n", true);
    return 1;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int ShowMode) {
    try {
        TSimOptions Options = ParseSimOptions(std::vector<std::string>(__argv + 1, __argv + __argc));
        if (Options.Help) {
            Tell(kSimUsage, false);
            return 0;
        }
        if (!Options.Send.empty())
            return SendToRunning(Options.Send);
        TSimulator Simulator(Options, ShowMode);
        return Simulator.Run();
    } catch (const std::exception& Error) {
        Tell(std::string("Zenitrak: ") + Error.what() + "\n(see Zenitrak --help)\n", true);
        return 1;
    }
}
