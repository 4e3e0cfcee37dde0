#include "cport/ComSelect.h"

#include "cport/ComNames.h"
#include "cport/ComPorts.h"

namespace {
template <size_t N>
void AddNames(TStrings& Items, const std::array<const char*, N>& Names) {
    for (const char* Name : Names)
        Items.Add(Name);
}
}  // namespace

void TComSelect::FillItems(TComProperty Property) {
    FComProperty = Property;
    FItems.Clear();
    switch (Property) {
        case cpNone:
            break;
        case cpPort:
            ListSerialPorts(FItems);
            break;
        case cpBaudRate:
            AddNames(FItems, kBaudRateNames);
            break;
        case cpDataBits:
            AddNames(FItems, kDataBitsNames);
            break;
        case cpStopBits:
            AddNames(FItems, kStopBitsNames);
            break;
        case cpParity:
            AddNames(FItems, kParityNames);
            break;
        case cpFlowControl:
            AddNames(FItems, kFlowControlNames);
            break;
    }
}

void TComSelect::TakeText(const std::string& Text) {
    Keep(Text);
    if (FAutoApply)
        ApplyToPort();
}

void TComSelect::Keep(const std::string& Text) {
    switch (FComProperty) {
        case cpNone:
            break;
        case cpPort:
            FPort = Text;
            break;
        case cpBaudRate:
            FBaudRate = TextToBaudRate(Text);
            break;
        case cpDataBits:
            FDataBits = TextToDataBits(Text);
            break;
        case cpStopBits:
            FStopBits = TextToStopBits(Text);
            break;
        case cpParity:
            FParity = TextToParity(Text);
            break;
        case cpFlowControl:
            FFlowControl = TextToFlowControl(Text);
            break;
    }
}

void TComSelect::ApplyToPort() {
    if (!FComPort)
        return;
    switch (FComProperty) {
        case cpNone:
            break;
        case cpPort:
            FComPort->SetPort(FPort);
            break;
        case cpBaudRate:
            FComPort->SetBaudRate(FBaudRate);
            break;
        case cpDataBits:
            FComPort->SetDataBits(FDataBits);
            break;
        case cpStopBits:
            FComPort->SetStopBits(FStopBits);
            break;
        case cpParity:
            FComPort->Parity().SetBits(FParity);
            break;
        case cpFlowControl:
            FComPort->FlowControl().SetFlowControl(FFlowControl);
            break;
    }
}

int TComSelect::FindCurrentItem() {
    if (!FComPort || FComProperty == cpNone)
        return -1;
    const int Index = FItems.IndexOf(CurrentText());
    if (Index >= 0)
        Keep(FItems.Strings(Index));
    return Index;
}

std::string TComSelect::CurrentText() {
    switch (FComProperty) {
        case cpPort:
            return FComPort->Port();
        case cpBaudRate:
            return BaudRateToText(FComPort->BaudRate());
        case cpDataBits:
            return DataBitsToText(FComPort->DataBits());
        case cpStopBits:
            return StopBitsToText(FComPort->StopBits());
        case cpParity:
            return ParityToText(FComPort->Parity().Bits());
        case cpFlowControl:
            return FlowControlToText(FComPort->FlowControl().FlowControl());
        case cpNone:
            break;
    }
    return "";
}
