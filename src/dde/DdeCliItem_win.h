#pragma once
// The link record of one attached item, owned by its conversation, and the
// conversation as the item and its link see it; only the two use this. The
// link runs a warm advise loop: the server only notifies a change, and the
// link then requests the value (synchronously, 1000 ms) and converts it.
// Nothing here raises. Main thread only.
#include <windows.h>
// after windows.h, which it needs
#include <ddeml.h>

#include <string>

#include "dde/DdeHandles_win.h"

class TComponent;
class TDdeClientConv;
class TDdeClientItem;

enum TDataMode { ddeAutomatic = 0, ddeManual = 1 };

// The conversation as its items' host: TDdeClientConv states the contracts.
class TDdeItemHost {
public:
    virtual bool IsOpen() const = 0;
    virtual TDataMode ConnectMode() const = 0;
    virtual bool FormatChars() const = 0;
    [[nodiscard]] virtual bool LinkItem(TDdeClientItem* Item, const std::string& Name) = 0;
    virtual void DetachItem(TDdeClientItem* Item) = 0;
    // Synchronous, with the 1000 ms limit of every item transaction.
    [[nodiscard]] virtual HDDEDATA Transact(UINT Type, HSZ Item) const = 0;

protected:
    ~TDdeItemHost() = default;
};

// An item's conversation as its host and as a component (null for null);
// defined with the conversation.
TDdeItemHost* ItemHost(TDdeClientConv* Conversation);
TComponent* AsComponent(TDdeClientConv* Conversation);

class TDdeCliItem {
public:
    TDdeCliItem(TDdeItemHost* Conversation, TDdeClientItem* Item) : FConversation(Conversation), FItem(Item) {}
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
    [[nodiscard]] bool BeginAdvise();
    void EndAdvise();
    void RequestValue();
    // Data is the value, or null to fetch it anew (a change notice).
    void ReceiveData(HDDEDATA Data);
    void ReleaseItemHandle() { FItemHandle.Reset(); }
    void NotifyChanged();

private:
    TDdeItemHost* FConversation;  // owns this record
    TDdeClientItem* FItem;        // not owned
    std::string FItemName;
    TDdeString FItemHandle;
};
