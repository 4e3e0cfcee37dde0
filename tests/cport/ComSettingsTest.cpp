// The setting objects and the device state built from them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cport/ComSettings.h"
#include "cport/DeviceState.h"

namespace {

// Records which groups of device settings the setting objects asked for.
class TRecordingPort : public TComSettingsOwner {
public:
    void ApplyLineSettings() override { Applied.push_back("line"); }
    void ApplyTimeouts() override { Applied.push_back("timeouts"); }
    void ApplyBufferSizes() override { Applied.push_back("buffer"); }
    std::vector<std::string> Applied;
};

using TGroups = std::vector<std::string>;

TEST(ComSettings, ChangedValueAppliesItsGroupOnceAndSameValueNothing) {
    TRecordingPort Port;
    TComTimeouts Timeouts(&Port);
    TComFlowControl Flow(&Port);
    TComParity Parity(&Port);
    TComBuffer Buffer(&Port);

    Timeouts.SetReadInterval(-1);  // initial value
    Flow.SetXonChar(17);
    Parity.SetBits(prNone);
    Buffer.SetInputSize(1024);
    EXPECT_EQ(Port.Applied, TGroups{});

    Timeouts.SetWriteTotalConstant(500);
    Flow.SetControlDTR(dtrEnable);
    Parity.SetCheck(true);
    Buffer.SetOutputSize(2048);
    EXPECT_EQ(Port.Applied, (TGroups{"timeouts", "line", "line", "buffer"}));
}

TEST(ComSettings, OddPositiveBufferSizeIsLoweredBySetterButNotByCopy) {
    TRecordingPort Port;
    TComBuffer Buffer(&Port);
    Buffer.SetInputSize(1025);
    Buffer.SetOutputSize(4095);
    EXPECT_EQ(Buffer.InputSize(), 1024);
    EXPECT_EQ(Buffer.OutputSize(), 4094);
    // 1024 was held already, but 1025 differs from it: the group is applied.
    EXPECT_EQ(Port.Applied, (TGroups{"buffer", "buffer"}));

    Buffer.SetInputSize(-3);
    EXPECT_EQ(Buffer.InputSize(), -3);

    TComBuffer Copy;
    Copy.Assign(Buffer);
    EXPECT_EQ(Copy.InputSize(), -3);
    EXPECT_EQ(Copy.OutputSize(), 4094);
}

TEST(ComSettings, AssignCopiesEveryFieldAndAppliesNothing) {
    TComFlowControl Source;
    Source.SetOutCTSFlow(true);
    Source.SetOutDSRFlow(true);
    Source.SetControlDTR(dtrHandshake);
    Source.SetControlRTS(rtsToggle);
    Source.SetXonXoffOut(true);
    Source.SetXonXoffIn(true);
    Source.SetDSRSensitivity(true);
    Source.SetTxContinueOnXoff(true);
    Source.SetXonChar('a');
    Source.SetXoffChar('b');

    TRecordingPort Port;
    TComFlowControl Target(&Port);
    Target.Assign(Source);
    EXPECT_EQ(Port.Applied, TGroups{});
    EXPECT_TRUE(Target.OutCTSFlow() && Target.OutDSRFlow() && Target.XonXoffOut() && Target.XonXoffIn() &&
                Target.DSRSensitivity() && Target.TxContinueOnXoff());
    EXPECT_EQ(Target.ControlDTR(), dtrHandshake);
    EXPECT_EQ(Target.ControlRTS(), rtsToggle);
    EXPECT_EQ(Target.XonChar(), 'a');
    EXPECT_EQ(Target.XoffChar(), 'b');
    EXPECT_EQ(Target.ComPort(), &Port);

    TComTimeouts Timeouts;
    Timeouts.SetReadTotalConstant(7);
    TComTimeouts TimeoutsCopy;
    TimeoutsCopy.Assign(Timeouts);
    EXPECT_EQ(TimeoutsCopy.ReadTotalConstant(), 7);

    TComParity Parity;
    Parity.SetBits(prMark);
    Parity.SetReplaceChar('?');
    TComParity ParityCopy;
    ParityCopy.Assign(Parity);
    EXPECT_EQ(ParityCopy.Bits(), prMark);
    EXPECT_EQ(ParityCopy.ReplaceChar(), '?');
}

TEST(ComSettings, AssignFromAnotherClassRaisesTheAssignmentError) {
    TComBuffer Buffer;
    TComParity Parity;
    try {
        Buffer.Assign(Parity);
        FAIL() << "no exception";
    } catch (const EConvertError& Error) {
        EXPECT_STREQ(Error.what(), "Cannot assign a TComParity to a TComBuffer");
    }
}

TEST(ComSettings, FlowControlPresetReadsFromTheHandshakeFields) {
    TComFlowControl Flow;
    EXPECT_EQ(Flow.FlowControl(), fcNone);
    Flow.SetControlRTS(rtsEnable);
    EXPECT_EQ(Flow.FlowControl(), fcCustom);
    Flow.SetControlRTS(rtsDisable);
    Flow.SetXonXoffIn(true);
    EXPECT_EQ(Flow.FlowControl(), fcCustom);  // one direction only
    Flow.SetXonXoffOut(true);
    EXPECT_EQ(Flow.FlowControl(), fcSoftware);
    // DTR, DSR and the characters play no part.
    Flow.SetControlDTR(dtrHandshake);
    Flow.SetOutDSRFlow(true);
    Flow.SetXonChar(1);
    EXPECT_EQ(Flow.FlowControl(), fcSoftware);
}

TEST(ComSettings, WritingAPresetSetsItsFieldsAndAlwaysApplies) {
    TRecordingPort Port;
    TComFlowControl Flow(&Port);
    Flow.SetControlDTR(dtrEnable);
    Flow.SetOutDSRFlow(true);
    Port.Applied.clear();

    Flow.SetFlowControl(fcHardware);
    EXPECT_EQ(Flow.ControlRTS(), rtsHandshake);
    EXPECT_TRUE(Flow.OutCTSFlow());
    EXPECT_FALSE(Flow.XonXoffIn() || Flow.XonXoffOut());
    EXPECT_EQ(Flow.ControlDTR(), dtrEnable);
    EXPECT_TRUE(Flow.OutDSRFlow());
    Flow.SetControlDTR(dtrHandshake);
    EXPECT_EQ(Flow.FlowControl(), fcHardware);

    Flow.SetFlowControl(fcSoftware);
    EXPECT_EQ(Flow.ControlRTS(), rtsDisable);
    EXPECT_FALSE(Flow.OutCTSFlow());
    EXPECT_TRUE(Flow.XonXoffIn() && Flow.XonXoffOut());

    Flow.SetFlowControl(fcCustom);  // changes nothing, applies all the same
    EXPECT_EQ(Flow.FlowControl(), fcSoftware);
    Flow.SetFlowControl(fcNone);
    EXPECT_FALSE(Flow.XonXoffIn() || Flow.XonXoffOut() || Flow.OutCTSFlow());
    EXPECT_EQ(Port.Applied, (TGroups{"line", "line", "line", "line", "line"}));
}

struct TDeviceState {
    TLineSettings Line;
    TComParity Parity;
    TComFlowControl Flow;
    TComBuffer Buffer;
    TDeviceControlBlock Build() const { return BuildDeviceControlBlock(Line, Parity, Flow, Buffer); }
};

TEST(DeviceState, InitialSettingsGive9600Baud8N1WithNoHandshake) {
    TDeviceState State;
    const TDeviceControlBlock Block = State.Build();
    EXPECT_EQ(Block.DCBlength, 28u);
    EXPECT_EQ(Block.BaudRate, 9600u);
    EXPECT_EQ(Block.Flags, 0x0001u);
    EXPECT_EQ(Block.XonLim, 256);
    EXPECT_EQ(Block.XoffLim, 256);
    EXPECT_EQ(Block.ByteSize, 8);
    EXPECT_EQ(Block.Parity, 0);
    EXPECT_EQ(Block.StopBits, 0);
    EXPECT_EQ(Block.XonChar, 17);
    EXPECT_EQ(Block.XoffChar, 19);
    EXPECT_EQ(Block.ErrorChar, 0);
    EXPECT_EQ(Block.EvtChar, 0);
    EXPECT_EQ(Block.wReserved, 0);
    EXPECT_EQ(Block.EofChar, 0);
    EXPECT_EQ(Block.wReserved1, 0);
}

TEST(DeviceState, EveryFlagHasItsBit) {
    struct TCase {
        const char* Name;
        void (*Set)(TDeviceState&);
        uint32_t Flags;
    };
    const TCase Cases[] = {
        {"Check", [](TDeviceState& S) { S.Parity.SetCheck(true); }, 0x0003},
        {"OutCTSFlow", [](TDeviceState& S) { S.Flow.SetOutCTSFlow(true); }, 0x0005},
        {"OutDSRFlow", [](TDeviceState& S) { S.Flow.SetOutDSRFlow(true); }, 0x0009},
        {"dtrEnable", [](TDeviceState& S) { S.Flow.SetControlDTR(dtrEnable); }, 0x0011},
        {"dtrHandshake", [](TDeviceState& S) { S.Flow.SetControlDTR(dtrHandshake); }, 0x0021},
        {"DSRSensitivity", [](TDeviceState& S) { S.Flow.SetDSRSensitivity(true); }, 0x0041},
        {"TxContinueOnXoff", [](TDeviceState& S) { S.Flow.SetTxContinueOnXoff(true); }, 0x0081},
        {"XonXoffOut", [](TDeviceState& S) { S.Flow.SetXonXoffOut(true); }, 0x0101},
        {"XonXoffIn", [](TDeviceState& S) { S.Flow.SetXonXoffIn(true); }, 0x0201},
        {"Check+Replace",
         [](TDeviceState& S) {
             S.Parity.SetCheck(true);
             S.Parity.SetReplace(true);
         },
         0x0403},
        {"Replace alone", [](TDeviceState& S) { S.Parity.SetReplace(true); }, 0x0001},
        {"DiscardNull", [](TDeviceState& S) { S.Line.DiscardNull = true; }, 0x0801},
        {"rtsEnable", [](TDeviceState& S) { S.Flow.SetControlRTS(rtsEnable); }, 0x1001},
        {"rtsHandshake", [](TDeviceState& S) { S.Flow.SetControlRTS(rtsHandshake); }, 0x2001},
        {"rtsToggle", [](TDeviceState& S) { S.Flow.SetControlRTS(rtsToggle); }, 0x3001},
        {"fcHardware", [](TDeviceState& S) { S.Flow.SetFlowControl(fcHardware); }, 0x2005},
        {"fcSoftware", [](TDeviceState& S) { S.Flow.SetFlowControl(fcSoftware); }, 0x0301},
    };
    for (const TCase& Case : Cases) {
        TDeviceState State;
        Case.Set(State);
        EXPECT_EQ(State.Build().Flags, Case.Flags) << Case.Name;
    }
}

TEST(DeviceState, ReplaceCharGoesOutOnlyWithParityCheckAndReplace) {
    TDeviceState State;
    State.Parity.SetReplaceChar('?');
    State.Parity.SetReplace(true);
    EXPECT_EQ(State.Build().ErrorChar, 0);
    State.Parity.SetCheck(true);
    EXPECT_EQ(State.Build().ErrorChar, '?');
}

TEST(DeviceState, LineValuesAndLimits) {
    TDeviceState State;
    State.Line.DataBits = dbFive;
    State.Line.StopBits = sbTwoStopBits;
    State.Line.EventChar = '\r';
    State.Parity.SetBits(prSpace);
    State.Flow.SetXonChar('Q');
    State.Flow.SetXoffChar('S');
    State.Buffer.SetInputSize(4098);
    const TDeviceControlBlock Block = State.Build();
    EXPECT_EQ(Block.ByteSize, 5);
    EXPECT_EQ(Block.StopBits, 2);
    EXPECT_EQ(Block.Parity, 4);
    EXPECT_EQ(Block.EvtChar, '\r');
    EXPECT_EQ(Block.XonChar, 'Q');
    EXPECT_EQ(Block.XoffChar, 'S');
    EXPECT_EQ(Block.XonLim, 1024);  // 4098 / 4, truncated
    EXPECT_EQ(Block.XoffLim, 1024);
}

TEST(DeviceState, EveryBaudRateHasTheNumberOfItsName) {
    const uint32_t Expected[] = {0,     110,   300,   600,    1200,   2400,   4800,   9600,
                                 14400, 19200, 38400, 56000,  57600,  115200, 128000, 256000};
    for (int Rate = br110; Rate <= br256000; ++Rate)
        EXPECT_EQ(BaudRateValue(static_cast<TBaudRate>(Rate), 1234), Expected[Rate]) << Rate;
    EXPECT_EQ(BaudRateValue(brCustom, 9600), 9600u);
    EXPECT_EQ(BaudRateValue(brCustom, 31250), 31250u);
}

TEST(DeviceState, TimeoutsKeepTheirBitPattern) {
    TComTimeouts Timeouts;
    TDeviceTimeouts Device = BuildDeviceTimeouts(Timeouts);
    EXPECT_EQ(Device.ReadIntervalTimeout, 0xFFFFFFFFu);
    EXPECT_EQ(Device.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(Device.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(Device.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(Device.WriteTotalTimeoutConstant, 1000u);
    Timeouts.SetReadTotalMultiplier(-2);
    Timeouts.SetReadTotalConstant(50);
    EXPECT_EQ(BuildDeviceTimeouts(Timeouts).ReadTotalTimeoutMultiplier, 0xFFFFFFFEu);
    EXPECT_EQ(BuildDeviceTimeouts(Timeouts).ReadTotalTimeoutConstant, 50u);
}

}  // namespace
