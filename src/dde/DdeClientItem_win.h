#pragma once
// A client item follows one data item of a client conversation: it holds the
// item's latest value as Lines and Text and raises OnChange each time the
// value was fetched anew, and also when its link is set up, changed or
// removed. The conversation keeps one link record per attached item; the
// record runs a warm advise loop: the server only notifies a change, and the
// link then requests the value (synchronously, 1000 ms) and converts it.
// Nothing here raises. Main thread only.
#include <windows.h>
#include <ddeml.h>

#include <string>

#include "dde/DdeHandles_win.h"
#include "framework/Component.h"
#include "framework/Strings.h"

class TDdeClientConv;

class TDdeClientItem : public TComponent {
public:
    explicit TDdeClientItem(TComponent* AOwner);
    ~TDdeClientItem() override;

    // The first line of Lines, or empty.
    std::string Text() const;
    const TStringList& Lines() const { return FLines; }

    TDdeClientConv* DdeConv() const { return FDdeConv; }
    // Detaches the item from its conversation and links it under the new
    // one with the same item name.
    void SetDdeConv(TDdeClientConv* Value);
    const std::string& DdeItem() const { return FDdeItem; }
    // Links the item under its conversation: starts the loop and fetches the
    // value when open; when closed, waits for the next open in ddeManual
    // mode. An empty name, or a link that cannot be made, detaches the item
    // and leaves DdeItem empty. Without a conversation the name is kept only
    // while loading.
    void SetDdeItem(const std::string& Value);

    TNotifyEvent OnChange;
    void DataChanged();

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TDdeCliItem;
    TStringList FLines;
    TDdeClientConv* FDdeConv = nullptr;  // not owned
    std::string FDdeItem;
};

// The link record of one attached item, owned by its conversation.
class TDdeCliItem {
public:
    TDdeCliItem(TDdeClientConv* Conversation, TDdeClientItem* Item);
    ~TDdeCliItem();  // stops the advise loop
    TDdeCliItem(const TDdeCliItem&) = delete;
    TDdeCliItem& operator=(const TDdeCliItem&) = delete;

    TDdeClientItem* Item() const { return FItem; }
    const std::string& ItemName() const { return FItemName; }
    // Set while an advise loop runs.
    HSZ ItemHandle() const { return FItemHandle.Get(); }

    // Stops a running loop, takes the name, clears the lines; true when the
    // loop now runs, or (closed, ddeManual) the link waits for the next open.
    // Raises OnChange once, unless a request in an open conversation fails.
    bool SetItemName(const std::string& Name);
    // True when the advise loop now runs.
    bool BeginAdvise();
    void EndAdvise();
    bool RequestValue();
    // Data is the value, or null to fetch it anew (a change notice).
    void ReceiveData(HDDEDATA Data);
    void ReleaseItemHandle();
    void NotifyChanged();

private:
    TDdeClientConv* FConversation;  // owns this record
    TDdeClientItem* FItem;          // not owned
    std::string FItemName;
    TDdeString FItemHandle;
};
