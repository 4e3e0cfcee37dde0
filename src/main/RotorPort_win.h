#pragma once
// The rotor exchange's port: the main window's serial port. Main thread only.
#include "main/RotorPort.h"

class TComPort;

class TComRotorPort : public TRotorPort {
public:
    // Port is the window's slot for its port, filled once its components exist.
    explicit TComRotorPort(TComPort* const& Port) : FPort(Port) {}

    bool Connected() override;
    void Write(const std::string& Bytes) override;
    std::string Read(int Count) override;

private:
    TComPort* const& FPort;
};
