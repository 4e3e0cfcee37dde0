#pragma once
// A drop-down list that offers one setting of a serial port (its name, baud
// rate, data bits, stop bits, parity or flow-control preset) and can hand
// the user's pick to a linked port. Selecting from code (ComProperty,
// ComPort, Text, ItemIndex) raises no OnChange. Main thread only.
#include "cport/CPort_win.h"
#include "cport/ComSelect.h"
#include "framework/Controls_win.h"

class TComComboBox : public TComboBox {
public:
    explicit TComComboBox(TComponent* AOwner);

    // The port whose setting the box shows and, with AutoApply, sets; not
    // owned. Linking selects the port's current value (nothing when it is
    // not listed); when the port is destroyed the box unlinks itself and
    // selects its first item.
    TCustomComPort* ComPort() const { return FComPort; }
    void SetComPort(TCustomComPort* Value);
    // Fills the items for the setting (the machine's ports, or the
    // setting's names) and selects the linked port's value, or the first
    // item when no port is linked. Raises EComPort code 23 when the port
    // list cannot be read; the box is then empty.
    TComProperty ComProperty() const { return FSelect.ComProperty(); }
    void SetComProperty(TComProperty Value);
    // With AutoApply on, the user's pick reaches the linked port before
    // OnChange runs.
    bool AutoApply() const { return FSelect.AutoApply(); }
    void SetAutoApply(bool Value) { FSelect.SetAutoApply(Value); }
    // Selects the item of the linked port's current value; none when the
    // value is not listed.
    void ShowPortValue();

protected:
    // The user's pick: kept (and with AutoApply applied; what the port's
    // setter raises leaves here before OnChange), then OnChange.
    void Change() override;
    // The ports are listed again each time the list opens, so that an
    // adapter plugged in later is offered without a restart; the chosen
    // port stays chosen while it is listed. Raises as ListSerialPorts; the
    // items are then unchanged.
    void DropDown() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TComSelect FSelect;
    TCustomComPort* FComPort = nullptr;  // not owned; also the selector's
};
