#pragma once
// The process's DDE manager: owns the DDE library instance of the main
// thread, registers the process's own service name, receives every callback
// of the library and routes it to the conversation it belongs to.
//
// Other programs may open conversations with this process on the caption of
// an open form (framework/OpenForms.h); every transaction in them is
// refused.
//
// A server that is killed ends nothing, on either platform: while a client
// conversation is open the manager looks every few seconds whether its
// partner's window still exists, and runs the conversation's Disconnected
// when it is gone.
//
// Under Wine the library reports no disconnect when a server ends a client
// conversation, and keeps that conversation in its instance for good, so
// that the same service and topic cannot be connected again there. The
// manager therefore watches for the server's terminate itself (the
// conversation's Disconnected runs exactly once on either platform) and
// gives the next connect a fresh instance. Conversations see this only as a
// new Generation(): handles of an earlier generation are gone.
//
// Client transactions run through ClientTransaction, which keeps from the
// library the answers that answer nothing (see DdeMgr_win.cpp).
//
// What the tracking link owns. String handles (local to this process): the
// service and topic names of a conversation, the item name of each running
// advise loop, this process's service name, and the handle of an answer's
// item name that Wine's library makes and never frees (given back once for
// each answer it took). Global atoms (shared by every process): what a
// message handed it, while the atom still names what was sent (the item of
// an answer, a refusal or a notice; a marker of its own), and the markers
// and item names it adds itself. Wine's server gives its notices to all its
// clients one reference of the item's name between them, so beside another
// client the name can be gone before a message arrives and its number given
// to another string: such a number is not ours and is never freed here.
//
// Main thread only: the library calls back on the thread that created it.
#include <windows.h>
// after windows.h, which they need
#include <dde.h>
#include <ddeml.h>

#include <memory>
#include <string>
#include <vector>

#include "dde/DdeErrors.h"
#include "dde/DdeHandles_win.h"
#include "framework/Component.h"
#include "framework/Handles_win.h"
#include "framework/MessageWindow_win.h"

// What the manager asks of a client conversation that it routes to.
class TDdeManagedConv {
public:
    virtual HCONV Conv() const = 0;
    virtual HWND ConvWindow() const = 0;  // this side's window, while open
    // The string handle of the running advise loop of the item named Item
    // (letter case aside), or null.
    virtual HSZ AdvisedItem(const std::string& Item) const = 0;
    virtual void DispatchItemData(HDDEDATA Data, HSZ ItemHandle) = 0;
    virtual void Disconnected() = 0;  // the server has ended it or is gone

protected:
    ~TDdeManagedConv() = default;
};

class TDdeMgr : public TComponent {
public:
    // Raises EDdeError when the DDE library cannot be initialised.
    explicit TDdeMgr(TComponent* AOwner);
    ~TDdeMgr() override;

    DWORD InstanceId() const { return FInstance.Get(); }
    // This process's service name: the executable's file name up to its
    // first ".".
    const std::string& AppName() const { return FAppName; }

    // Raises EDdeError with the text of the instance's last error when
    // Success is false.
    void CheckDde(bool Success);

    // For client conversations. An open conversation is known to the
    // manager (and the library's callbacks reach it) from its connect until
    // its Disconnected.
    void ConversationOpened(TDdeManagedConv* Conversation);
    void ConversationClosed(TDdeManagedConv* Conversation);
    // Runs the conversation's Disconnected when its server has ended it or
    // is gone (killed servers end nothing).
    void CheckConversation(TDdeManagedConv* Conversation);
    // Before a connect: replaces an instance that holds conversations ended
    // by their servers, once nothing else is open in it. Raises EDdeError
    // when the new instance cannot be initialised.
    void PrepareConnect();
    // Counts the instances: string handles of an earlier generation are gone.
    unsigned Generation() const { return FGeneration; }
    // A synchronous transaction without data of a client conversation whose
    // own window (CONVINFO hwnd) is ConvWindow; the result as the library's
    // (through the DdeCalls seam). A request refused (not timed out) while
    // the conversation stands is made once more at once. Reads (and so
    // resets) the instance's last error after a transaction that gave
    // nothing.
    [[nodiscard]] HDDEDATA ClientTransaction(HCONV Conv, HWND ConvWindow, HSZ Item, UINT Format, UINT Type,
                                             DWORD Timeout);

private:
    struct TIncomingConversation {
        std::string Topic;
        HCONV Conv;
    };
    struct TTransaction {  // the synchronous transaction in progress
        HWND Window = nullptr;
        UINT Type = 0;
        std::string Item;
        HGLOBAL Kept = nullptr;  // data of the answer that Wine's library takes and keeps
        std::vector<MSG> Held;   // change notices that came meanwhile, for after it
    };
    struct TTakenNotice {   // a change notice taken from the library
        HWND Window;        // the conversation's
        HSZ Handle;         // of the item's advise loop; null when the name is lost
        LPARAM Param;       // the notice's, freed with it
        std::string Owned;  // the name its atom is ours under; empty when lost
        ~TTakenNotice();
    };
    struct TResync {  // answers to Window are late until the answer to Marker
        HWND Window;
        std::string Marker;
    };
    struct THookTraits {
        static HHOOK Invalid() { return nullptr; }
        static void Close(HHOOK H) { ::UnhookWindowsHookEx(H); }
    };

    static HDDEDATA CALLBACK DdeCallback(UINT Type, UINT Format, HCONV Conv, HSZ Hsz1, HSZ Hsz2, HDDEDATA Data,
                                         ULONG_PTR Data1, ULONG_PTR Data2) noexcept;
    static LRESULT CALLBACK MessageHook(int Code, WPARAM WParam, LPARAM LParam) noexcept;
    LRESULT HandleMessage(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);

    HDDEDATA Callback(UINT Type, HCONV Conv, HSZ Hsz1, HSZ Hsz2, HDDEDATA Data, ULONG_PTR Data1);
    void Initialize();
    void Uninitialize();
    [[noreturn]] void RaiseDdeError(UINT Code);
    void RegisterAppName();
    void UnregisterAppName();
    [[nodiscard]] bool AcceptsConnect(HSZ Service, HSZ Topic) const;
    [[nodiscard]] HDDEDATA AnswerWildConnect(HSZ Service, HSZ Topic) const;
    void ConfirmIncomingConnect(HCONV Conv, HSZ Topic);
    void DropIncomingConversation(TIncomingConversation* Record);
    void ServerEnded(TDdeManagedConv* Conversation);
    void CheckConversations();
    [[nodiscard]] HDDEDATA TransactOnce(HCONV Conv, HWND ConvWindow, HSZ Item, UINT Format, UINT Type, DWORD Timeout,
                                        UINT& Error);
    void DropStaleAcks(HWND ConvWindow);
    void Resync(HCONV Conv, HWND ConvWindow);
    void FreeWhatWineKeeps(HGLOBAL Kept, HSZ Item);
    void Repost(const MSG& Notice, const std::string& Item);
    void Screen(MSG& Msg);
    void ScreenNotice(MSG& Msg, TDdeManagedConv* Conversation, const std::string& Item);
    [[nodiscard]] bool IsFreshAnswer(HWND Window, UINT Message, UINT_PTR Status, const std::string& Item, bool Ours);
    [[nodiscard]] bool AsksFor(const TDdeManagedConv* Conversation, const std::string& Item) const;
    [[nodiscard]] TDdeManagedConv* ClientOfWindow(HWND Window) const;
    // Frees what the message owes (its atom only while it names Owned) and
    // hands the manager's window nothing.
    void Discard(MSG& Msg, const std::string& Owned);
    static void Rename(MSG& Msg, const std::string& Item);
    static void DiscardData(LPARAM LParam, const std::string& Owned);
    static void DiscardAck(LPARAM LParam, const std::string& Owned);
    [[nodiscard]] bool IsClient(DWORD_PTR Target) const;
    [[nodiscard]] TIncomingConversation* FindIncoming(DWORD_PTR Target) const;
    std::string QueryString(HSZ Handle) const;

    TDdeInstance FInstance;
    unsigned FGeneration = 0;
    std::string FAppName;
    TDdeString FAppNameHandle;
    UINT FLinkFormat = 0;
    std::vector<std::unique_ptr<TIncomingConversation>> FIncomingConversations;
    std::vector<TDdeManagedConv*> FClientConversations;  // open ones; not owned
    bool FHoldsEndedConversations = false;
    TTransaction FTransaction;
    std::vector<TResync> FResyncs;  // at most one per conversation window
    unsigned FMarkers = 0;          // markers asked for so far: each has a name of its own
    TMessageWindow FWindow;         // receives the looks for servers ended or gone
    TUniqueHandle<HHOOK, THookTraits> FHook;
};

// The one manager, created on first use with the application object as its
// owner. The process entry calls it before creating the main window.
// Raises EDdeError when the DDE library cannot be initialised.
TDdeMgr& DdeManager();
