#include "cport/ComComboBox_win.h"

#include "cport/ComPorts.h"

TComComboBox::TComComboBox(TComponent* AOwner) : TComboBox(AOwner), FSelect(Items()) {}

void TComComboBox::SetComPort(TCustomComPort* Value) {
    if (Value == FComPort)
        return;
    if (FComPort)
        RemoveFreeNotification(FComPort);
    FComPort = Value;
    FSelect.SetComPort(Value);
    if (!Value)
        return;
    FreeNotification(Value);
    ShowPortValue();
}

void TComComboBox::SetComProperty(TComProperty Value) {
    FSelect.FillItems(Value);
    if (Items().Count() == 0)
        return;
    SetItemIndex(FComPort ? FSelect.FindCurrentItem() : 0);
}

void TComComboBox::ShowPortValue() {
    SetItemIndex(FSelect.FindCurrentItem());
}

void TComComboBox::Change() {
    FSelect.TakeText(Text());
    TComboBox::Change();
}

void TComComboBox::DropDown() {
    if (ComProperty() != cpPort)
        return;
    const std::string Chosen = Text();
    ListSerialPorts(Items());
    SetItemIndex(Items().IndexOf(Chosen));
}

void TComComboBox::Notification(TComponent* AComponent, TOperation Operation) {
    TComboBox::Notification(AComponent, Operation);
    if (Operation != opRemove || AComponent != FComPort || !FComPort)
        return;
    FComPort = nullptr;
    FSelect.SetComPort(nullptr);
    if (Items().Count() > 0)
        SetItemIndex(0);
}
