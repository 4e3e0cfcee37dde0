#include "main/RotorPort_win.h"

#include "cport/CPort_win.h"

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
