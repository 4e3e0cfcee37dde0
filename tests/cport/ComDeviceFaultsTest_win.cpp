// The port against faults that a pseudo-terminal cannot produce, through the
// device seam (TComDeviceCalls): the device control block as handed over, a
// refused SetCommState, a failing PurgeComm or ClearCommError. The port is
// otherwise the real one on a real pseudo-terminal port.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "SerialPorts_win.h"
#include "cport/CPort_win.h"
#include "framework/Application_win.h"

namespace {

using TLog = std::vector<std::string>;

// What the fakes do: fail with the given system error, or (0) succeed.
// SetCommState never reaches the terminal, which could not hold every
// setting; the other two pass on to the device.
struct TDeviceFaults {
    DWORD SetCommStateError = 0;
    DWORD PurgeCommError = 0;
    DWORD ClearCommErrorError = 0;
    DWORD LineErrors = 0;  // error flags that the next ClearCommError reports
    std::vector<DCB> Blocks;  // every block handed to SetCommState
};
TDeviceFaults Faults;

BOOL WINAPI FakeSetCommState(HANDLE, LPDCB Block) {
    Faults.Blocks.push_back(*Block);
    SetLastError(Faults.SetCommStateError);
    return Faults.SetCommStateError == 0;
}
BOOL WINAPI FakePurgeComm(HANDLE Device, DWORD Flags) {
    if (Faults.PurgeCommError == 0)
        return PurgeComm(Device, Flags);
    SetLastError(Faults.PurgeCommError);
    return FALSE;
}
BOOL WINAPI FakeClearCommError(HANDLE Device, LPDWORD Errors, LPCOMSTAT Status) {
    if (Faults.ClearCommErrorError == 0) {
        const BOOL Done = ClearCommError(Device, Errors, Status);
        *Errors |= std::exchange(Faults.LineErrors, 0);
        return Done;
    }
    SetLastError(Faults.ClearCommErrorError);
    return FALSE;
}

// The bit fields of a block, as one word.
uint32_t FlagWord(const DCB& Block) {
    uint32_t Flags;
    std::memcpy(&Flags, reinterpret_cast<const char*>(&Block) + offsetof(DCB, BaudRate) + sizeof Block.BaudRate,
                sizeof Flags);
    return Flags;
}

// "code N, system S: message" of the EComPort that Action raises.
template <typename TAction>
std::string RaisedError(TAction Action) {
    try {
        Action();
    } catch (const EComPort& Error) {
        return "code " + std::to_string(Error.ErrorCode()) + ", system " + std::to_string(Error.SystemErrorCode()) +
               ": " + Error.what();
    }
    return "nothing raised";
}

const TLog& ShownErrors = TErrorRecorder::Messages;

class ComDeviceFaultsTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetModemLines("");
        Faults = {};
        Port.SetPort(TestPortName());
        Port.SetDeviceCalls({&FakeSetCommState, &FakePurgeComm, &FakeClearCommError});
        Port.OnBeforeOpen = [this] { Events.push_back("BeforeOpen"); };
        Port.OnAfterOpen = [this] { Events.push_back("AfterOpen"); };
        Port.OnBeforeClose = [this] { Events.push_back("BeforeClose"); };
        Port.OnAfterClose = [this] { Events.push_back("AfterClose"); };
    }
    void TearDown() override { Faults = {}; }

    TErrorRecorder Dialogs;
    TPeer Peer;
    TLog Events;  // before the port, which raises close events as it goes
    TComPort Port{nullptr};
};

TEST_F(ComDeviceFaultsTest, TheBlockCarriesTheFlagWordAndTheXonXoffLimits) {
    Port.SetBaudRate(br600);
    Port.Open();
    ASSERT_EQ(Faults.Blocks.size(), 1u);
    const DCB& Initial = Faults.Blocks.back();
    EXPECT_EQ(Initial.DCBlength, 28u);
    EXPECT_EQ(Initial.BaudRate, 600u);
    EXPECT_EQ(FlagWord(Initial), 0x0001u);
    EXPECT_EQ(Initial.XonLim, 256);
    EXPECT_EQ(Initial.XoffLim, 256);
    EXPECT_EQ(Initial.ByteSize, 8);
    EXPECT_EQ(Initial.Parity, NOPARITY);
    EXPECT_EQ(Initial.StopBits, ONESTOPBIT);
    EXPECT_EQ(Initial.XonChar, 17);
    EXPECT_EQ(Initial.XoffChar, 19);
    EXPECT_EQ(Initial.ErrorChar, 0);

    // Every flag at once, each change applied as it is written.
    Port.SetDataBits(dbSeven);
    Port.Parity().SetBits(prMark);
    Port.Parity().SetCheck(true);
    Port.Parity().SetReplace(true);
    Port.Parity().SetReplaceChar('?');
    Port.FlowControl().SetOutCTSFlow(true);
    Port.FlowControl().SetOutDSRFlow(true);
    Port.FlowControl().SetControlDTR(dtrHandshake);
    Port.FlowControl().SetControlRTS(rtsToggle);
    Port.FlowControl().SetDSRSensitivity(true);
    Port.FlowControl().SetTxContinueOnXoff(true);
    Port.FlowControl().SetXonXoffOut(true);
    Port.FlowControl().SetXonXoffIn(true);
    Port.SetDiscardNull(true);
    Port.SetEventChar('\n');
    Port.SetStopBits(sbOne5StopBits);
    EXPECT_EQ(Faults.Blocks.size(), 17u);
    const DCB& Full = Faults.Blocks.back();
    EXPECT_EQ(FlagWord(Full), 0x3FEFu);
    EXPECT_TRUE(Full.fOutX && Full.fInX && Full.fErrorChar && Full.fNull && !Full.fAbortOnError);
    EXPECT_EQ(Full.fDtrControl, static_cast<DWORD>(DTR_CONTROL_HANDSHAKE));
    EXPECT_EQ(Full.fRtsControl, static_cast<DWORD>(RTS_CONTROL_TOGGLE));
    EXPECT_EQ(Full.ByteSize, 7);
    EXPECT_EQ(Full.Parity, MARKPARITY);
    EXPECT_EQ(Full.StopBits, ONE5STOPBITS);
    EXPECT_EQ(Full.ErrorChar, '?');
    EXPECT_EQ(Full.EvtChar, '\n');

    // Without the check the replace flag and its character stay off.
    Port.Parity().SetCheck(false);
    EXPECT_EQ(FlagWord(Faults.Blocks.back()), 0x3FEFu & ~0x0402u);
    EXPECT_EQ(Faults.Blocks.back().ErrorChar, 0);
}

TEST_F(ComDeviceFaultsTest, OddBufferSizesAreLoweredAndTheLimitsFollowAtTheNextLineChange) {
    Port.Open();
    const size_t Blocks = Faults.Blocks.size();
    Port.Buffer().SetInputSize(4095);
    EXPECT_EQ(Port.Buffer().InputSize(), 4094);
    TComBuffer Whole;
    Whole.SetInputSize(2049);
    Port.SetBuffer(Whole);
    EXPECT_EQ(Port.Buffer().InputSize(), 2048);
    EXPECT_EQ(Faults.Blocks.size(), Blocks);  // queue sizes only

    Port.SetBaudRate(br1200);
    EXPECT_EQ(Faults.Blocks.back().XonLim, 512);
    EXPECT_EQ(Faults.Blocks.back().XoffLim, 512);
}

TEST_F(ComDeviceFaultsTest, ARefusedSettingDuringOpenClosesTheDeviceAgain) {
    Faults.SetCommStateError = ERROR_INVALID_PARAMETER;
    EXPECT_EQ(RaisedError([&] { Port.Open(); }),
              "code 7, system 87: SetCommState function failed (win error code: 87)");
    EXPECT_FALSE(Port.Connected());
    EXPECT_EQ(Port.Handle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Port.EventThread(), nullptr);
    EXPECT_EQ(Events, TLog{"BeforeOpen"});  // and no close events

    // The device was really closed: opening it again (no sharing) works.
    Faults.SetCommStateError = 0;
    Port.Open();
    EXPECT_TRUE(Port.Connected());

    // Refused while open: the new value stays.
    Faults.SetCommStateError = ERROR_INVALID_PARAMETER;
    EXPECT_EQ(RaisedError([&] { Port.SetBaudRate(br256000); }),
              "code 7, system 87: SetCommState function failed (win error code: 87)");
    EXPECT_EQ(Port.BaudRate(), br256000);
    EXPECT_TRUE(Port.Connected());
}

TEST_F(ComDeviceFaultsTest, AFailingPurgeStopsTheCloseWithThePortOpen) {
    Port.SetSyncMethod(smWindowSync);
    Port.Open();
    Events.clear();
    Faults.PurgeCommError = ERROR_ACCESS_DENIED;
    EXPECT_EQ(RaisedError([&] { Port.Close(); }), "code 5, system 5: PurgeComm function failed (win error code: 5)");
    EXPECT_EQ(Events, TLog{"BeforeClose"});
    EXPECT_TRUE(Port.Connected());
    EXPECT_NE(Port.EventThread(), nullptr);

    // Still watching and delivering.
    int32_t Waiting = 0;
    Port.OnRxChar = [&](int32_t Count) { Waiting = Count; };
    Peer.Write("abc");
    EXPECT_TRUE(PumpUntil([&] { return Waiting == 3; }));

    Faults.PurgeCommError = 0;
    Port.Close();
    EXPECT_FALSE(Port.Connected());
    EXPECT_EQ(Events.back(), "AfterClose");
}

TEST_F(ComDeviceFaultsTest, AFailingClearCommErrorRaisesCode10WhereverTheQueueIsAsked) {
    Port.SetSyncMethod(smWindowSync);
    Port.Open();
    Faults.ClearCommErrorError = ERROR_INVALID_HANDLE;
    const std::string Expected = "code 10, system 6: ClearCommError function failed (win error code: 6)";
    EXPECT_EQ(RaisedError([&] { Port.PendingInputCount(); }), Expected);
    EXPECT_EQ(RaisedError([&] { Port.TakeLineErrors(); }), Expected);
    std::string Text;
    EXPECT_EQ(RaisedError([&] { Port.ReadText(Text, 12); }), Expected);

    // On the main thread the rx-char step meets it: the user is shown it.
    Peer.Write("x");
    ASSERT_TRUE(PumpUntil([&] { return !ShownErrors.empty(); }));
    // Once: Wine's repeated reports of the same unread byte are not passed on.
    PumpFor(300);
    EXPECT_EQ(ShownErrors, TLog{"ClearCommError function failed (win error code: 6)"});

    Faults.ClearCommErrorError = 0;
    EXPECT_EQ(Port.ReadText(Text, 12), 1);
    EXPECT_EQ(Text, "x");
}

// A device that refuses to report line events (a wait that fails at once):
// the user is told once, and the event thread does not retry in a loop.
TEST_F(ComDeviceFaultsTest, ADeviceThatRefusesToReportEventsIsShownOnce) {
    static int Refusals = 0;
    Refusals = 0;
    TComDeviceCalls Calls{&FakeSetCommState, &FakePurgeComm, &FakeClearCommError};
    Calls.WaitCommEvent = [](HANDLE, LPDWORD, LPOVERLAPPED) -> BOOL {
        ++Refusals;
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    };
    Calls.LookAtLine = false;
    Port.SetDeviceCalls(Calls);
    Port.SetSyncMethod(smWindowSync);
    Port.Open();
    ASSERT_TRUE(PumpUntil([&] { return !ShownErrors.empty(); }));
    PumpFor(300);
    EXPECT_EQ(ShownErrors, TLog{"WaitForEvent method failed (win error code: 31)"});
    EXPECT_EQ(Refusals, 1);
    Port.Close();
}

// An error that the event thread took from the device while the main thread
// asked the queue in between still reaches OnError.
TEST_F(ComDeviceFaultsTest, AnErrorTakenByTheEventThreadSurvivesAQueueQuery) {
    std::vector<TComErrors> Reported;
    Port.OnError = [&](TComErrors Errors) { Reported.push_back(Errors); };
    Port.SetSyncMethod(smWindowSync);
    Port.Open();
    Faults.LineErrors = 0x0008;  // CE_FRAME
    // Not pumping: the event thread waits in its hand-over of the error.
    const DWORD Start = GetTickCount();
    while (Faults.LineErrors != 0 && GetTickCount() - Start < 10000)
        Sleep(5);
    Port.PendingInputCount();
    ASSERT_TRUE(PumpUntil([&] { return !Reported.empty(); }));
    EXPECT_EQ(Reported, std::vector<TComErrors>{TComErrors{ceFrame}});
}

// An event thread that cannot start leaves the port closed, as any failed open.
TEST_F(ComDeviceFaultsTest, AnEventThreadThatCannotStartRollsTheOpenBack) {
    TComDeviceCalls Calls{&FakeSetCommState, &FakePurgeComm, &FakeClearCommError};
    Calls.CreateEventA = [](LPSECURITY_ATTRIBUTES, BOOL, BOOL, LPCSTR) -> HANDLE {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    };
    Port.SetDeviceCalls(Calls);
    Port.SetSyncMethod(smWindowSync);
    EXPECT_EQ(RaisedError([&] { Port.Open(); }), "code 1, system 8: Unable to open com port (win error code: 8)");
    EXPECT_FALSE(Port.Connected());
    EXPECT_EQ(Port.EventThread(), nullptr);
    EXPECT_EQ(Events, TLog{"BeforeOpen"});
    // The device was closed again: the port opens once the thread can start.
    Port.SetDeviceCalls({&FakeSetCommState, &FakePurgeComm, &FakeClearCommError});
    Port.Open();
    EXPECT_TRUE(Port.Connected());
}

}  // namespace
