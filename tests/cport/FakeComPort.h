#pragma once
// A port for the portable tests: its settings are plain fields, and every
// setter call (of the port or of a setting object through the port's apply
// requests) is logged, so a test sees what was handed to the port and when.
#include <string>
#include <vector>

#include "cport/ComPortSettings.h"

class TFakeComPort : public TComPortSettings, public TComSettingsOwner {
public:
    const std::string& Port() const override { return FPort; }
    void SetPort(const std::string& Value) override { Set("Port", FPort, Value); }
    TBaudRate BaudRate() const override { return FBaudRate; }
    void SetBaudRate(TBaudRate Value) override { Set("BaudRate", FBaudRate, Value); }
    int32_t CustomBaudRate() const override { return FCustomBaudRate; }
    void SetCustomBaudRate(int32_t Value) override { Set("CustomBaudRate", FCustomBaudRate, Value); }
    TStopBits StopBits() const override { return FStopBits; }
    void SetStopBits(TStopBits Value) override { Set("StopBits", FStopBits, Value); }
    TDataBits DataBits() const override { return FDataBits; }
    void SetDataBits(TDataBits Value) override { Set("DataBits", FDataBits, Value); }
    bool DiscardNull() const override { return FDiscardNull; }
    void SetDiscardNull(bool Value) override { Set("DiscardNull", FDiscardNull, Value); }
    char EventChar() const override { return FEventChar; }
    void SetEventChar(char Value) override { Set("EventChar", FEventChar, Value); }
    TComBuffer& Buffer() override { return FBuffer; }
    TComParity& Parity() override { return FParity; }
    TComTimeouts& Timeouts() override { return FTimeouts; }
    TComFlowControl& FlowControl() override { return FFlowControl; }

    // Changes that the setting objects reported, by group.
    void ApplyLineSettings() override { Log.push_back("line"); }
    void ApplyTimeouts() override { Log.push_back("timeouts"); }
    void ApplyBufferSizes() override { Log.push_back("buffer"); }

    std::vector<std::string> Log;

private:
    template <typename T>
    void Set(const char* Name, T& Field, T Value) {
        Log.push_back(Name);
        Field = Value;
    }

    std::string FPort = "COM1";
    TBaudRate FBaudRate = br9600;
    int32_t FCustomBaudRate = 9600;
    TStopBits FStopBits = sbOneStopBit;
    TDataBits FDataBits = dbEight;
    bool FDiscardNull = false;
    char FEventChar = 0;
    TComParity FParity{this};
    TComFlowControl FFlowControl{this};
    TComTimeouts FTimeouts{this};
    TComBuffer FBuffer{this};
};
