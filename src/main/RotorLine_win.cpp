#include "main/RotorLine_win.h"

void TRotorLine::Open(const std::string& ComPort) {
    if (Networked())
        FTcp.Open(FAddress);
    else
        FCom.Open(ComPort);
}

void TRotorLine::Close() {
    if (Networked())
        FTcp.Close();
    else
        FCom.Close();
}
