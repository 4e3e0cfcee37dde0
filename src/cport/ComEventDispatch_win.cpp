// The port's event dispatch: an event's argument is gathered and its handler
// called, on the thread that the port's SyncMethod picks.
#include "cport/CPort_win.h"

#include "cport/ComEvents.h"
#include "framework/Application_win.h"

LRESULT TCustomComPort::HandleEventMessage(HWND Window, UINT Message, WPARAM W, LPARAM L) {
    if (Message != PortEventMessage)
        return DefWindowProcA(Window, Message, W, L);
    // Lets the event thread go back to waiting before the handler runs.
    if (InSendMessage())
        ReplyMessage(0);
    if (!FConnected)
        return 0;
    if (const auto Event = EventOfMaskBit(static_cast<uint32_t>(W)))
        Guarded([&] { ProcessEvent(*Event); });
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

namespace {
// Calls a handler when one is assigned.
template <typename THandler, typename... TArgs>
void Fire(const THandler& Handler, TArgs... Args) {
    if (Handler)
        Handler(Args...);
}
}  // namespace

void TCustomComPort::FireAfterClose() {
    Fire(OnAfterClose);
}
void TCustomComPort::FireAfterOpen() {
    Fire(OnAfterOpen);
}
void TCustomComPort::FireBeforeClose() {
    Fire(OnBeforeClose);
}
void TCustomComPort::FireBeforeOpen() {
    Fire(OnBeforeOpen);
}
void TCustomComPort::FireRxChar(int32_t Count) {
    Fire(OnRxChar, Count);
}
void TCustomComPort::FireTxEmpty() {
    Fire(OnTxEmpty);
}
void TCustomComPort::FireBreak() {
    Fire(OnBreak);
}
void TCustomComPort::FireRing() {
    Fire(OnRing);
}
void TCustomComPort::FireRxFlag() {
    Fire(OnRxFlag);
}
void TCustomComPort::FireCTSChange(bool OnOff) {
    Fire(OnCTSChange, OnOff);
}
void TCustomComPort::FireDSRChange(bool OnOff) {
    Fire(OnDSRChange, OnOff);
}
void TCustomComPort::FireError(TComErrors Errors) {
    Fire(OnError, Errors);
}
void TCustomComPort::FireRLSDChange(bool OnOff) {
    Fire(OnRLSDChange, OnOff);
}
void TCustomComPort::FireRx80Full() {
    Fire(OnRx80Full);
}
