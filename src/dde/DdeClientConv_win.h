#pragma once
// A client conversation with a DDE server, named by service and topic. It
// connects (starting the server's program when the first connect fails),
// starts the advise loops of the items attached to it, tells its owner when
// it opens and closes, and keeps service and topic as the "LinkInfo" list of
// the window layout.
//
// Connect and link failures are reported by results and by detaching items,
// never raised; only DdeManager() may raise EDdeError. Names longer than the
// DDE library's 255 characters are cut when handed to it.
// Main thread only.
#include <windows.h>
// after windows.h, which it needs
#include <ddeml.h>

#include <memory>
#include <string>
#include <vector>

#include "dde/DdeCliItem_win.h"
#include "dde/DdeHandles_win.h"
#include "dde/DdeMgr_win.h"
#include "framework/Component.h"

class TDdeClientConv : public TComponent, private TDdeManagedConv, private TDdeItemHost {
public:
    explicit TDdeClientConv(TComponent* AOwner);
    ~TDdeClientConv() override;

    // The command that starts the server (plain stored value).
    const std::string& ServiceApplication() const { return FServiceApplication; }
    void SetServiceApplication(const std::string& Value) { FServiceApplication = Value; }
    // Set through SetLinkInfo or ChangeConversation.
    const std::string& DdeService() const { return FDdeService; }
    const std::string& DdeTopic() const { return FDdeTopic; }

    TDataMode ConnectMode() const override { return FConnectMode; }
    // Switching to ddeAutomatic with both names set opens the conversation;
    // when that reports false, raises Exception("Unable to connect DDE
    // conversation") and keeps the old mode.
    void SetConnectMode(TDataMode Value);
    bool FormatChars() const override { return FFormatChars; }
    // While open, every item fetches and converts its value anew.
    void SetFormatChars(bool Value);

    // The layout's list: "Service <name>", "Topic <name>"; empty while both
    // names are empty. Setting it stores the names and opens nothing.
    std::vector<std::string> LinkInfo() const;
    void SetLinkInfo(const std::vector<std::string>& Entries);

    TNotifyEvent OnClose;
    TNotifyEvent OnOpen;

    // True when this call opened the conversation: connects, else starts
    // ServiceApplication (or "<service> <topic>") and connects once more;
    // then starts every advise loop, raises OnOpen and has every item fetch
    // its value. When it cannot connect, every item is detached. False and
    // nothing done while open; a conversation whose server is gone without
    // ending it (killed) first closes (OnClose).
    bool OpenConversation();
    // As OpenConversation, but never starts the server's program: for
    // coming back to a server that went away, without a second copy of it.
    bool ReconnectConversation();
    // Ends the conversation (OnClose when it was open) and clears the names;
    // the items stay attached with their item names.
    void CloseConversation();
    // Closes, takes the new names and opens; the names are cleared again when
    // the open fails.
    bool ChangeConversation(const std::string& Service, const std::string& Topic);
    // The server ended the conversation: OnClose (while still open), then
    // closed; names and items stay, so a later open connects again and
    // restarts every advise loop.
    void Disconnected() override;

    bool IsOpen() const override { return FConvHandle.Valid(); }
    // Whether the server's program does not serve its windows: its
    // conversation window does not answer within TimeoutMs (at once when the
    // system already takes it as hung, or the window is gone). False while
    // closed. Messages that other threads send are handled meanwhile.
    [[nodiscard]] bool ServerHung(unsigned TimeoutMs) const;

protected:
    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    virtual void NotifyClose();
    virtual void NotifyOpen();

private:
    friend TDdeItemHost* ItemHost(TDdeClientConv* Conversation);

    HCONV Conv() const override { return FConvHandle.Get(); }
    HWND ConvWindow() const override { return FConvInfo.hwnd; }
    HSZ AdvisedItem(const std::string& Item) const override;
    // Every link whose item handle is ItemHandle (every link when it is
    // null) receives Data (or fetches its value when Data is null).
    void DispatchItemData(HDDEDATA Data, HSZ ItemHandle) override;
    [[nodiscard]] bool LinkItem(TDdeClientItem* Item, const std::string& Name) override;
    void AttachItem(TDdeClientItem* Item);
    void DetachItem(TDdeClientItem* Item) override;
    TDdeCliItem* FindLink(TDdeClientItem* Item) const;
    [[nodiscard]] HDDEDATA Transact(UINT Type, HSZ Item) const override;

    [[nodiscard]] bool Open(bool MayStartServer);
    [[nodiscard]] bool TryConnect();
    [[nodiscard]] bool StartServer();
    void StartAdviseLoops();
    void DropAllItems();
    void PrepareNames();
    // OnClose while still open, then closed; the handle is ended here only
    // when it is ours to end (not when the server ended it).
    void Close(bool EndHere);
    void ForgetConvHandle(bool EndHere);
    [[nodiscard]] bool HasLink(const TDdeCliItem* Link) const;

    std::string FServiceApplication;
    std::string FDdeService;
    std::string FDdeTopic;
    TDataMode FConnectMode = ddeAutomatic;
    bool FFormatChars = false;

    TDdeConvHandle FConvHandle;  // the conversation: open exactly while it is set
    CONVINFO FConvInfo{};
    std::vector<std::unique_ptr<TDdeCliItem>> FLinks;  // one per attached item, in the order of attachment
    TDdeString FServiceHandle;
    TDdeString FTopicHandle;
    unsigned FHandleGeneration = 0;  // the manager's generation of the two handles
    UINT FDataFormat = CF_TEXT;
};
