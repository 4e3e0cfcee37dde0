#include "cport/CPort_win.h"

#include <cstddef>
#include <cstring>
#include <utility>

#include "cport/ComEvents.h"
#include "cport/ComThread_win.h"
#include "framework/Application_win.h"

namespace {
[[noreturn]] void RaiseLastError(TComErrorCode Code) {
    throw EComPort(Code, static_cast<int32_t>(GetLastError()));
}

// The portable block has the DCB's layout, its bit fields as one word.
DCB ToDcb(const TDeviceControlBlock& Block) {
    static_assert(sizeof(DCB) == sizeof(TDeviceControlBlock));
    static_assert(offsetof(DCB, BaudRate) == offsetof(TDeviceControlBlock, BaudRate));
    static_assert(offsetof(DCB, wReserved) == offsetof(TDeviceControlBlock, wReserved));
    static_assert(offsetof(DCB, XonLim) == offsetof(TDeviceControlBlock, XonLim));
    static_assert(offsetof(DCB, ByteSize) == offsetof(TDeviceControlBlock, ByteSize));
    static_assert(offsetof(DCB, EvtChar) == offsetof(TDeviceControlBlock, EvtChar));
    DCB Dcb;
    std::memcpy(&Dcb, &Block, sizeof Dcb);
    return Dcb;
}

// Keeps a flag set for as long as it lives.
class TFlagScope {
public:
    explicit TFlagScope(bool& Flag) : FFlag(Flag) { FFlag = true; }
    ~TFlagScope() { FFlag = false; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;

private:
    bool& FFlag;
};

// Frees a synchronous operation's transfer record however it ends.
class TTransferScope {
public:
    TTransferScope() { TCustomComPort::CreateTransfer(FTransfer); }
    ~TTransferScope() { TCustomComPort::FreeTransfer(FTransfer); }
    TTransferScope(const TTransferScope&) = delete;
    TTransferScope& operator=(const TTransferScope&) = delete;
    TComTransfer* Get() const { return FTransfer; }

private:
    TComTransfer* FTransfer = nullptr;
};
}  // namespace

TCustomComPort::TCustomComPort(TComponent* AOwner) : TComponent(AOwner) {}

TCustomComPort::~TCustomComPort() {
    Destroying();
    try {
        Close();
    } catch (...) {
        Application().HandleException(std::current_exception());
    }
    // A close that stopped half-way (a refused purge, a raising handler)
    // leaves the thread running: it must not outlive the port.
    StopEventThread();
    CloseDevice();
}

// ---- Settings ----

template <typename T>
void TCustomComPort::ChangeLineSetting(T& Field, T Value) {
    if (Field == Value)
        return;
    Field = Value;
    ApplyLineSettings();
}

void TCustomComPort::SetBaudRate(TBaudRate Value) {
    ChangeLineSetting(FLine.BaudRate, Value);
}
void TCustomComPort::SetCustomBaudRate(int32_t Value) {
    ChangeLineSetting(FLine.CustomBaudRate, Value);
}
void TCustomComPort::SetStopBits(TStopBits Value) {
    ChangeLineSetting(FLine.StopBits, Value);
}
void TCustomComPort::SetDataBits(TDataBits Value) {
    ChangeLineSetting(FLine.DataBits, Value);
}
void TCustomComPort::SetDiscardNull(bool Value) {
    ChangeLineSetting(FLine.DiscardNull, Value);
}
void TCustomComPort::SetEventChar(char Value) {
    ChangeLineSetting(FLine.EventChar, Value);
}

void TCustomComPort::SetBuffer(const TComBuffer& Value) {
    FBuffer.Assign(Value);
    ApplyBufferSizes();
}
void TCustomComPort::SetParity(const TComParity& Value) {
    FParity.Assign(Value);
    ApplyLineSettings();
}
void TCustomComPort::SetTimeouts(const TComTimeouts& Value) {
    FTimeouts.Assign(Value);
    ApplyTimeouts();
}
void TCustomComPort::SetFlowControl(const TComFlowControl& Value) {
    FFlowControl.Assign(Value);
    ApplyLineSettings();
}

void TCustomComPort::SetConnected(bool Value) {
    if (IsLoading() || IsDesigning())
        FConnected = Value;
    else if (Value != FConnected)
        Value ? Open() : Close();
}

void TCustomComPort::SetPort(const std::string& Value) {
    if (Value == FPort)
        return;
    FPort = Value;
    if (IsOpen()) {
        Close();
        Open();
    }
}

void TCustomComPort::SetSyncMethod(TSyncMethod Value) {
    if (Value == FSyncMethod)
        return;
    if (IsOpen())
        throw EComPort(ecConnectedProperty);
    FSyncMethod = Value;
}

void TCustomComPort::ApplyAllSettings() {
    ApplyBufferSizes();
    ApplyLineSettings();
    ApplyTimeouts();
}

void TCustomComPort::ApplyLineSettings() {
    if (!IsOpen())
        return;
    DCB Dcb = ToDcb(BuildDeviceControlBlock(FLine, FParity, FFlowControl, FBuffer));
    if (!FDeviceCalls.SetCommState(FHandle.Get(), &Dcb))
        RaiseLastError(ecSetState);
}

void TCustomComPort::ApplyTimeouts() {
    if (!IsOpen())
        return;
    const TDeviceTimeouts Device = BuildDeviceTimeouts(FTimeouts);
    COMMTIMEOUTS Timeouts{Device.ReadIntervalTimeout, Device.ReadTotalTimeoutMultiplier,
                          Device.ReadTotalTimeoutConstant, Device.WriteTotalTimeoutMultiplier,
                          Device.WriteTotalTimeoutConstant};
    if (!SetCommTimeouts(FHandle.Get(), &Timeouts))
        RaiseLastError(ecSetTimeouts);
}

void TCustomComPort::ApplyBufferSizes() {
    if (!IsOpen())
        return;
    if (!SetupComm(FHandle.Get(), static_cast<DWORD>(FBuffer.InputSize()), static_cast<DWORD>(FBuffer.OutputSize())))
        RaiseLastError(ecSetupComm);
}

// ---- Open and close ----

void TCustomComPort::Open() {
    if (FConnected || IsDesigning())
        return;
    ProcessBeforeOpen();
    OpenDevice();
    FConnected = true;
    FRxArrivals.Reset();
    FTakenErrors = 0;
    try {
        ApplyAllSettings();
        StartEventThread();
    } catch (...) {
        StopEventThread();
        CloseDevice();
        FConnected = false;
        throw;
    }
    ProcessAfterOpen();
}

void TCustomComPort::Close() {
    if (!FConnected || IsDesigning() || FClosing)
        return;
    // Handlers run while Close waits for the event thread; one of them may
    // close the port too.
    const TFlagScope Closing(FClosing);
    ProcessBeforeClose();
    CancelTransfers();
    StopEventThread();
    CloseDevice();
    FConnected = false;
    ProcessAfterClose();
}

void TCustomComPort::StartEventThread() {
    FThreadCreated = !FEvents.Empty();
    if (!FThreadCreated)
        return;
    if (FSyncMethod == smWindowSync)
        FNotifyWindow = std::make_unique<TMessageWindow>(
            [this](HWND Window, UINT Message, WPARAM W, LPARAM L) { return HandleEventMessage(Window, Message, W, L); });
    FEventThread = std::make_unique<TComThread>(*this);
}

void TCustomComPort::StopEventThread() {
    // The thread ends before its window goes: it may be sending to it.
    FEventThread.reset();
    FNotifyWindow.reset();
    FThreadCreated = false;
}

void TCustomComPort::OpenDevice() {
    const HANDLE Device = CreateFileA(DevicePath(FPort).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (Device == INVALID_HANDLE_VALUE)
        RaiseLastError(ecOpen);
    FHandle.Reset(Device);
}

void TCustomComPort::CloseDevice() {
    FHandle.Reset();
}

void TCustomComPort::Loaded() {
    TComponent::Loaded();
    if (!FConnected || IsDesigning())
        return;
    FConnected = false;
    try {
        Open();
    } catch (...) {
        Application().HandleException(std::current_exception());
    }
}

// ---- Transfers ----

void TCustomComPort::CreateTransfer(TComTransfer*& Transfer) {
    Transfer = new TComTransfer{};
    Transfer->Overlapped.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
}

void TCustomComPort::FreeTransfer(TComTransfer*& Transfer) {
    if (!Transfer)
        return;
    if (Transfer->Overlapped.hEvent)
        CloseHandle(Transfer->Overlapped.hEvent);
    delete Transfer;
    Transfer = nullptr;
}

int32_t TCustomComPort::WriteBufferAsync(const void* Buffer, int32_t Count, TComTransfer* Transfer) {
    if (!Transfer)
        throw EComPort(ecInvalidAsync);
    Transfer->Kind = tkWrite;
    ++FWrites;
    DWORD Written = 0;
    if (!WriteFile(FHandle.Get(), Buffer, static_cast<DWORD>(Count), &Written, &Transfer->Overlapped) &&
        GetLastError() != ERROR_IO_PENDING)
        RaiseLastError(ecWrite);
    return static_cast<int32_t>(Written);
}

int32_t TCustomComPort::WriteTextAsync(const std::string& Text, TComTransfer* Transfer) {
    if (Text.empty())
        return 0;
    return WriteBufferAsync(Text.data(), static_cast<int32_t>(Text.size()), Transfer);
}

int32_t TCustomComPort::ReadBufferAsync(void* Buffer, int32_t Count, TComTransfer* Transfer) {
    if (!Transfer)
        throw EComPort(ecInvalidAsync);
    Transfer->Kind = tkRead;
    Transfer->Counted = false;
    // With timeouts that say "return at once", Windows completes a read with
    // nothing waiting at once and empty; Wine leaves it pending until a byte
    // arrives. So with nothing waiting the record is completed here, empty.
    if (ReadsReturnAtOnce() && WaitingInput() == 0) {
        Transfer->Overlapped.Internal = 0;  // success
        Transfer->Overlapped.InternalHigh = 0;
        SetEvent(Transfer->Overlapped.hEvent);
        return 0;
    }
    DWORD Read = 0;
    if (ReadFile(FHandle.Get(), Buffer, static_cast<DWORD>(Count), &Read, &Transfer->Overlapped)) {
        // Done at once: the caller need not wait for it.
        FRxArrivals.Consumed(static_cast<int32_t>(Read));
        Transfer->Counted = true;
    } else if (GetLastError() != ERROR_IO_PENDING) {
        RaiseLastError(ecRead);
    }
    return static_cast<int32_t>(Read);
}

int32_t TCustomComPort::ReadTextAsync(std::string& Text, int32_t Count, TComTransfer* Transfer) {
    Text.assign(Count > 0 ? static_cast<size_t>(Count) : 0, '\0');
    if (Count <= 0)
        return 0;
    return ReadBufferAsync(Text.data(), Count, Transfer);
}

int32_t TCustomComPort::WaitForTransfer(TComTransfer* Transfer) {
    if (!Transfer)
        throw EComPort(ecInvalidAsync);
    DWORD Transferred = 0;
    if (WaitForSingleObject(Transfer->Overlapped.hEvent, INFINITE) != WAIT_OBJECT_0 ||
        !GetOverlappedResult(FHandle.Get(), &Transfer->Overlapped, &Transferred, FALSE))
        RaiseLastError(Transfer->Kind == tkWrite ? ecWrite : ecRead);
    if (Transfer->Kind == tkRead) {
        if (!std::exchange(Transfer->Counted, true))
            FRxArrivals.Consumed(static_cast<int32_t>(Transferred));
        PendingInputCount();  // resets the device's error word
    }
    return static_cast<int32_t>(Transferred);
}

int32_t TCustomComPort::WriteText(const std::string& Text) {
    TTransferScope Transfer;
    WriteTextAsync(Text, Transfer.Get());
    return WaitForTransfer(Transfer.Get());
}

int32_t TCustomComPort::ReadText(std::string& Text, int32_t Count) {
    TTransferScope Transfer;
    ReadTextAsync(Text, Count, Transfer.Get());
    const int32_t Read = WaitForTransfer(Transfer.Get());
    Text.resize(static_cast<size_t>(Read));
    return Read;
}

int32_t TCustomComPort::ReadBuffer(void* Buffer, int32_t Count) {
    TTransferScope Transfer;
    ReadBufferAsync(Buffer, Count, Transfer.Get());
    return WaitForTransfer(Transfer.Get());
}

void TCustomComPort::CancelTransfers() {
    if (!FDeviceCalls.PurgeComm(FHandle.Get(), PURGE_TXABORT | PURGE_RXABORT))
        RaiseLastError(ecPurge);
}

// ---- Line status ----

DWORD TCustomComPort::ClearErrors(COMSTAT& Status) {
    DWORD Errors = 0;
    if (!FDeviceCalls.ClearCommError(FHandle.Get(), &Errors, &Status))
        RaiseLastError(ecClearCommError);
    return Errors;
}

int32_t TCustomComPort::PendingInputCount() {
    COMSTAT Status{};
    ClearErrors(Status);
    return static_cast<int32_t>(Status.cbInQue);
}

TComErrors TCustomComPort::TakeLineErrors() {
    COMSTAT Status{};
    const DWORD Errors = ClearErrors(Status) | FTakenErrors.exchange(0);
    return ErrorWordToComErrors(Errors, FParity.Check());
}

TComSignals TCustomComPort::ModemSignals() {
    DWORD Status = 0;
    if (!GetCommModemStatus(FHandle.Get(), &Status))
        RaiseLastError(ecModemStatus);
    return ModemStatusToSignals(Status);
}

bool TCustomComPort::ReadsReturnAtOnce() const {
    return FTimeouts.ReadInterval() == -1 && FTimeouts.ReadTotalMultiplier() == 0 &&
           FTimeouts.ReadTotalConstant() == 0;
}

int32_t TCustomComPort::WaitingInput() {
    COMSTAT Status{};
    FTakenErrors.fetch_or(ClearErrors(Status));
    return static_cast<int32_t>(Status.cbInQue);
}

// ---- Events ----

LRESULT TCustomComPort::HandleEventMessage(HWND Window, UINT Message, WPARAM W, LPARAM L) {
    if (Message != PortEventMessage)
        return DefWindowProcA(Window, Message, W, L);
    // Lets the event thread go back to waiting before the handler runs.
    if (InSendMessage())
        ReplyMessage(0);
    if (!FConnected)
        return 0;
    try {
        if (const auto Event = EventOfMaskBit(static_cast<uint32_t>(W)))
            ProcessEvent(*Event);
    } catch (...) {
        Application().HandleException(std::current_exception());
    }
    return 0;
}

void TCustomComPort::ProcessEvent(TComEvent Event) {
    switch (Event) {
        case evRxChar:
            return ProcessRxChar();
        case evTxEmpty:
            return FireTxEmpty();
        case evRxFlag:
            return FireRxFlag();
        case evRing:
            return FireRing();
        case evBreak:
            return FireBreak();
        case evCTS:
            return ProcessCTSChange();
        case evDSR:
            return ProcessDSRChange();
        case evError:
            return ProcessError();
        case evRLSD:
            return ProcessRLSDChange();
        case evRx80Full:
            return FireRx80Full();
    }
}

void TCustomComPort::ProcessRxChar() {
    const int32_t Count = PendingInputCount();
    if (!FRxArrivals.Arrived(Count))
        return;
    FRxArrivals.Announce(Count);
    FireRxChar(Count);
}

void TCustomComPort::ProcessCTSChange() {
    FireCTSChange(ModemSignals().Contains(csCTS));
}

void TCustomComPort::ProcessDSRChange() {
    FireDSRChange(ModemSignals().Contains(csDSR));
}

void TCustomComPort::ProcessRLSDChange() {
    FireRLSDChange(ModemSignals().Contains(csRLSD));
}

void TCustomComPort::ProcessError() {
    const TComErrors Errors = TakeLineErrors();
    if (!Errors.Empty())
        FireError(Errors);
}

void TCustomComPort::ProcessBeforeOpen() {
    FireBeforeOpen();
}

void TCustomComPort::ProcessAfterOpen() {
    FireAfterOpen();
    ProcessCTSChange();
    ProcessDSRChange();
    ProcessRLSDChange();
}

void TCustomComPort::ProcessBeforeClose() {
    FireCTSChange(false);
    FireDSRChange(false);
    FireRLSDChange(false);
    FireBeforeClose();
}

void TCustomComPort::ProcessAfterClose() {
    FireAfterClose();
}

void TCustomComPort::FireAfterClose() {
    if (OnAfterClose)
        OnAfterClose();
}
void TCustomComPort::FireAfterOpen() {
    if (OnAfterOpen)
        OnAfterOpen();
}
void TCustomComPort::FireBeforeClose() {
    if (OnBeforeClose)
        OnBeforeClose();
}
void TCustomComPort::FireBeforeOpen() {
    if (OnBeforeOpen)
        OnBeforeOpen();
}
void TCustomComPort::FireRxChar(int32_t Count) {
    if (OnRxChar)
        OnRxChar(Count);
}
void TCustomComPort::FireTxEmpty() {
    if (OnTxEmpty)
        OnTxEmpty();
}
void TCustomComPort::FireBreak() {
    if (OnBreak)
        OnBreak();
}
void TCustomComPort::FireRing() {
    if (OnRing)
        OnRing();
}
void TCustomComPort::FireRxFlag() {
    if (OnRxFlag)
        OnRxFlag();
}
void TCustomComPort::FireCTSChange(bool OnOff) {
    if (OnCTSChange)
        OnCTSChange(OnOff);
}
void TCustomComPort::FireDSRChange(bool OnOff) {
    if (OnDSRChange)
        OnDSRChange(OnOff);
}
void TCustomComPort::FireError(TComErrors Errors) {
    if (OnError)
        OnError(Errors);
}
void TCustomComPort::FireRLSDChange(bool OnOff) {
    if (OnRLSDChange)
        OnRLSDChange(OnOff);
}
void TCustomComPort::FireRx80Full() {
    if (OnRx80Full)
        OnRx80Full();
}
