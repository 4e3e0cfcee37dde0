#include "main/ComRotorPort_win.h"

#include "cport/CPort_win.h"
#include "cport/ComNames.h"

void TComRotorPort::Open(const std::string& Name) {
    FPort->SetPort(Name);
    FPort->Open();
}

void TComRotorPort::Close() {
    FPort->Close();
}

void TComRotorPort::SetBaudRate(uint32_t BitsPerSecond) {
    const std::string Text = std::to_string(BitsPerSecond);
    const TBaudRate Named = TextToBaudRate(Text);
    if (BaudRateToText(Named) == Text)
        return FPort->SetBaudRate(Named);
    FPort->SetCustomBaudRate(static_cast<int32_t>(BitsPerSecond));
    FPort->SetBaudRate(brCustom);
}

std::string TComRotorPort::Name() const {
    return FPort->Port();
}

bool TComRotorPort::Connected() {
    return FPort->Connected();
}

void TComRotorPort::Write(const std::string& Bytes) {
    FPort->WriteText(Bytes);
}

std::string TComRotorPort::Read(int Count) {
    std::string Bytes;
    FPort->ReadText(Bytes, Count);
    return Bytes;
}

void TComRotorPort::DropInput() {
    // Read, not purged: the port's count of announced bytes stays right.
    if (const int32_t Waiting = FPort->PendingInputCount(); Waiting > 0)
        Read(Waiting);
}
