#pragma once
// A client item follows one data item of a client conversation: it holds the
// item's latest value as Lines and Text and raises OnChange each time the
// value was fetched anew, and also when its link is set up, changed or
// removed (the conversation's link record, DdeCliItem_win.h, does the work).
// Nothing here raises. Main thread only.
#include <string>

#include "framework/Component.h"
#include "framework/Strings.h"

class TDdeClientConv;
class TDdeCliItem;

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
