#pragma once
// The settings of a port as a selector and a settings store see them: read
// and written through the port's own setters, so that an open port takes a
// new value at once (and a new name re-opens it). TCustomComPort
// (CPort_win.h) is the one real implementation; keeping the selector and
// the store on this interface keeps them free of the platform.
#include <cstdint>
#include <string>

#include "cport/ComSettings.h"
#include "cport/ComTypes.h"

class TComPortSettings {
public:
    virtual const std::string& Port() const = 0;
    virtual void SetPort(const std::string& Value) = 0;
    virtual TBaudRate BaudRate() const = 0;
    virtual void SetBaudRate(TBaudRate Value) = 0;
    virtual int32_t CustomBaudRate() const = 0;
    virtual void SetCustomBaudRate(int32_t Value) = 0;
    virtual TStopBits StopBits() const = 0;
    virtual void SetStopBits(TStopBits Value) = 0;
    virtual TDataBits DataBits() const = 0;
    virtual void SetDataBits(TDataBits Value) = 0;
    virtual bool DiscardNull() const = 0;
    virtual void SetDiscardNull(bool Value) = 0;
    virtual char EventChar() const = 0;
    virtual void SetEventChar(char Value) = 0;
    // The owned setting objects; their setters reach the port.
    virtual TComBuffer& Buffer() = 0;
    virtual TComParity& Parity() = 0;
    virtual TComTimeouts& Timeouts() = 0;
    virtual TComFlowControl& FlowControl() = 0;

protected:
    ~TComPortSettings() = default;
};
