#include "cport/ComSettings.h"

// Assign: only a source of the same class is accepted; the fields are
// written directly, so nothing is applied and odd sizes stay odd.

void TComTimeouts::Assign(const TPersistent& Source) {
    const auto* From = dynamic_cast<const TComTimeouts*>(&Source);
    if (!From)
        AssignError(Source);
    FReadInterval = From->FReadInterval;
    FReadTotalMultiplier = From->FReadTotalMultiplier;
    FReadTotalConstant = From->FReadTotalConstant;
    FWriteTotalMultiplier = From->FWriteTotalMultiplier;
    FWriteTotalConstant = From->FWriteTotalConstant;
}

void TComFlowControl::Assign(const TPersistent& Source) {
    const auto* From = dynamic_cast<const TComFlowControl*>(&Source);
    if (!From)
        AssignError(Source);
    FOutCTSFlow = From->FOutCTSFlow;
    FOutDSRFlow = From->FOutDSRFlow;
    FControlDTR = From->FControlDTR;
    FControlRTS = From->FControlRTS;
    FXonXoffOut = From->FXonXoffOut;
    FXonXoffIn = From->FXonXoffIn;
    FDSRSensitivity = From->FDSRSensitivity;
    FTxContinueOnXoff = From->FTxContinueOnXoff;
    FXonChar = From->FXonChar;
    FXoffChar = From->FXoffChar;
}

TFlowControl TComFlowControl::FlowControl() const {
    const bool Xon = FXonXoffIn || FXonXoffOut;
    if (FControlRTS == rtsHandshake && FOutCTSFlow && !Xon)
        return fcHardware;
    if (FControlRTS == rtsDisable && !FOutCTSFlow && FXonXoffIn && FXonXoffOut)
        return fcSoftware;
    if (FControlRTS == rtsDisable && !FOutCTSFlow && !Xon)
        return fcNone;
    return fcCustom;
}

void TComFlowControl::SetFlowControl(TFlowControl Value) {
    if (Value != fcCustom) {
        FControlRTS = Value == fcHardware ? rtsHandshake : rtsDisable;
        FOutCTSFlow = Value == fcHardware;
        FXonXoffIn = FXonXoffOut = Value == fcSoftware;
    }
    Reapply(kApply);
}

void TComParity::Assign(const TPersistent& Source) {
    const auto* From = dynamic_cast<const TComParity*>(&Source);
    if (!From)
        AssignError(Source);
    FBits = From->FBits;
    FCheck = From->FCheck;
    FReplace = From->FReplace;
    FReplaceChar = From->FReplaceChar;
}

void TComBuffer::Assign(const TPersistent& Source) {
    const auto* From = dynamic_cast<const TComBuffer*>(&Source);
    if (!From)
        AssignError(Source);
    FInputSize = From->FInputSize;
    FOutputSize = From->FOutputSize;
}

void TComBuffer::SetSize(int32_t& Field, int32_t Value) {
    if (Field == Value)
        return;
    Field = Value > 0 && Value % 2 != 0 ? Value - 1 : Value;
    Reapply(&TComSettingsOwner::ApplyBufferSizes);
}
