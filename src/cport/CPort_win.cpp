// The port's settings, opening and closing; its transfers, line status and
// event dispatch live in ComTransfers_win.cpp, ComLineStatus_win.cpp and
// ComEventDispatch_win.cpp.
#include "cport/CPort_win.h"

#include <cctype>
#include <cstddef>
#include <cstring>

#include "cport/ComLastError_win.h"
#include "cport/ComThread_win.h"
#include "framework/Application_win.h"

namespace {
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

// The name of a port's claim: one per port, however its name is spelt.
std::string ClaimName(const std::string& Port) {
    std::string Name = "Global\\TComPort ";  // no backslash may follow the namespace's
    for (char Char : Port)
        Name += Char == '\\' ? '/' : static_cast<char>(std::toupper(static_cast<unsigned char>(Char)));
    return Name;
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
}  // namespace

TCustomComPort::TCustomComPort(TComponent* AOwner) : TComponent(AOwner) {}

TCustomComPort::~TCustomComPort() {
    Destroying();
    Guarded([this] { Close(); });
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
        FNotifyWindow = std::make_unique<TMessageWindow>([this](HWND Window, UINT Message, WPARAM W, LPARAM L) {
            return HandleEventMessage(Window, Message, W, L);
        });
    FEventThread = std::make_unique<TComThread>(TComThreadPort{
        .Device = FHandle.Get(),
        .Events = FEvents,
        .InputSize = FBuffer.InputSize(),
        .Priority = FThreadPriority,
        .SyncMethod = FSyncMethod,
        .NotifyWindow = FNotifyWindow ? FNotifyWindow->Handle() : nullptr,
        .Calls = FDeviceCalls,
        .Arrivals = FRxArrivals,
        .TakenErrors = FTakenErrors,
        .Writes = FWrites,
        .ClearErrors = [this](COMSTAT& Status) { return ClearErrors(Status); },
        .ProcessEvent = [this](TComEvent Event) { ProcessEvent(Event); },
    });
}

void TCustomComPort::StopEventThread() {
    // The thread ends before its window goes: it may be sending to it.
    FEventThread.reset();
    FNotifyWindow.reset();
    FThreadCreated = false;
}

void TCustomComPort::OpenDevice() {
    TakeClaim();
    const HANDLE Device = CreateFileA(DevicePath(FPort).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (Device == INVALID_HANDLE_VALUE) {
        const DWORD Error = GetLastError();
        FClaim.Reset();
        throw EComPort(ecOpen, static_cast<int32_t>(Error));
    }
    FHandle.Reset(Device);
}

void TCustomComPort::TakeClaim() {
    // Windows refuses a second open of a port, Wine lets two programs open
    // it and garble each other's frames: a named object per port, held while
    // the port is open, refuses the second one on both.
    SetLastError(ERROR_SUCCESS);
    FClaim.Reset(CreateMutexA(nullptr, FALSE, ClaimName(FPort).c_str()));
    if (!FClaim)
        RaiseLastError(ecOpen);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        FClaim.Reset();
        throw EComPort(ecOpen, ERROR_ACCESS_DENIED);  // as Windows refuses a port in use
    }
}

void TCustomComPort::CloseDevice() {
    FHandle.Reset();
    FClaim.Reset();
}

void TCustomComPort::Loaded() {
    TComponent::Loaded();
    if (!FConnected || IsDesigning())
        return;
    FConnected = false;
    Guarded([this] { Open(); });
}
