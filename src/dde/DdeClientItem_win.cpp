#include "dde/DdeClientItem_win.h"

#include "dde/DdeCliItem_win.h"
#include "dde/DdeMgr_win.h"
#include "dde/DdeValue.h"
#include "framework/Application_win.h"

TDdeClientItem::TDdeClientItem(TComponent* AOwner) : TComponent(AOwner) {}

TDdeClientItem::~TDdeClientItem() {
    if (FDdeConv)
        Guarded([this] { ItemHost(FDdeConv)->DetachItem(this); });  // raises OnChange with an empty Text
    Destroying();
}

std::string TDdeClientItem::Text() const {
    return FLines.Count() > 0 ? FLines.Strings(0) : std::string();
}

void TDdeClientItem::SetDdeConv(TDdeClientConv* Value) {
    if (Value == FDdeConv)
        return;
    const std::string Name = FDdeItem;
    FDdeItem.clear();
    if (FDdeConv) {
        ItemHost(FDdeConv)->DetachItem(this);
        RemoveFreeNotification(AsComponent(FDdeConv));
    }
    FDdeConv = Value;
    if (!FDdeConv)
        return;
    FreeNotification(AsComponent(FDdeConv));
    if (!Name.empty())
        SetDdeItem(Name);
}

void TDdeClientItem::SetDdeItem(const std::string& Value) {
    if (!FDdeConv) {
        if (IsLoading())
            FDdeItem = Value;
        return;
    }
    FDdeItem = Value;
    TDdeItemHost* Host = ItemHost(FDdeConv);
    if (Host->LinkItem(this, Value))
        return;
    // A name that could not be linked is kept only while loading a layout
    // whose conversation the owner opens itself.
    if (!(IsLoading() && !Host->IsOpen() && Host->ConnectMode() == ddeManual))
        FDdeItem.clear();
}

void TDdeClientItem::DataChanged() {
    if (OnChange)
        OnChange();
}

void TDdeClientItem::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove || AComponent != AsComponent(FDdeConv))
        return;
    TDdeItemHost* Conversation = ItemHost(FDdeConv);
    FDdeConv = nullptr;
    FDdeItem.clear();
    Guarded([&] { Conversation->DetachItem(this); });  // runs a handler while components go away
}

TDdeCliItem::~TDdeCliItem() {
    EndAdvise();
}

bool TDdeCliItem::SetItemName(const std::string& Name) {
    if (FItemHandle)
        EndAdvise();
    FItemName = Name;
    FItem->FLines.Clear();
    bool Linked = false;
    if (!FItemName.empty()) {
        if (FConversation->IsOpen()) {
            Linked = BeginAdvise();
            if (!Linked)
                FItemName.clear();
        } else {
            Linked = FConversation->ConnectMode() == ddeManual;  // waits for the next open
        }
    }
    RequestValue();
    return Linked;
}

bool TDdeCliItem::BeginAdvise() {
    if (!FConversation->IsOpen() || FItemName.empty())
        return false;
    const DWORD Instance = DdeManager().InstanceId();
    if (!FItemHandle)
        FItemHandle = TDdeString(Instance, FItemName);
    // Warm loop: the server's notices carry no data.
    if (FConversation->Transact(XTYP_ADVSTART | XTYPF_NODATA, FItemHandle.Get()))
        return true;
    DdeGetLastError(Instance);  // resets the instance's error
    ReleaseItemHandle();
    FItem->FLines.Clear();
    return false;
}

void TDdeCliItem::EndAdvise() {
    if (FConversation->IsOpen() && FItemHandle)
        (void)FConversation->Transact(XTYP_ADVSTOP, FItemHandle.Get());  // failure changes nothing
    ReleaseItemHandle();
}

void TDdeCliItem::RequestValue() {
    if (!FConversation->IsOpen() || !FItemHandle) {
        NotifyChanged();
        return;
    }
    TDdeData Data(FConversation->Transact(XTYP_REQUEST, FItemHandle.Get()));
    if (Data.Get())  // else refused, timed out, or the conversation is gone
        ReceiveData(Data.Get());
}

void TDdeCliItem::ReceiveData(HDDEDATA Data) {
    if (!Data) {
        RequestValue();
        return;
    }
    DWORD Size = 0;
    std::string Value;
    if (const BYTE* Bytes = DdeAccessData(Data, &Size)) {
        Value = ValueText(Bytes, Size);
        DdeUnaccessData(Data);
    }
    if (!Value.empty()) {
        FItem->FLines.Clear();
        for (const std::string& Line : ValueLines(Value, FConversation->FormatChars()))
            FItem->FLines.Add(Line);
    }
    NotifyChanged();
}

void TDdeCliItem::NotifyChanged() {
    FItem->DataChanged();
}
