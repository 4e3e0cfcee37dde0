#pragma once
// The process's DDE manager: owns the DDE library instance of the main
// thread, registers the process's own service name, receives every callback
// of the library and routes it to the conversation it belongs to.
//
// Other programs may open conversations with this process on the caption of
// an open form (framework/OpenForms.h); every transaction in them is
// refused.
//
// Under Wine the library reports no disconnect when a server ends a client
// conversation, and keeps that conversation in its instance for good, so
// that the same service and topic cannot be connected again there. The
// manager therefore watches for the server's terminate itself (the
// conversation's Disconnected runs exactly once on either platform) and
// gives the next connect a fresh instance. Conversations see this only as a
// new Generation(): handles of an earlier generation are gone.
//
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
// would take a change notice of the item that a request waits for as that
// request's (empty) answer: such a notice is held until the request is done.
// Client transactions therefore run through ClientTransaction.
//
// Main thread only: the library calls back on the thread that created it.
#include <windows.h>
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

class TDdeClientConv;

class TDdeMgr : public TComponent {
public:
    // Raises EDdeError when the DDE library cannot be initialised.
    explicit TDdeMgr(TComponent* AOwner);
    ~TDdeMgr() override;

    DWORD InstanceId() const { return FInstanceId; }
    // This process's service name: the executable's file name up to its
    // first ".".
    const std::string& AppName() const { return FAppName; }
    HSZ AppNameHandle() const { return FAppNameHandle.Get(); }
    UINT LinkFormat() const { return FLinkFormat; }

    // Raises EDdeError with the text of the instance's last error when
    // Success is false.
    void CheckDde(bool Success);

    // For client conversations. An open conversation is known to the
    // manager from its connect until its Disconnected.
    void ConversationOpened(TDdeClientConv* Conversation);
    void ConversationClosed(TDdeClientConv* Conversation);
    // Runs the conversation's Disconnected when its server has ended it or
    // is gone (killed servers end nothing).
    void CheckConversation(TDdeClientConv* Conversation);
    // Before a connect: replaces an instance that holds conversations ended
    // by their servers, once nothing else is open in it. Raises EDdeError
    // when the new instance cannot be initialised.
    void PrepareConnect();
    // Counts the instances: string handles of an earlier generation are gone.
    unsigned Generation() const { return FGeneration; }
    // A synchronous transaction without data of a client conversation whose
    // own window (CONVINFO hwnd) is ConvWindow; the result as the library's
    // (through the DdeCalls seam). Reads (and so resets) the instance's last
    // error after a transaction that gave nothing.
    HDDEDATA ClientTransaction(HCONV Conv, HWND ConvWindow, HSZ Item, UINT Format, UINT Type, DWORD Timeout);

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
        std::vector<MSG> Held;   // change notices of the item, for after the request
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
    void ServerEnded(TDdeClientConv* Conversation);
    void CheckConversations();
    void DropStaleAcks(HWND ConvWindow);
    void Resync(HCONV Conv, HWND ConvWindow);
    void FreeWhatWineKeeps(HGLOBAL Kept, HSZ Item);
    void Repost(const MSG& Notice);
    void ScreenAnswer(MSG& Msg);
    [[nodiscard]] bool IsFreshAnswer(HWND Window, UINT Message, UINT_PTR Status, const std::string& Item);
    [[nodiscard]] bool IsClientWindow(HWND Window) const;
    static void DiscardData(LPARAM LParam);
    static void DiscardAck(LPARAM LParam);
    [[nodiscard]] bool IsClient(DWORD_PTR Target) const;
    [[nodiscard]] TIncomingConversation* FindIncoming(DWORD_PTR Target) const;
    std::string QueryString(HSZ Handle) const;

    DWORD FInstanceId = 0;
    unsigned FGeneration = 0;
    std::string FAppName;
    TDdeString FAppNameHandle;
    UINT FLinkFormat = 0;
    std::vector<std::unique_ptr<TIncomingConversation>> FIncomingConversations;
    std::vector<TDdeClientConv*> FClientConversations;  // open ones; not owned
    bool FHoldsEndedConversations = false;
    TTransaction FTransaction;
    std::vector<TResync> FResyncs;  // at most one per conversation window
    unsigned FMarkers = 0;          // markers asked for so far: each has a name of its own
    TMessageWindow FWindow;  // receives the check after a server's terminate, and answers that answer nothing
    TUniqueHandle<HHOOK, THookTraits> FHook;
};

// The one manager, created on first use with the application object as its
// owner. The process entry calls it before creating the main window.
// Raises EDdeError when the DDE library cannot be initialised.
TDdeMgr& DdeManager();
