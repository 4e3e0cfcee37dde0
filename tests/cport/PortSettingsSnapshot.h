#pragma once
// Every setting that the settings store covers, read from a port at once,
// so that tests compare two ports, or a port before and after, in one step.
#include <cstdint>
#include <ostream>
#include <string>
#include <tuple>

#include "cport/ComPortSettings.h"

struct TPortSettingsSnapshot {
    std::string Port;
    int BaudRate, CustomBaudRate, StopBits, DataBits, Parity, FlowControl;
    int EventChar, DiscardNull;
    int Check, Replace, ReplaceChar;
    int32_t OutputSize, InputSize;
    int32_t ReadInterval, ReadTotalConstant, ReadTotalMultiplier, WriteTotalConstant, WriteTotalMultiplier;
    int ControlRTS, ControlDTR, DSRSensitivity, OutCTSFlow, OutDSRFlow, TxContinueOnXoff, XonXoffIn, XonXoffOut;
    int XoffChar, XonChar;

    auto Tie() const {
        return std::tie(Port, BaudRate, CustomBaudRate, StopBits, DataBits, Parity, FlowControl, EventChar,
                        DiscardNull, Check, Replace, ReplaceChar, OutputSize, InputSize, ReadInterval,
                        ReadTotalConstant, ReadTotalMultiplier, WriteTotalConstant, WriteTotalMultiplier,
                        ControlRTS, ControlDTR, DSRSensitivity, OutCTSFlow, OutDSRFlow, TxContinueOnXoff,
                        XonXoffIn, XonXoffOut, XoffChar, XonChar);
    }
    friend bool operator==(const TPortSettingsSnapshot& A, const TPortSettingsSnapshot& B) {
        return A.Tie() == B.Tie();
    }
    friend std::ostream& operator<<(std::ostream& Out, const TPortSettingsSnapshot& S) {
        Out << S.Port << " rate " << S.BaudRate << "/" << S.CustomBaudRate << " stop " << S.StopBits << " data "
            << S.DataBits << " parity " << S.Parity << " flow " << S.FlowControl << " event " << S.EventChar
            << " null " << S.DiscardNull << " check " << S.Check << " replace " << S.Replace << "/"
            << S.ReplaceChar << " buffers " << S.OutputSize << "/" << S.InputSize << " timeouts "
            << S.ReadInterval << "," << S.ReadTotalConstant << "," << S.ReadTotalMultiplier << ","
            << S.WriteTotalConstant << "," << S.WriteTotalMultiplier << " rts " << S.ControlRTS << " dtr "
            << S.ControlDTR << " flags " << S.DSRSensitivity << S.OutCTSFlow << S.OutDSRFlow << S.TxContinueOnXoff
            << S.XonXoffIn << S.XonXoffOut << " xoff/xon " << S.XoffChar << "/" << S.XonChar;
        return Out;
    }
};

inline int Code(char C) {
    return static_cast<unsigned char>(C);
}

inline TPortSettingsSnapshot Snapshot(TComPortSettings& P) {
    TComParity& Pa = P.Parity();
    TComBuffer& B = P.Buffer();
    TComTimeouts& T = P.Timeouts();
    TComFlowControl& F = P.FlowControl();
    return {P.Port(),
            P.BaudRate(),
            P.CustomBaudRate(),
            P.StopBits(),
            P.DataBits(),
            Pa.Bits(),
            F.FlowControl(),
            Code(P.EventChar()),
            P.DiscardNull(),
            Pa.Check(),
            Pa.Replace(),
            Code(Pa.ReplaceChar()),
            B.OutputSize(),
            B.InputSize(),
            T.ReadInterval(),
            T.ReadTotalConstant(),
            T.ReadTotalMultiplier(),
            T.WriteTotalConstant(),
            T.WriteTotalMultiplier(),
            F.ControlRTS(),
            F.ControlDTR(),
            F.DSRSensitivity(),
            F.OutCTSFlow(),
            F.OutDSRFlow(),
            F.TxContinueOnXoff(),
            F.XonXoffIn(),
            F.XonXoffOut(),
            Code(F.XoffChar()),
            Code(F.XonChar())};
}

// Moves every setting away from its initial value, with the characters that
// need the "#" form and one that is "#" itself.
inline void ChangeEverySetting(TComPortSettings& P) {
    P.SetPort("COM10");
    P.SetBaudRate(brCustom);
    P.SetCustomBaudRate(31250);
    P.SetStopBits(sbTwoStopBits);
    P.SetDataBits(dbSeven);
    P.SetEventChar(13);
    P.SetDiscardNull(true);
    P.Parity().SetBits(prMark);
    P.Parity().SetCheck(true);
    P.Parity().SetReplace(true);
    P.Parity().SetReplaceChar('#');
    P.Buffer().SetOutputSize(4096);
    P.Buffer().SetInputSize(2048);
    P.Timeouts().SetReadInterval(50);
    P.Timeouts().SetReadTotalConstant(7);
    P.Timeouts().SetReadTotalMultiplier(3);
    P.Timeouts().SetWriteTotalConstant(-1);
    P.Timeouts().SetWriteTotalMultiplier(0);
    TComFlowControl& F = P.FlowControl();
    F.SetControlRTS(rtsToggle);
    F.SetControlDTR(dtrHandshake);
    F.SetDSRSensitivity(true);
    F.SetOutCTSFlow(true);
    F.SetOutDSRFlow(true);
    F.SetTxContinueOnXoff(true);
    F.SetXonXoffIn(true);
    F.SetXonXoffOut(false);
    F.SetXoffChar(static_cast<char>(200));
    F.SetXonChar('A');
}
