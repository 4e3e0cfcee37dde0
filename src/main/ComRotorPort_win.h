#pragma once
// The rotor on a COM port: the main window's serial port. Main thread only.
#include <cstdint>
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
    // The port's named rates as themselves, any other as its custom rate;
    // an open port takes it at once. Raises EComPort code 7 when the
    // device refuses it (the rate is kept, as for any setting).
    void SetBaudRate(uint32_t BitsPerSecond);

    bool Connected() override;
    void Write(const std::string& Bytes) override;
    std::string Read(int Count) override;
    void DropInput() override;

private:
    TComPort* const& FPort;
};
