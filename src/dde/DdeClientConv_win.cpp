#include "dde/DdeClientConv_win.h"

#include <algorithm>

#include "dde/DdeCalls_win.h"
#include "dde/DdeClientItem_win.h"
#include "dde/DdeMgr_win.h"
#include "dde/DdeNames.h"
#include "framework/Application_win.h"
#include "framework/Exceptions.h"

namespace {
constexpr DWORD kTransactionTimeout = 1000;  // ms, every item transaction
constexpr UINT kMinWinExecSuccess = 32;
}  // namespace

TDdeItemHost* ItemHost(TDdeClientConv* Conversation) {
    return Conversation;
}

TComponent* AsComponent(TDdeClientConv* Conversation) {
    return Conversation;
}

TDdeClientConv::TDdeClientConv(TComponent* AOwner) : TComponent(AOwner) {}

TDdeClientConv::~TDdeClientConv() {
    // Handlers may run from here (OnClose, the items' OnChange); what they
    // raise must not leave a destructor.
    Guarded([this] {
        CloseConversation();
        Destroying();  // attached items detach themselves while the links still exist
    });
}

void TDdeClientConv::SetConnectMode(TDataMode Value) {
    if (Value == FConnectMode)
        return;
    // An open conversation is what the automatic mode asks for: no failure.
    if (Value == ddeAutomatic && !FDdeService.empty() && !FDdeTopic.empty() && !IsOpen() && !OpenConversation())
        throw Exception("Unable to connect DDE conversation");
    FConnectMode = Value;
}

void TDdeClientConv::SetFormatChars(bool Value) {
    if (Value == FFormatChars)
        return;
    FFormatChars = Value;
    if (IsOpen())
        DispatchItemData(nullptr, nullptr);
}

std::vector<std::string> TDdeClientConv::LinkInfo() const {
    return WriteLinkInfo(FDdeService, FDdeTopic);
}

void TDdeClientConv::SetLinkInfo(const std::vector<std::string>& Entries) {
    ReadLinkInfo(Entries, FDdeService, FDdeTopic);
}

void TDdeClientConv::Loaded() {
    TComponent::Loaded();
    if (!FDdeService.empty() && FConnectMode != ddeManual)
        ChangeConversation(FDdeService, FDdeTopic);
}

bool TDdeClientConv::OpenConversation() {
    return Open(true);
}

bool TDdeClientConv::ReconnectConversation() {
    return Open(false);
}

bool TDdeClientConv::Open(bool MayStartServer) {
    if (FConvHandle)
        DdeManager().CheckConversation(this);  // a server that was killed: closes, and the open goes on
    if (FConvHandle)
        return false;
    if (FDdeService.empty() && FDdeTopic.empty()) {
        DropAllItems();
        return false;
    }
    PrepareNames();
    const bool MayStart = MayStartServer && (!FDdeService.empty() || !FServiceApplication.empty());
    if (!TryConnect() && !(MayStart && StartServer() && TryConnect())) {
        DropAllItems();
        return false;
    }
    FDataFormat = FConvInfo.wFmt ? FConvInfo.wFmt : CF_TEXT;
    StartAdviseLoops();
    NotifyOpen();
    DispatchItemData(nullptr, nullptr);
    return true;
}

void TDdeClientConv::PrepareNames() {
    TDdeMgr& Manager = DdeManager();
    Manager.PrepareConnect();
    if (FHandleGeneration != Manager.Generation()) {
        FServiceHandle.Forget();
        FTopicHandle.Forget();
        FHandleGeneration = Manager.Generation();
    }
    if (!FServiceHandle)
        FServiceHandle = TDdeString(Manager.InstanceId(), FDdeService);
    if (!FTopicHandle)
        FTopicHandle = TDdeString(Manager.InstanceId(), FDdeTopic);
}

bool TDdeClientConv::TryConnect() {
    CONVCONTEXT Context{};
    Context.cb = sizeof Context;
    Context.iCodePage = CP_WINANSI;
    TDdeMgr& Manager = DdeManager();
    FConvHandle.Reset(DdeCalls.Connect(Manager.InstanceId(), FServiceHandle.Get(), FTopicHandle.Get(), &Context));
    if (!FConvHandle)
        return false;
    FConvInfo = CONVINFO{};
    FConvInfo.cb = sizeof FConvInfo;
    DdeQueryConvInfo(FConvHandle.Get(), QID_SYNC, &FConvInfo);
    Manager.ConversationOpened(this);
    return true;
}

bool TDdeClientConv::StartServer() {
    const std::string Command = StartCommand(PlatformName(FServiceApplication), FDdeService, FDdeTopic);
    // Returns once the program waits for input, by when a server has
    // registered its service.
    return DdeCalls.WinExec(Command.c_str(), SW_SHOWMINNOACTIVE) >= kMinWinExecSuccess;
}

void TDdeClientConv::StartAdviseLoops() {
    for (size_t Index = 0; Index < FLinks.size();) {
        TDdeCliItem* Link = FLinks[Index].get();
        if (Link->BeginAdvise()) {
            ++Index;
            continue;
        }
        Link->Item()->SetDdeItem("");  // detaches: the next link moves up to Index
        if (Index < FLinks.size() && FLinks[Index].get() == Link)
            ++Index;  // still there after the handlers ran: go on with the next
    }
}

void TDdeClientConv::DropAllItems() {
    for (size_t Count = FLinks.size(); Count > 0 && !FLinks.empty(); --Count)
        FLinks.front()->Item()->SetDdeItem("");
}

void TDdeClientConv::CloseConversation() {
    Close(true);
    if (FHandleGeneration == DdeManager().Generation()) {
        FServiceHandle.Reset();
        FTopicHandle.Reset();
    } else {
        FServiceHandle.Forget();  // went with their instance
        FTopicHandle.Forget();
    }
    FDdeService.clear();
    FDdeTopic.clear();
}

bool TDdeClientConv::ChangeConversation(const std::string& Service, const std::string& Topic) {
    const std::string NewService = Service, NewTopic = Topic;  // the arguments may be our own names
    CloseConversation();
    FDdeService = NewService;
    FDdeTopic = NewTopic;
    const bool Opened = OpenConversation();
    if (!Opened) {
        FDdeService.clear();
        FDdeTopic.clear();
    }
    return Opened;
}

void TDdeClientConv::Disconnected() {
    Close(false);  // the server's end took the handle with it
}

void TDdeClientConv::Close(bool EndHere) {
    if (FConvHandle) {
        try {
            NotifyClose();  // while the conversation still counts as open
        } catch (...) {
            ForgetConvHandle(EndHere);
            throw;
        }
    }
    ForgetConvHandle(EndHere);
}

void TDdeClientConv::ForgetConvHandle(bool EndHere) {
    if (FConvHandle)
        DdeManager().ConversationClosed(this);
    TDdeConvHandle Conv = std::move(FConvHandle);  // ended (when EndHere) after the item handles are freed
    for (const auto& Link : FLinks)
        Link->ReleaseItemHandle();
    if (!EndHere)
        Conv.Release();
}

bool TDdeClientConv::ServerHung(unsigned TimeoutMs) const {
    DWORD_PTR Result = 0;
    return IsOpen() && !SendMessageTimeoutA(FConvInfo.hwndPartner, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, TimeoutMs, &Result);
}

void TDdeClientConv::NotifyClose() {
    if (OnClose)
        OnClose();
}

void TDdeClientConv::NotifyOpen() {
    if (OnOpen)
        OnOpen();
}

HDDEDATA TDdeClientConv::Transact(UINT Type, HSZ Item) const {
    return DdeManager().ClientTransaction(FConvHandle.Get(), FConvInfo.hwnd, Item, FDataFormat, Type,
                                          kTransactionTimeout);
}

HSZ TDdeClientConv::AdvisedItem(const std::string& Item) const {
    for (const auto& Link : FLinks)
        if (Link->ItemHandle() && !Item.empty() && lstrcmpiA(Link->ItemName().c_str(), Item.c_str()) == 0)
            return Link->ItemHandle();
    return nullptr;
}

TDdeCliItem* TDdeClientConv::FindLink(TDdeClientItem* Item) const {
    const auto Found = std::ranges::find(FLinks, Item, &TDdeCliItem::Item);
    return Found == FLinks.end() ? nullptr : Found->get();
}

bool TDdeClientConv::HasLink(const TDdeCliItem* Link) const {
    return std::ranges::any_of(FLinks, [Link](const auto& Each) { return Each.get() == Link; });
}

void TDdeClientConv::AttachItem(TDdeClientItem* Item) {
    FLinks.push_back(std::make_unique<TDdeCliItem>(ItemHost(this), Item));
    FLinks.back()->SetItemName("");
}

void TDdeClientConv::DetachItem(TDdeClientItem* Item) {
    TDdeCliItem* Link = FindLink(Item);
    if (!Link)
        return;
    Link->SetItemName("");  // stops its advise loop
    std::erase_if(FLinks, [Link](const auto& Each) { return Each.get() == Link; });
}

bool TDdeClientConv::LinkItem(TDdeClientItem* Item, const std::string& Name) {
    TDdeCliItem* Link = FindLink(Item);
    if (!Link && !Name.empty()) {
        AttachItem(Item);
        Link = FindLink(Item);
    }
    if (!Link)
        return true;
    if (Name.empty()) {
        DetachItem(Item);
        return true;
    }
    const bool Linked = Link->SetItemName(Name);
    if (!Linked && !IsLoading())
        DetachItem(Item);
    return Linked;
}

void TDdeClientConv::DispatchItemData(HDDEDATA Data, HSZ ItemHandle) {
    // Handlers may detach items on the way: walk a copy and skip links gone.
    std::vector<TDdeCliItem*> Links;
    for (const auto& Link : FLinks)
        Links.push_back(Link.get());
    for (TDdeCliItem* Link : Links)
        if (HasLink(Link) && (!ItemHandle || Link->ItemHandle() == ItemHandle))
            Link->ReceiveData(Data);
}

void TDdeClientConv::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    const auto Found = std::ranges::find(FLinks, AComponent, &TDdeCliItem::Item);
    if (Found != FLinks.end())
        (*Found)->Item()->SetDdeItem("");
}
