#include "dde/DdeMgr_win.h"

#include <algorithm>
#include <cstring>

#include "dde/DdeCalls_win.h"
#include "dde/DdeClientConv_win.h"
#include "dde/DdeNames.h"
#include "framework/Application_win.h"
#include "framework/OpenForms.h"

namespace {
TDdeMgr* GManager = nullptr;  // the one manager while it exists; not owned

constexpr char kWindowClass[] = "GyrotalkDdeManager";
// The manager window's own message: look for conversations that a server
// has ended.
constexpr UINT kCheckConversations = WM_APP;

// Connected, and the server's window still there: a server that is killed
// ends nothing, it is simply gone.
bool StillConnected(HCONV Conv) {
    CONVINFO Info{};
    Info.cb = sizeof Info;
    return DdeQueryConvInfo(Conv, QID_SYNC, &Info) && (Info.wStatus & ST_CONNECTED) && IsWindow(Info.hwndPartner);
}

HDDEDATA Result(bool Value) {
    return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(Value));
}
}  // namespace

TDdeMgr::TDdeMgr(TComponent* AOwner) : TComponent(AOwner) {
    FLinkFormat = RegisterClipboardFormatA("Link");
    Initialize();
    RegisterAppName();

    WNDCLASSA Class{};
    Class.lpfnWndProc = WindowProc;
    Class.hInstance = GetModuleHandleA(nullptr);
    Class.lpszClassName = kWindowClass;
    RegisterClassA(&Class);  // fails harmlessly when a former manager registered it
    FWindow.Reset(CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, Class.hInstance, nullptr));
    FHook.Reset(SetWindowsHookExA(WH_GETMESSAGE, MessageHook, nullptr, GetCurrentThreadId()));
    GManager = this;
}

TDdeMgr::~TDdeMgr() {
    Destroying();
    GManager = nullptr;
    FIncomingConversations.clear();
    Uninitialize();
}

void TDdeMgr::Initialize() {
    DWORD Id = 0;
    const UINT Error = DdeInitializeA(&Id, DdeCallback, 0, 0);
    if (Error != DMLERR_NO_ERROR)
        RaiseDdeError(Error);
    FInstanceId = Id;
    ++FGeneration;
}

void TDdeMgr::Uninitialize() {
    UnregisterAppName();
    DdeUninitialize(FInstanceId);
    FInstanceId = 0;
}

void TDdeMgr::CheckDde(bool Success) {
    if (!Success)
        RaiseDdeError(DdeGetLastError(FInstanceId));
}

void TDdeMgr::RaiseDdeError(UINT Code) {
    throw EDdeError(DdeErrorMessage(Code));
}

void TDdeMgr::RegisterAppName() {
    UnregisterAppName();
    char Path[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, Path, MAX_PATH);
    FAppName = AppNameFromPath(Path);
    FAppNameHandle = TDdeString(FInstanceId, FAppName);
    DdeNameService(FInstanceId, FAppNameHandle.Get(), nullptr, DNS_REGISTER);
}

void TDdeMgr::UnregisterAppName() {
    if (!FAppNameHandle)
        return;
    DdeNameService(FInstanceId, FAppNameHandle.Get(), nullptr, DNS_UNREGISTER);
    FAppNameHandle.Reset();
}

void TDdeMgr::ConversationOpened(TDdeClientConv* Conversation) {
    FClientConversations.push_back(Conversation);
}

void TDdeMgr::ConversationClosed(TDdeClientConv* Conversation) {
    std::erase(FClientConversations, Conversation);
    std::erase(FLateAnswers, Conversation->ConvWindow());  // the window goes with the conversation
}

void TDdeMgr::PrepareConnect() {
    if (!FHoldsEndedConversations || !FClientConversations.empty() || !FIncomingConversations.empty())
        return;
    Uninitialize();
    Initialize();
    RegisterAppName();
    FHoldsEndedConversations = false;
}

HDDEDATA CALLBACK TDdeMgr::DdeCallback(UINT Type, UINT, HCONV Conv, HSZ Hsz1, HSZ Hsz2, HDDEDATA Data, ULONG_PTR Data1,
                                       ULONG_PTR) noexcept {
    try {
        if (GManager)
            return GManager->Callback(Type, Conv, Hsz1, Hsz2, Data, Data1);
    } catch (...) {
        Application().HandleException(std::current_exception());
    }
    return nullptr;
}

HDDEDATA TDdeMgr::Callback(UINT Type, HCONV Conv, HSZ Hsz1, HSZ Hsz2, HDDEDATA Data, ULONG_PTR Data1) {
    // Connects: Hsz1 is the topic, Hsz2 the service.
    switch (Type) {
        case XTYP_CONNECT:
            return Result(AcceptsConnect(Hsz2, Hsz1));
        case XTYP_WILDCONNECT:
            return AnswerWildConnect(Hsz2, Hsz1);
        case XTYP_CONNECT_CONFIRM:
            ConfirmIncomingConnect(Conv, Hsz1);
            return nullptr;
    }
    if (!Conv)
        return nullptr;
    CONVINFO Info{};
    Info.cb = sizeof Info;
    if (!DdeQueryConvInfo(Conv, Type == XTYP_XACT_COMPLETE ? static_cast<DWORD>(Data1) : QID_SYNC, &Info))
        return nullptr;
    const DWORD_PTR Target = Info.hUser;
    switch (Type) {
        case XTYP_ADVDATA:
            if (!IsClient(Target))
                return nullptr;
            reinterpret_cast<TDdeClientConv*>(Target)->DispatchItemData(Data, Hsz2);
            return reinterpret_cast<HDDEDATA>(DDE_FACK);
        case XTYP_DISCONNECT:
            if (IsClient(Target))
                ServerEnded(reinterpret_cast<TDdeClientConv*>(Target));
            else if (TIncomingConversation* Record = FindIncoming(Target))
                DropIncomingConversation(Record);
            return nullptr;
        default:
            // Every transaction of an incoming conversation is refused; notices
            // of the library need no answer.
            return nullptr;
    }
}

bool TDdeMgr::IsClient(DWORD_PTR Target) const {
    return Target && std::ranges::find(FClientConversations, reinterpret_cast<TDdeClientConv*>(Target)) !=
                         FClientConversations.end();
}

TDdeMgr::TIncomingConversation* TDdeMgr::FindIncoming(DWORD_PTR Target) const {
    for (const auto& Record : FIncomingConversations)
        if (reinterpret_cast<DWORD_PTR>(Record.get()) == Target)
            return Record.get();
    return nullptr;
}

std::string TDdeMgr::QueryString(HSZ Handle) const {
    char Buffer[4096] = {};
    DdeQueryStringA(FInstanceId, Handle, Buffer, sizeof Buffer, CP_WINANSI);
    return std::string(Buffer, strnlen(Buffer, sizeof Buffer));
}

bool TDdeMgr::AcceptsConnect(HSZ Service, HSZ Topic) const {
    if (Service && DdeCmpStringHandles(Service, FAppNameHandle.Get()) != 0)
        return false;
    const std::string Name = QueryString(Topic);
    return std::ranges::any_of(TOpenForm::OpenForms(), [&](const TOpenForm* Form) {
        return lstrcmpiA(Form->Caption().c_str(), Name.c_str()) == 0;
    });
}

HDDEDATA TDdeMgr::AnswerWildConnect(HSZ Service, HSZ Topic) const {
    if (!Topic || !AcceptsConnect(Service, Topic))
        return nullptr;
    HSZPAIR Pairs[2] = {{FAppNameHandle.Get(), Topic}, {nullptr, nullptr}};
    return DdeCreateDataHandle(FInstanceId, reinterpret_cast<BYTE*>(Pairs), sizeof Pairs, 0, nullptr, CF_TEXT, 0);
}

void TDdeMgr::ConfirmIncomingConnect(HCONV Conv, HSZ Topic) {
    auto Record = std::make_unique<TIncomingConversation>(TIncomingConversation{QueryString(Topic), Conv});
    DdeSetUserHandle(Conv, QID_SYNC, reinterpret_cast<DWORD_PTR>(Record.get()));
    FIncomingConversations.push_back(std::move(Record));
}

void TDdeMgr::DropIncomingConversation(TIncomingConversation* Record) {
    DdeSetUserHandle(Record->Conv, QID_SYNC, 0);
    std::erase_if(FIncomingConversations, [&](const auto& Each) { return Each.get() == Record; });
}

void TDdeMgr::ServerEnded(TDdeClientConv* Conversation) {
    FHoldsEndedConversations = true;
    DdeSetUserHandle(Conversation->Conv(), QID_SYNC, 0);
    Conversation->Disconnected();
}

void TDdeMgr::CheckConversations() {
    for (TDdeClientConv* Conversation : std::vector<TDdeClientConv*>(FClientConversations))
        CheckConversation(Conversation);
}

void TDdeMgr::CheckConversation(TDdeClientConv* Conversation) {
    if (IsClient(reinterpret_cast<DWORD_PTR>(Conversation)) && !StillConnected(Conversation->Conv()))
        ServerEnded(Conversation);
}

HDDEDATA TDdeMgr::ClientTransaction(HCONV Conv, HWND ConvWindow, HSZ Item, UINT Format, UINT Type, DWORD Timeout) {
    DropStaleAcks(ConvWindow);
    FRequestWindow = Type == XTYP_REQUEST ? ConvWindow : nullptr;
    DWORD Result = 0;
    const HDDEDATA Answer = DdeCalls.ClientTransaction(nullptr, 0, Conv, Item, Format, Type, Timeout, &Result);
    FRequestWindow = nullptr;
    if (!Answer && Type == XTYP_REQUEST && ConvWindow && DdeGetLastError(FInstanceId) == DMLERR_DATAACKTIMEOUT)
        FLateAnswers.push_back(ConvWindow);
    return Answer;
}

void TDdeMgr::DropStaleAcks(HWND ConvWindow) {
    // Transactions here are synchronous: an acknowledgement queued before
    // one starts answers nothing. The library's window discards it.
    MSG Msg;
    while (ConvWindow && PeekMessageA(&Msg, ConvWindow, WM_DDE_ACK, WM_DDE_ACK, PM_REMOVE))
        DispatchMessageA(&Msg);
}

void TDdeMgr::DivertStrayAck(MSG& Msg) const {
    // A request is answered by data or refused by a negative acknowledgement;
    // a positive one is the leftover of an earlier request that arrived after
    // DropStaleAcks looked. Sent to the manager's window, it answers nothing.
    UINT_PTR Status = 0, Atom = 0;
    if (Msg.message == WM_DDE_ACK && Msg.hwnd && Msg.hwnd == FRequestWindow &&
        UnpackDDElParam(WM_DDE_ACK, Msg.lParam, &Status, &Atom) && (Status & DDE_FACK))
        Msg.hwnd = FWindow.Get();
}

void TDdeMgr::DivertLateAnswer(MSG& Msg) {
    // The first answer with data that reaches a conversation owed one is the
    // late one, whether a request waits or not (a warm loop's notices carry
    // no data). Sent to the manager's window, it answers nothing.
    UINT_PTR Data = 0, Atom = 0;
    if (Msg.message != WM_DDE_DATA || !Msg.hwnd)
        return;
    const auto Owed = std::ranges::find(FLateAnswers, Msg.hwnd);
    if (Owed == FLateAnswers.end() || !UnpackDDElParam(WM_DDE_DATA, Msg.lParam, &Data, &Atom) || !Data)
        return;
    FLateAnswers.erase(Owed);
    Msg.hwnd = FWindow.Get();
}

void TDdeMgr::DiscardData(LPARAM LParam) {
    // What the receiver of an answer owes: the data when the server handed it
    // over, the item's atom, the packed parameter.
    UINT_PTR Data = 0, Atom = 0;
    if (!UnpackDDElParam(WM_DDE_DATA, LParam, &Data, &Atom))
        return;
    const auto Memory = reinterpret_cast<HGLOBAL>(Data);
    const auto* Header = static_cast<const DDEDATA*>(GlobalLock(Memory));
    const bool Release = Header && Header->fRelease;
    if (Header)
        GlobalUnlock(Memory);
    if (Release)
        GlobalFree(Memory);
    GlobalDeleteAtom(static_cast<ATOM>(Atom));
    FreeDDElParam(WM_DDE_DATA, LParam);
}

LRESULT CALLBACK TDdeMgr::MessageHook(int Code, WPARAM WParam, LPARAM LParam) noexcept {
    auto* Msg = reinterpret_cast<MSG*>(LParam);
    if (Code == HC_ACTION && WParam == PM_REMOVE && GManager) {
        GManager->DivertStrayAck(*Msg);
        GManager->DivertLateAnswer(*Msg);
        // The check is posted so that it runs after the library has handled
        // the terminate.
        if (Msg->message == WM_DDE_TERMINATE)
            PostMessageA(GManager->FWindow.Get(), kCheckConversations, 0, 0);
    }
    return CallNextHookEx(nullptr, Code, WParam, LParam);
}

LRESULT CALLBACK TDdeMgr::WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) noexcept {
    if (Message == WM_DDE_DATA) {
        DiscardData(LParam);
        return 0;
    }
    if (Message != kCheckConversations)
        return DefWindowProcA(Window, Message, WParam, LParam);
    try {
        if (GManager)
            GManager->CheckConversations();
    } catch (...) {
        Application().HandleException(std::current_exception());
    }
    return 0;
}

TDdeMgr& DdeManager() {
    static TDdeMgr* Manager = new TDdeMgr(&Application());  // owned by the application
    return *Manager;
}
