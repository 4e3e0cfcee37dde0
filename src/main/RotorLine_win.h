#pragma once
// The line to the rotor: the COM port or, while an address is chosen, a TCP
// connection to it. Both media raise the same events (after open, after
// close, bytes received), which the window binds to the same handlers;
// the exchange sees only the line. Main thread only.
#include <string>

#include "main/ComRotorPort_win.h"
#include "main/RotorPort.h"
#include "main/TcpRotorPort_win.h"

class TRotorLine : public TRotorPort {
public:
    // Port is the window's slot for its serial port (ComRotorPort_win.h).
    explicit TRotorLine(TComPort* const& Port) : FCom(Port) {}

    // The medium from now on: Address ("HOST:PORT") over TCP, or the COM
    // port when it is empty. Call it while the line is closed.
    void Choose(const std::string& Address) { FAddress = Address; }
    bool Networked() const { return !FAddress.empty(); }
    // The COM port's name, or the address.
    std::string Name() const { return Networked() ? FAddress : FCom.Name(); }
    // Opens the COM port named ComPort, or starts connecting to the
    // address (TcpRotorPort_win.h tells how that ends). Raises what the
    // medium's open raises.
    void Open(const std::string& ComPort);
    // Closes the line, or ends an attempt to connect.
    void Close();
    // The COM port's speed, whichever medium is in use (a serial server
    // sets its own). Raises as TComRotorPort::SetBaudRate.
    void SetBaudRate(uint32_t BitsPerSecond) { FCom.SetBaudRate(BitsPerSecond); }
    TTcpRotorPort& Tcp() { return FTcp; }

    bool Connected() override { return Medium().Connected(); }
    void Write(const std::string& Bytes) override { Medium().Write(Bytes); }
    std::string Read(int Count) override { return Medium().Read(Count); }
    void DropInput() override { Medium().DropInput(); }

private:
    TRotorPort& Medium() { return Networked() ? static_cast<TRotorPort&>(FTcp) : FCom; }

    TComRotorPort FCom;
    TTcpRotorPort FTcp;
    std::string FAddress;
};
