#pragma once
// The four setting objects that a port owns: timeouts, flow control, parity
// and queue sizes. A setter that changes a value asks the owning port, if
// there is one, to re-apply its group of device settings; a setter given the
// value already held does nothing. Copying (Assign) writes the fields
// directly and applies nothing. Main thread only.
#include <cstdint>
#include <string>

#include "cport/ComTypes.h"
#include "framework/Persistent.h"

// What a setting object asks of the port that owns it. Each operation does
// nothing unless the port is open, and raises EComPort when the device
// refuses the settings.
class TComSettingsOwner {
public:
    virtual void ApplyLineSettings() = 0;
    virtual void ApplyTimeouts() = 0;
    virtual void ApplyBufferSizes() = 0;

protected:
    ~TComSettingsOwner() = default;
};

class TComSetting : public TPersistent {
public:
    TComSetting(const TComSetting&) = delete;
    TComSetting& operator=(const TComSetting&) = delete;
    TComSettingsOwner* ComPort() const { return FComPort; }

protected:
    explicit TComSetting(TComSettingsOwner* AComPort) : FComPort(AComPort) {}
    using TApply = void (TComSettingsOwner::*)();
    // Stores Value when it differs from Field, then applies through the owner.
    template <typename T>
    void Change(T& Field, T Value, TApply Apply) {
        if (Field == Value)
            return;
        Field = Value;
        Reapply(Apply);
    }
    void Reapply(TApply Apply) {
        if (FComPort)
            (FComPort->*Apply)();
    }

private:
    TComSettingsOwner* FComPort;  // not owned; none for a stand-alone object
};

// Milliseconds, in the order of the fields of COMMTIMEOUTS; -1 is MAXDWORD.
class TComTimeouts : public TComSetting {
public:
    explicit TComTimeouts(TComSettingsOwner* AComPort = nullptr) : TComSetting(AComPort) {}
    std::string ClassName() const override { return "TComTimeouts"; }
    void Assign(const TPersistent& Source) override;

    int32_t ReadInterval() const { return FReadInterval; }
    int32_t ReadTotalMultiplier() const { return FReadTotalMultiplier; }
    int32_t ReadTotalConstant() const { return FReadTotalConstant; }
    int32_t WriteTotalMultiplier() const { return FWriteTotalMultiplier; }
    int32_t WriteTotalConstant() const { return FWriteTotalConstant; }
    void SetReadInterval(int32_t Value) { Change(FReadInterval, Value, &TComSettingsOwner::ApplyTimeouts); }
    void SetReadTotalMultiplier(int32_t Value) {
        Change(FReadTotalMultiplier, Value, &TComSettingsOwner::ApplyTimeouts);
    }
    void SetReadTotalConstant(int32_t Value) { Change(FReadTotalConstant, Value, &TComSettingsOwner::ApplyTimeouts); }
    void SetWriteTotalMultiplier(int32_t Value) {
        Change(FWriteTotalMultiplier, Value, &TComSettingsOwner::ApplyTimeouts);
    }
    void SetWriteTotalConstant(int32_t Value) {
        Change(FWriteTotalConstant, Value, &TComSettingsOwner::ApplyTimeouts);
    }

private:
    int32_t FReadInterval = -1;
    int32_t FReadTotalMultiplier = 0;
    int32_t FReadTotalConstant = 0;
    int32_t FWriteTotalMultiplier = 100;
    int32_t FWriteTotalConstant = 1000;
};

class TComFlowControl : public TComSetting {
public:
    explicit TComFlowControl(TComSettingsOwner* AComPort = nullptr) : TComSetting(AComPort) {}
    std::string ClassName() const override { return "TComFlowControl"; }
    void Assign(const TPersistent& Source) override;

    // The preset that the handshake fields amount to; it has no storage.
    TFlowControl FlowControl() const;
    // Writes the handshake fields of a preset (fcCustom writes none) and
    // re-applies the line settings whatever changed.
    void SetFlowControl(TFlowControl Value);

    bool OutCTSFlow() const { return FOutCTSFlow; }
    bool OutDSRFlow() const { return FOutDSRFlow; }
    TDTRFlowControl ControlDTR() const { return FControlDTR; }
    TRTSFlowControl ControlRTS() const { return FControlRTS; }
    bool XonXoffOut() const { return FXonXoffOut; }
    bool XonXoffIn() const { return FXonXoffIn; }
    bool DSRSensitivity() const { return FDSRSensitivity; }
    bool TxContinueOnXoff() const { return FTxContinueOnXoff; }
    char XonChar() const { return FXonChar; }
    char XoffChar() const { return FXoffChar; }
    void SetOutCTSFlow(bool Value) { Change(FOutCTSFlow, Value, kApply); }
    void SetOutDSRFlow(bool Value) { Change(FOutDSRFlow, Value, kApply); }
    void SetControlDTR(TDTRFlowControl Value) { Change(FControlDTR, Value, kApply); }
    void SetControlRTS(TRTSFlowControl Value) { Change(FControlRTS, Value, kApply); }
    void SetXonXoffOut(bool Value) { Change(FXonXoffOut, Value, kApply); }
    void SetXonXoffIn(bool Value) { Change(FXonXoffIn, Value, kApply); }
    void SetDSRSensitivity(bool Value) { Change(FDSRSensitivity, Value, kApply); }
    void SetTxContinueOnXoff(bool Value) { Change(FTxContinueOnXoff, Value, kApply); }
    void SetXonChar(char Value) { Change(FXonChar, Value, kApply); }
    void SetXoffChar(char Value) { Change(FXoffChar, Value, kApply); }

private:
    static constexpr TApply kApply = &TComSettingsOwner::ApplyLineSettings;
    bool FOutCTSFlow = false;
    bool FOutDSRFlow = false;
    TDTRFlowControl FControlDTR = dtrDisable;
    TRTSFlowControl FControlRTS = rtsDisable;
    bool FXonXoffOut = false;
    bool FXonXoffIn = false;
    bool FDSRSensitivity = false;
    bool FTxContinueOnXoff = false;
    char FXonChar = 17;   // DC1
    char FXoffChar = 19;  // DC3
};

class TComParity : public TComSetting {
public:
    explicit TComParity(TComSettingsOwner* AComPort = nullptr) : TComSetting(AComPort) {}
    std::string ClassName() const override { return "TComParity"; }
    void Assign(const TPersistent& Source) override;

    TParityBits Bits() const { return FBits; }
    bool Check() const { return FCheck; }      // the device checks received parity
    bool Replace() const { return FReplace; }  // a byte with a parity error is replaced...
    char ReplaceChar() const { return FReplaceChar; }  // ...by this one
    void SetBits(TParityBits Value) { Change(FBits, Value, kApply); }
    void SetCheck(bool Value) { Change(FCheck, Value, kApply); }
    void SetReplace(bool Value) { Change(FReplace, Value, kApply); }
    void SetReplaceChar(char Value) { Change(FReplaceChar, Value, kApply); }

private:
    static constexpr TApply kApply = &TComSettingsOwner::ApplyLineSettings;
    TParityBits FBits = prNone;
    bool FCheck = false;
    bool FReplace = false;
    char FReplaceChar = 0;
};

// Recommended sizes of the driver's receive and transmit queues, in bytes.
class TComBuffer : public TComSetting {
public:
    explicit TComBuffer(TComSettingsOwner* AComPort = nullptr) : TComSetting(AComPort) {}
    std::string ClassName() const override { return "TComBuffer"; }
    void Assign(const TPersistent& Source) override;

    int32_t InputSize() const { return FInputSize; }
    int32_t OutputSize() const { return FOutputSize; }
    // An odd positive size is lowered by one (1025 becomes 1024).
    void SetInputSize(int32_t Value) { SetSize(FInputSize, Value); }
    void SetOutputSize(int32_t Value) { SetSize(FOutputSize, Value); }

private:
    void SetSize(int32_t& Field, int32_t Value);
    int32_t FInputSize = 1024;
    int32_t FOutputSize = 1024;
};
