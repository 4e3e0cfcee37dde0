#pragma once
// The link record of one attached item, owned by its conversation; only the
// conversation and the item use it. It runs a warm advise loop: the server
// only notifies a change, and the link then requests the value
// (synchronously, 1000 ms) and converts it. Nothing here raises. Main thread
// only.
#include <windows.h>
#include <ddeml.h>

#include <string>

#include "dde/DdeHandles_win.h"

class TDdeClientConv;
class TDdeClientItem;

class TDdeCliItem {
public:
    TDdeCliItem(TDdeClientConv* Conversation, TDdeClientItem* Item);
    ~TDdeCliItem();  // stops the advise loop
    TDdeCliItem(const TDdeCliItem&) = delete;
    TDdeCliItem& operator=(const TDdeCliItem&) = delete;

    TDdeClientItem* Item() const { return FItem; }
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
    void ReleaseItemHandle();
    void NotifyChanged();

private:
    TDdeClientConv* FConversation;  // owns this record
    TDdeClientItem* FItem;          // not owned
    std::string FItemName;
    TDdeString FItemHandle;
};
