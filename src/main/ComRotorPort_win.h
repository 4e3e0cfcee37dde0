#pragma once
// The rotor on a COM port: the main window's serial port. Main thread only.
#include <string>

#include "main/RotorPort.h"

class TComPort;

class TComRotorPort : public TRotorPort {
public:
    // Port is the window's slot for its port, filled once its components exist.
    explicit TComRotorPort(TComPort* const& Port) : FPort(Port) {}

    // Opens the port named Name (nothing when it is open); raises EComPort.
    void Open(const std::string& Name);
    void Close();  // raises EComPort
    std::string Name() const;

    bool Connected() override;
    void Write(const std::string& Bytes) override;
    std::string Read(int Count) override;

private:
    TComPort* const& FPort;
};
