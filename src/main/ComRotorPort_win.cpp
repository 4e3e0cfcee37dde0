#include "main/ComRotorPort_win.h"

#include "cport/CPort_win.h"

void TComRotorPort::Open(const std::string& Name) {
    FPort->SetPort(Name);
    FPort->Open();
}

void TComRotorPort::Close() {
    FPort->Close();
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
