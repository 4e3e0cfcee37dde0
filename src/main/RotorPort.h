#pragma once
// What the rotor exchange needs of the line to its controller, whatever
// carries the bytes: a COM port, a TCP connection (one file per medium,
// RotorLine_win.h chooses). Main thread only.
#include <string>

class TRotorPort {
public:
    virtual ~TRotorPort() = default;
    virtual bool Connected() = 0;
    virtual void Write(const std::string& Bytes) = 0;  // raises on failure
    virtual std::string Read(int Count) = 0;           // at most Count bytes
    // Drops the bytes received and not read yet: what is read next
    // arrives from now on. Raises as Read.
    virtual void DropInput() = 0;
};
