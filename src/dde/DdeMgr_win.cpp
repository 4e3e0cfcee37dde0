#include "dde/DdeMgr_win.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "dde/DdeCalls_win.h"
#include "dde/DdeNames.h"
#include "framework/Application_win.h"
#include "framework/Exceptions.h"
#include "framework/OpenForms.h"
#include "framework/Platform_win.h"
#include "framework/WindowIds.h"

namespace {
TDdeMgr* GManager = nullptr;  // the one manager while it exists; not owned

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

// Names an item of this program's own that no server offers.
constexpr char kMarkerPrefix[] = "Gyrotalk resync ";

bool TimedOut(UINT Error) {
    return Error == DMLERR_ADVACKTIMEOUT || Error == DMLERR_DATAACKTIMEOUT || Error == DMLERR_UNADVACKTIMEOUT;
}

// The flags of an answer's data (all clear when there is none).
DDEDATA DataHeader(UINT_PTR Data) {
    DDEDATA Header{};
    const auto Memory = reinterpret_cast<HGLOBAL>(Data);
    if (const auto* Locked = Memory ? static_cast<const DDEDATA*>(GlobalLock(Memory)) : nullptr) {
        Header.fResponse = Locked->fResponse;
        Header.fRelease = Locked->fRelease;
        GlobalUnlock(Memory);
    }
    return Header;
}

std::string AtomName(ATOM Atom) {
    char Name[256] = {};
    return std::string(Name, GlobalGetAtomNameA(Atom, Name, sizeof Name));
}

bool SameName(const std::string& A, const std::string& B) {
    return !A.empty() && lstrcmpiA(A.c_str(), B.c_str()) == 0;  // atoms ignore letter case
}

// A number whose name has gone was freed by another: it may stand for
// another string now, which is not ours to free.
void DeleteIfNamed(ATOM Atom, const std::string& Name) {
    if (SameName(AtomName(Atom), Name))
        GlobalDeleteAtom(Atom);
}

}  // namespace

TDdeMgr::TDdeMgr(TComponent* AOwner)
    : TComponent(AOwner),
      FWindow([this](HWND Window, UINT Message, WPARAM W, LPARAM L) { return HandleMessage(Window, Message, W, L); }) {
    FHook.Reset(SetWindowsHookExA(WH_GETMESSAGE, MessageHook, nullptr, GetCurrentThreadId()));
    if (!FHook)
        throw Exception("Cannot watch the DDE messages (error " + std::to_string(GetLastError()) + ")");
    FLinkFormat = RegisterClipboardFormatA("Link");
    Initialize();
    RegisterAppName();
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
    FInstance.Reset(Id);
    ++FGeneration;
}

void TDdeMgr::Uninitialize() {
    UnregisterAppName();
    FInstance.Reset();
}

void TDdeMgr::CheckDde(bool Success) {
    if (!Success)
        RaiseDdeError(DdeGetLastError(FInstance.Get()));
}

void TDdeMgr::RaiseDdeError(UINT Code) {
    throw EDdeError(DdeErrorMessage(Code));
}

void TDdeMgr::RegisterAppName() {
    UnregisterAppName();
    char Path[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, Path, MAX_PATH);
    FAppName = AppNameFromPath(Path);
    FAppNameHandle = TDdeString(FInstance.Get(), FAppName);
    DdeNameService(FInstance.Get(), FAppNameHandle.Get(), nullptr, DNS_REGISTER);
}

void TDdeMgr::UnregisterAppName() {
    if (!FAppNameHandle)
        return;
    DdeNameService(FInstance.Get(), FAppNameHandle.Get(), nullptr, DNS_UNREGISTER);
    FAppNameHandle.Reset();
}

void TDdeMgr::ConversationOpened(TDdeManagedConv* Conversation) {
    DdeSetUserHandle(Conversation->Conv(), QID_SYNC, reinterpret_cast<DWORD_PTR>(Conversation));
    FClientConversations.push_back(Conversation);
    // A killed server ends nothing: only a look finds it gone.
    SetTimer(FWindow.Handle(), kServerWatchTimerId, kServerWatchInterval, nullptr);
}

void TDdeMgr::ConversationClosed(TDdeManagedConv* Conversation) {
    // Ended here after its server had gone, before its goodbye was read:
    // stopping an advise loop then fails, the library no longer counts the
    // conversation as connected and keeps it through the disconnect, and
    // the next connect to that service would find it instead of a server.
    if (!StillConnected(Conversation->Conv()))
        FHoldsEndedConversations = true;
    std::erase(FClientConversations, Conversation);
    std::erase_if(FResyncs, [&](const TResync& Each) { return Each.Window == Conversation->ConvWindow(); });
    if (FClientConversations.empty())
        KillTimer(FWindow.Handle(), kServerWatchTimerId);
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
    return GManager ? Guarded([&] { return GManager->Callback(Type, Conv, Hsz1, Hsz2, Data, Data1); }) : nullptr;
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
            reinterpret_cast<TDdeManagedConv*>(Target)->DispatchItemData(Data, Hsz2);
            return reinterpret_cast<HDDEDATA>(DDE_FACK);
        case XTYP_DISCONNECT:
            if (IsClient(Target))
                ServerEnded(reinterpret_cast<TDdeManagedConv*>(Target));
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
    return Target && std::ranges::find(FClientConversations, reinterpret_cast<TDdeManagedConv*>(Target)) !=
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
    DdeQueryStringA(FInstance.Get(), Handle, Buffer, sizeof Buffer, CP_WINANSI);
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
    return DdeCreateDataHandle(FInstance.Get(), reinterpret_cast<BYTE*>(Pairs), sizeof Pairs, 0, nullptr, CF_TEXT, 0);
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

void TDdeMgr::ServerEnded(TDdeManagedConv* Conversation) {
    FHoldsEndedConversations = true;
    DdeSetUserHandle(Conversation->Conv(), QID_SYNC, 0);
    Conversation->Disconnected();
}

void TDdeMgr::CheckConversations() {
    for (TDdeManagedConv* Conversation : std::vector<TDdeManagedConv*>(FClientConversations))
        CheckConversation(Conversation);
}

void TDdeMgr::CheckConversation(TDdeManagedConv* Conversation) {
    if (IsClient(reinterpret_cast<DWORD_PTR>(Conversation)) && !StillConnected(Conversation->Conv()))
        ServerEnded(Conversation);
}

// Answers that answer nothing are kept from the library and freed here: a
// server under Wine follows its answer to a request with a positive
// acknowledgement that nothing waits for (and Wine's client would keep its
// memory for good), and the answer to a transaction that timed out may
// still come, where the library would take it for the answer to the next
// one. Answers name no more than the item, so after a time-out the manager
// asks the server for an item of its own (a marker): the server answers in
// order, so whatever the conversation receives before the marker's answer
// is late, and whatever follows answers what was asked after the time-out.
// A late answer that never comes costs nothing more than the marker's trip.
// Of the answer that it takes, Wine's library keeps the received data and a
// reference to the item's name for good; the manager frees them too. And it
// would take a change notice that arrives while it waits for an answer as
// that answer: such a notice is held until the transaction is done.
//
// Wine's server gives its change notices to all its clients one reference
// of the item's name between them, and each client frees one: beside
// another client the name is gone now and then before a message arrives, or
// its number names another string by then. Such a message hands this side
// nothing to free. Under Wine the manager takes the notices from the
// library, which reads the name once more as it takes one and drops the
// notice when the name has gone by then; the answer to what is asked now is
// handed to the library under a new reference of the item's name, which the
// library frees; and a request that the server refused, as it does when the
// name was lost on the way, is made once more.
HDDEDATA TDdeMgr::ClientTransaction(HCONV Conv, HWND ConvWindow, HSZ Item, UINT Format, UINT Type, DWORD Timeout) {
    UINT Error = DMLERR_NO_ERROR;
    HDDEDATA Answer = TransactOnce(Conv, ConvWindow, Item, Format, Type, Timeout, Error);
    if (!Answer && Type == XTYP_REQUEST && !TimedOut(Error) && StillConnected(Conv))
        Answer = TransactOnce(Conv, ConvWindow, Item, Format, Type, Timeout, Error);
    if (!Answer && ConvWindow && TimedOut(Error))
        Resync(Conv, ConvWindow);
    return Answer;
}

HDDEDATA TDdeMgr::TransactOnce(HCONV Conv, HWND ConvWindow, HSZ Item, UINT Format, UINT Type, DWORD Timeout,
                               UINT& Error) {
    DropStaleAcks(ConvWindow);
    // A handler run inside the library's wait may start a transaction of its own.
    const TTransaction Outer =
        std::exchange(FTransaction, TTransaction{ConvWindow, Type, QueryString(Item), nullptr, {}});
    DWORD Result = 0;
    const HDDEDATA Answer = DdeCalls.ClientTransaction(nullptr, 0, Conv, Item, Format, Type, Timeout, &Result);
    const TTransaction Done = std::exchange(FTransaction, Outer);
    if (Answer && Done.Kept)
        FreeWhatWineKeeps(Done.Kept, Item);
    for (const MSG& Notice : Done.Held)
        Repost(Notice, Done.Item);
    Error = Answer ? DMLERR_NO_ERROR : DdeGetLastError(FInstance.Get());
    return Answer;
}

void TDdeMgr::FreeWhatWineKeeps(HGLOBAL Kept, HSZ Item) {
    // Wine's library has copied the data into the handle it returned. It
    // frees what it received only when the server released it, which Wine's
    // server never does; and it made itself a handle of the answer's item
    // name, which it never frees (ours, of the same name, is the same handle).
    GlobalFree(Kept);
    DdeFreeStringHandle(FInstance.Get(), Item);
}

void TDdeMgr::Repost(const MSG& Notice, const std::string& Item) {
    if (!ClientOfWindow(Notice.hwnd) || !PostMessageA(Notice.hwnd, WM_DDE_DATA, Notice.wParam, Notice.lParam))
        DiscardData(Notice.lParam, Item);
}

void TDdeMgr::DropStaleAcks(HWND ConvWindow) {
    // Transactions here are synchronous: an acknowledgement queued before
    // one starts answers nothing. The hook frees it.
    MSG Msg;
    while (ConvWindow && PeekMessageA(&Msg, ConvWindow, WM_DDE_ACK, WM_DDE_ACK, PM_REMOVE))
        DispatchMessageA(&Msg);
}

void TDdeMgr::Resync(HCONV Conv, HWND ConvWindow) {
    CONVINFO Info{};
    Info.cb = sizeof Info;
    if (!DdeQueryConvInfo(Conv, QID_SYNC, &Info) || !IsWindow(Info.hwndPartner))
        return;  // no server left to answer late
    std::string Marker = kMarkerPrefix + std::to_string(++FMarkers);
    const ATOM Atom = GlobalAddAtomA(Marker.c_str());
    if (!Atom)
        return;
    // Posted past the library, which would wait for the answer: the marker
    // only has to reach the server after what timed out.
    if (!PostMessageA(Info.hwndPartner, WM_DDE_REQUEST, reinterpret_cast<WPARAM>(ConvWindow),
                      PackDDElParam(WM_DDE_REQUEST, CF_TEXT, Atom))) {
        GlobalDeleteAtom(Atom);
        return;
    }
    std::erase_if(FResyncs, [&](const TResync& Each) { return Each.Window == ConvWindow; });
    FResyncs.push_back({ConvWindow, std::move(Marker)});
}

TDdeManagedConv* TDdeMgr::ClientOfWindow(HWND Window) const {
    const auto Found = std::ranges::find_if(FClientConversations, [&](const TDdeManagedConv* Conversation) {
        return Window && Conversation->ConvWindow() == Window;
    });
    return Found == FClientConversations.end() ? nullptr : *Found;
}

void TDdeMgr::Screen(MSG& Msg) {
    TDdeManagedConv* Conversation =
        Msg.message == WM_DDE_ACK || Msg.message == WM_DDE_DATA ? ClientOfWindow(Msg.hwnd) : nullptr;
    UINT_PTR Low = 0, Atom = 0;
    if (!Conversation || !UnpackDDElParam(Msg.message, Msg.lParam, &Low, &Atom))
        return;
    const DDEDATA Header = Msg.message == WM_DDE_DATA ? DataHeader(Low) : DDEDATA{};
    const std::string Item = AtomName(static_cast<ATOM>(Atom));
    if (Msg.message == WM_DDE_DATA && !Header.fResponse)
        return ScreenNotice(Msg, Conversation, Item);
    const bool Ours = AsksFor(Conversation, Item);
    if (!IsFreshAnswer(Msg.hwnd, Msg.message, Low, Item, Ours))
        return Discard(Msg, Ours ? Item : std::string());
    if (!Ours)
        Rename(Msg, FTransaction.Item);  // the library takes an answer by its item's name
    if (Msg.message == WM_DDE_DATA && !Header.fRelease && RunsOnWine())
        FTransaction.Kept = reinterpret_cast<HGLOBAL>(Low);
}

void TDdeMgr::ScreenNotice(MSG& Msg, TDdeManagedConv* Conversation, const std::string& Item) {
    if (FTransaction.Window == Msg.hwnd) {
        // The library would take it for the answer awaited, or fetch within
        // its wait: it is told after the transaction.
        FTransaction.Held.push_back(Msg);
        Msg.message = WM_NULL;
        Msg.hwnd = FWindow.Handle();
        return;
    }
    const HSZ Handle = Conversation->AdvisedItem(Item);
    if (Handle && !RunsOnWine())
        return;
    // The item fetches its value (every item, when the name is lost), and
    // then the notice is freed, as the library would: a neighbour that reads
    // the same reference meanwhile still finds it.
    auto* Taken = new TTakenNotice{Msg.hwnd, Handle, Msg.lParam, Handle ? Item : std::string()};
    Msg.hwnd = FWindow.Handle();
    Msg.message = kItemChanged;
    Msg.lParam = reinterpret_cast<LPARAM>(Taken);  // owned by the message
}

TDdeMgr::TTakenNotice::~TTakenNotice() {
    DiscardData(Param, Owned);
}

bool TDdeMgr::AsksFor(const TDdeManagedConv* Conversation, const std::string& Item) const {
    const HWND Window = Conversation->ConvWindow();
    const auto Resync = std::ranges::find(FResyncs, Window, &TResync::Window);
    return (FTransaction.Window == Window && SameName(Item, FTransaction.Item)) ||
           (Resync != FResyncs.end() && SameName(Item, Resync->Marker)) || Conversation->AdvisedItem(Item);
}

bool TDdeMgr::IsFreshAnswer(HWND Window, UINT Message, UINT_PTR Status, const std::string& Item, bool Ours) {
    const auto Resync = std::ranges::find(FResyncs, Window, &TResync::Window);
    if (Resync != FResyncs.end()) {
        if (SameName(Item, Resync->Marker))
            FResyncs.erase(Resync);  // what follows answers what was asked after the time-out
        return false;
    }
    // One that lost its name on the way answers what is asked now all the
    // same: nothing else is asked in the conversation.
    if (FTransaction.Window != Window || (Ours && !SameName(Item, FTransaction.Item)))
        return false;
    if (FTransaction.Type != XTYP_REQUEST)
        return Message == WM_DDE_ACK;
    // A request is answered by data or refused by a negative acknowledgement;
    // a positive one is what Wine's server sends after its data.
    return Message == WM_DDE_DATA || !(Status & DDE_FACK);
}

void TDdeMgr::Rename(MSG& Msg, const std::string& Item) {
    UINT_PTR Low = 0, Atom = 0;
    UnpackDDElParam(Msg.message, Msg.lParam, &Low, &Atom);
    FreeDDElParam(Msg.message, Msg.lParam);
    Msg.lParam = PackDDElParam(Msg.message, Low, GlobalAddAtomA(Item.c_str()));
}

void TDdeMgr::Discard(MSG& Msg, const std::string& Owned) {
    if (Msg.message == WM_DDE_DATA)
        DiscardData(Msg.lParam, Owned);
    else
        DiscardAck(Msg.lParam, Owned);
    Msg.message = WM_NULL;
    Msg.hwnd = FWindow.Handle();
}

void TDdeMgr::DiscardData(LPARAM LParam, const std::string& Owned) {
    // What the receiver of an answer or a notice owes: the data when the
    // server handed it over (under Wine the data received is always a copy of
    // our own), the item's atom while it still names what was sent, the
    // packed parameter.
    UINT_PTR Data = 0, Atom = 0;
    if (!UnpackDDElParam(WM_DDE_DATA, LParam, &Data, &Atom))
        return;
    if (DataHeader(Data).fRelease || RunsOnWine())
        GlobalFree(reinterpret_cast<HGLOBAL>(Data));
    DeleteIfNamed(static_cast<ATOM>(Atom), Owned);
    FreeDDElParam(WM_DDE_DATA, LParam);
}

void TDdeMgr::DiscardAck(LPARAM LParam, const std::string& Owned) {
    // A refusal carries the atom of the request, which its receiver owes. The
    // positive acknowledgement after data repeats the atom that the data
    // carried and its receiver deleted already: deleting it again could take
    // the name from under a message still on its way. Windows' servers send
    // no such acknowledgement.
    UINT_PTR Status = 0, Atom = 0;
    if (!UnpackDDElParam(WM_DDE_ACK, LParam, &Status, &Atom))
        return;
    FreeDDElParam(WM_DDE_ACK, LParam);
    if (!(Status & DDE_FACK))
        DeleteIfNamed(static_cast<ATOM>(Atom), Owned);
}

LRESULT CALLBACK TDdeMgr::MessageHook(int Code, WPARAM WParam, LPARAM LParam) noexcept {
    auto* Msg = reinterpret_cast<MSG*>(LParam);
    if (Code == HC_ACTION && WParam == PM_REMOVE && GManager)
        Guarded([Msg] {
            GManager->Screen(*Msg);
            // The check is posted so that it runs after the library has
            // handled the terminate.
            if (Msg->message == WM_DDE_TERMINATE)
                PostMessageA(GManager->FWindow.Handle(), kCheckConversations, 0, 0);
        });
    return CallNextHookEx(nullptr, Code, WParam, LParam);
}

LRESULT TDdeMgr::HandleMessage(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    if (Message == kItemChanged) {
        const std::unique_ptr<TTakenNotice> Notice(reinterpret_cast<TTakenNotice*>(LParam));
        if (TDdeManagedConv* Conversation = ClientOfWindow(Notice->Window))
            Conversation->DispatchItemData(nullptr, Notice->Handle);
    } else if (Message == kCheckConversations || (Message == WM_TIMER && WParam == kServerWatchTimerId))
        CheckConversations();
    else
        return DefWindowProcA(Window, Message, WParam, LParam);
    return 0;
}

TDdeMgr& DdeManager() {
    static TDdeMgr* Manager = new TDdeMgr(&Application());  // owned by the application
    return *Manager;
}
