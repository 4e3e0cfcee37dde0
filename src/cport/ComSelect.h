#pragma once
// The logic of a port-setting selector: which setting it offers, the list
// of choices for it, the value of the user's pick, and handing that value
// to a linked port. The combo box (ComComboBox_win.h) is its face.
// Main thread only.
#include <cstdint>
#include <string>

#include "cport/ComPortSettings.h"
#include "cport/ComTypes.h"
#include "framework/Strings.h"

// The setting that a selector offers.
enum TComProperty : uint8_t { cpNone, cpPort, cpBaudRate, cpDataBits, cpStopBits, cpParity, cpFlowControl };

class TComSelect {
public:
    // Items: the list to fill with the choices; not owned, outlives this.
    explicit TComSelect(TStrings& Items) : FItems(Items) {}

    TComProperty ComProperty() const { return FComProperty; }
    TComPortSettings* ComPort() const { return FComPort; }
    void SetComPort(TComPortSettings* Value) { FComPort = Value; }  // not owned; may be none
    bool AutoApply() const { return FAutoApply; }
    void SetAutoApply(bool Value) { FAutoApply = Value; }

    // Offers Property: the items become the machine's ports (cpPort), the
    // setting's names in ordinal order, or nothing (cpNone). The items are
    // cleared first, so when the port list cannot be read (EComPort code
    // 23) they stay empty.
    void FillItems(TComProperty Property);
    // Keeps the value that Text names for the offered setting (a port name
    // as it is); with AutoApply on, hands it to the port as ApplyToPort.
    void TakeText(const std::string& Text);
    // Writes the kept value into the linked port's setting, if a port is
    // linked. Raises what the port's setter raises.
    void ApplyToPort();
    // The item that names the linked port's current value (letter case
    // ignored), and keeps that value; -1 when there is no such item, no
    // port or no setting offered.
    int FindCurrentItem();

private:
    void Keep(const std::string& Text);
    std::string CurrentText();

    TStrings& FItems;
    TComProperty FComProperty = cpNone;
    TComPortSettings* FComPort = nullptr;  // not owned
    bool FAutoApply = false;
    // The kept value: only the one of the offered setting is used.
    std::string FPort;
    TBaudRate FBaudRate = brCustom;
    TDataBits FDataBits = dbFive;
    TStopBits FStopBits = sbOneStopBit;
    TParityBits FParity = prNone;
    TFlowControl FFlowControl = fcHardware;
};
