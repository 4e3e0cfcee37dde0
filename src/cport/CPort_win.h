#pragma once
// The serial port component: its line settings and their device state,
// opening and closing, overlapped transfers, the line status queries, and
// the events that its event thread (ComThread_win.h) watches for.
//
// Threads: call everything on the main thread. The process and fire steps
// run where SyncMethod puts them: on the main thread under smThreadSync and
// smWindowSync, on the event thread under smNone. The event thread shares
// the device handle; Close stops it and waits for its end before the handle
// is closed.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "cport/ComError.h"
#include "cport/ComPersist.h"
#include "cport/ComPortSettings.h"
#include "cport/ComSettings.h"
#include "cport/ComThreadLink_win.h"
#include "cport/ComTypes.h"
#include "cport/DeviceState.h"
#include "cport/RxArrivals.h"
#include "framework/Component.h"
#include "framework/Handles_win.h"
#include "framework/MessageWindow_win.h"

class TComThread;

enum TTransferKind : uint8_t { tkWrite = 0, tkRead = 1 };

// One overlapped transfer. CreateTransfer gives it a manual-reset event that
// starts signalled, so that waiting for a record on which nothing was started
// returns 0 at once.
struct TComTransfer {
    OVERLAPPED Overlapped{};       // its hEvent is Event's
    TTransferKind Kind = tkWrite;  // picks the error code of a failed completion
    bool Counted = false;          // a read's bytes have left the port's count of announced bytes
    TEventHandle Event;            // owned
};

// Its setting accessors are those of TComPortSettings (ComPortSettings.h),
// through which the port selector and the settings store reach it.
class TCustomComPort : public TComponent, public TComSettingsOwner, public TComPortSettings {
public:
    explicit TCustomComPort(TComponent* AOwner);
    // Closes the port (raising the close events when it was open).
    ~TCustomComPort() override;

    // Settings persistence (ComPersist_win.cpp): the keys of the groups in
    // SettingGroups, in the ini file's section named after the port or under
    // the registry object's current key; see ComPersist.h. Loading sets each
    // value through its setter, so an open port takes it at once. Raise
    // what the store or a setter raises.
    virtual void SaveToRegistry(TCustomRegistry& Registry);
    virtual void SaveToIniFile(TCustomIniFile& IniFile);
    virtual void LoadFromRegistry(TCustomRegistry& Registry);
    virtual void LoadFromIniFile(TCustomIniFile& IniFile);
    TComSettingGroups SettingGroups() const { return FSettingGroups; }
    void SetSettingGroups(TComSettingGroups Value) { FSettingGroups = Value; }

    // Settings. A setter stores its value; while the port is open (Connected,
    // neither loading nor designing) a changed value also reaches the device
    // at once, and a refusal raises EComPort with the new value kept.
    // Writing a whole setting object copies its values into the owned one
    // and always applies.
    bool Connected() const { return FConnected; }
    void SetConnected(bool Value);  // Open or Close; only stored while loading or designing
    TBaudRate BaudRate() const { return FLine.BaudRate; }
    void SetBaudRate(TBaudRate Value);
    int32_t CustomBaudRate() const { return FLine.CustomBaudRate; }
    void SetCustomBaudRate(int32_t Value);
    const std::string& Port() const { return FPort; }
    void SetPort(const std::string& Value);  // an open port closes and opens again
    TStopBits StopBits() const { return FLine.StopBits; }
    void SetStopBits(TStopBits Value);
    TDataBits DataBits() const { return FLine.DataBits; }
    void SetDataBits(TDataBits Value);
    bool DiscardNull() const { return FLine.DiscardNull; }
    void SetDiscardNull(bool Value);
    char EventChar() const { return FLine.EventChar; }
    void SetEventChar(char Value);
    TComEvents Events() const { return FEvents; }
    void SetEvents(TComEvents Value) { FEvents = Value; }  // watched from the next Open
    TComBuffer& Buffer() { return FBuffer; }
    void SetBuffer(const TComBuffer& Value);
    TComParity& Parity() { return FParity; }
    void SetParity(const TComParity& Value);
    TComTimeouts& Timeouts() { return FTimeouts; }
    void SetTimeouts(const TComTimeouts& Value);
    TComFlowControl& FlowControl() { return FFlowControl; }
    void SetFlowControl(const TComFlowControl& Value);
    TSyncMethod SyncMethod() const { return FSyncMethod; }
    // A different value while open raises EComPort code 14.
    void SetSyncMethod(TSyncMethod Value);

    // Opens the device named Port and applies every setting. Events:
    // OnBeforeOpen; then, once open, OnAfterOpen and the three line events
    // with the present line states. Raises EComPort code 1 when the device
    // cannot be opened or its event thread cannot start, and 9, 7 or 8 when
    // it refuses a setting (the device is closed again then); nothing
    // happens when open or designing.
    void Open();
    // The three line events with False, OnBeforeClose, then the pending
    // transfers are aborted (code 5 on failure: the port stays open), the
    // event thread ends, the device closes, OnAfterClose. Nothing happens
    // when closed or designing, nor when called again from a handler while
    // the port closes.
    void Close();

    // Transfers, for an open port only (the device handle is not checked).
    // The synchronous ones block until their transfer completes, bounded by
    // the device's timeouts. Zero bytes travel like any other.
    int32_t WriteText(const std::string& Text);  // the bytes written; code 2
    // Reads at most Count bytes; Text holds exactly those read. Codes 3, 10.
    int32_t ReadText(std::string& Text, int32_t Count);
    int32_t ReadBuffer(void* Buffer, int32_t Count);  // codes 3, 10
    // The asynchronous ones start a transfer on Transfer and return the bytes
    // moved so far (0 while under way); the buffer must outlive the transfer.
    // No transfer record: code 4.
    int32_t WriteBufferAsync(const void* Buffer, int32_t Count, TComTransfer* Transfer);  // code 2
    int32_t WriteTextAsync(const std::string& Text, TComTransfer* Transfer);              // empty text: 0, no call
    int32_t ReadBufferAsync(void* Buffer, int32_t Count, TComTransfer* Transfer);         // code 3
    int32_t ReadTextAsync(std::string& Text, int32_t Count, TComTransfer* Transfer);
    // Waits without limit for the transfer's end; the bytes it moved.
    // Codes 4, 2 (write) or 3 (read), 10 (input check after a read).
    int32_t WaitForTransfer(TComTransfer* Transfer);
    void CancelTransfers();  // aborts pending reads and writes; code 5
    static void CreateTransfer(TComTransfer*& Transfer);
    static void FreeTransfer(TComTransfer*& Transfer);  // sets Transfer to none

    // Line status, for an open port only. Every ClearCommError also resets
    // the device's error word, so errors taken by one query are not seen by
    // the next.
    int32_t PendingInputCount();  // bytes in the input queue; code 10
    TComSignals ModemSignals();   // code 11
    TComErrors TakeLineErrors();  // code 10; parity only while Parity.Check

    // Code 1; also when another port object, of this process or another,
    // holds the same port open.
    virtual void OpenDevice();
    virtual void CloseDevice();  // closes the handle, if any
    // Queue sizes, line settings, timeouts, in this order.
    virtual void ApplyAllSettings();
    void ApplyLineSettings() override;  // code 7
    void ApplyTimeouts() override;      // code 8
    void ApplyBufferSizes() override;   // code 9

    HANDLE Handle() const { return FHandle.Get(); }
    const TComThread* EventThread() const { return FEventThread.get(); }  // none while closed or Events empty
    void SetDeviceCalls(const TComDeviceCalls& Calls) { FDeviceCalls = Calls; }

    TNotifyEvent OnAfterOpen;
    TNotifyEvent OnAfterClose;
    TNotifyEvent OnBeforeOpen;
    TNotifyEvent OnBeforeClose;
    TRxCharEvent OnRxChar;  // Count: the bytes waiting; raised only when bytes arrived
    TRxBufEvent OnRxBuf;    // never raised: received bytes wait in the input queue
    TNotifyEvent OnTxEmpty;
    TNotifyEvent OnBreak;
    TNotifyEvent OnRing;
    TComSignalEvent OnCTSChange;
    TComSignalEvent OnDSRChange;
    TComSignalEvent OnRLSDChange;
    TNotifyEvent OnRxFlag;
    TComErrorEvent OnError;
    TNotifyEvent OnRx80Full;

protected:
    // A port loaded as connected opens now; a failure goes to the
    // application's exception display and the port stays closed.
    void Loaded() override;

    // Call the handler when one is assigned.
    virtual void FireAfterClose();
    virtual void FireAfterOpen();
    virtual void FireBeforeClose();
    virtual void FireBeforeOpen();
    virtual void FireRxChar(int32_t Count);
    virtual void FireTxEmpty();
    virtual void FireBreak();
    virtual void FireRing();
    virtual void FireRxFlag();
    virtual void FireCTSChange(bool OnOff);
    virtual void FireDSRChange(bool OnOff);
    virtual void FireError(TComErrors Errors);
    virtual void FireRLSDChange(bool OnOff);
    virtual void FireRx80Full();

    // Gather an event's argument and fire it; the count and the line states
    // are measured when the step runs.
    void ProcessEvent(TComEvent Event);
    void ProcessRxChar();
    void ProcessCTSChange();
    void ProcessDSRChange();
    void ProcessRLSDChange();
    void ProcessError();
    void ProcessBeforeOpen();
    void ProcessAfterOpen();
    void ProcessBeforeClose();
    void ProcessAfterClose();

    // The notification window's procedure (main thread).
    LRESULT HandleEventMessage(HWND Window, UINT Message, WPARAM W, LPARAM L);

private:
    bool IsOpen() const { return FConnected && !IsLoading() && !IsDesigning(); }
    template <typename T>
    void ChangeLineSetting(T& Field, T Value);
    void StartEventThread();
    void StopEventThread();
    // The bytes waiting, with the error flags that the query took kept for
    // TakeLineErrors (a query of the port's own, not the caller's). Code 10.
    int32_t WaitingInput();
    bool ReadsReturnAtOnce() const;
    DWORD ClearErrors(COMSTAT& Status);
    void TakeClaim();  // code 1 when the port is held elsewhere

    std::unique_ptr<TComThread> FEventThread;  // owned
    bool FThreadCreated = false;
    TFileHandle FHandle;
    TMutexHandle FClaim;                            // the port's named object, held while open
    std::unique_ptr<TMessageWindow> FNotifyWindow;  // owned
    int FThreadPriority = THREAD_PRIORITY_NORMAL;
    bool FConnected = false;
    bool FClosing = false;
    TLineSettings FLine;
    std::string FPort = "COM1";
    TComEvents FEvents = kAllComEvents;
    TComParity FParity{this};
    TComFlowControl FFlowControl{this};
    TComTimeouts FTimeouts{this};
    TComBuffer FBuffer{this};
    TSyncMethod FSyncMethod = smThreadSync;
    TComSettingGroups FSettingGroups{sgBasic};
    TComDeviceCalls FDeviceCalls;
    TRxArrivals FRxArrivals;
    std::atomic<uint32_t> FTakenErrors{0};  // error flags that the port's own queries took, owed to TakeLineErrors
    std::atomic<uint32_t> FWrites{0};       // writes started, for the event thread's look
};

// The port as the window layout uses it.
class TComPort : public TCustomComPort {
public:
    using TCustomComPort::TCustomComPort;
};
