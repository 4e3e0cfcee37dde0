// The port against a real pseudo-terminal port under Wine: the port under
// test and its far end (TPeer) are joined like a null-modem cable.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "SerialPorts_win.h"
#include "WindowsEvents_win.h"
#include "support/ProcessMemory_win.h"
#include "cport/CPort_win.h"
#include "cport/ComThread_win.h"
#include "framework/Application_win.h"

namespace {

using TLog = std::vector<std::string>;

// Every event of a port, in the order raised, with where it ran.
struct TRecorder {
    TLog Events;
    std::vector<DWORD> Threads;

    void Add(const std::string& Event) {
        Events.push_back(Event);
        Threads.push_back(GetCurrentThreadId());
    }
    void Bind(TCustomComPort& Port) {
        Port.OnBeforeOpen = [this] { Add("BeforeOpen"); };
        Port.OnAfterOpen = [this] { Add("AfterOpen"); };
        Port.OnBeforeClose = [this] { Add("BeforeClose"); };
        Port.OnAfterClose = [this] { Add("AfterClose"); };
        Port.OnCTSChange = [this](bool On) { Add(On ? "CTS on" : "CTS off"); };
        Port.OnDSRChange = [this](bool On) { Add(On ? "DSR on" : "DSR off"); };
        Port.OnRLSDChange = [this](bool On) { Add(On ? "RLSD on" : "RLSD off"); };
        Port.OnRing = [this] { Add("Ring"); };
        Port.OnRxChar = [this](int32_t Count) { Add("RxChar " + std::to_string(Count)); };
        Port.OnError = [this](TComErrors Errors) { Add("Error " + std::to_string(Errors.Bits())); };
    }
    bool Has(const std::string& Event) const { return std::find(Events.begin(), Events.end(), Event) != Events.end(); }
};

const std::vector<std::string>& ShownErrors = TErrorRecorder::Messages;

// Kernel plus user time of a thread so far.
double ThreadCpuMs(HANDLE Thread) {
    FILETIME Created, Ended, Kernel, User;
    GetThreadTimes(Thread, &Created, &Ended, &Kernel, &User);
    auto Ms = [](const FILETIME& Time) {
        return (static_cast<double>(Time.dwHighDateTime) * 4294967296.0 + Time.dwLowDateTime) / 10000.0;
    };
    return Ms(Kernel) + Ms(User);
}

const std::string kStateFrame("W\0\0\0\0\0\0\0\0\0\0\x1F ", 13);

class ComPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetModemLines("");
        Peer.Drain();
        Port.SetPort(TestPortName());
        // The event thread looks at the line under Wine and waits for its
        // events on Windows: the run with GYRO_PLAY_WINDOWS proves the latter.
        if (std::getenv("GYRO_PLAY_WINDOWS"))
            Port.SetDeviceCalls(WindowsDeviceCalls());
        Recorder.Bind(Port);
    }
    // Opens, then forgets the open events.
    void OpenQuietly() {
        Port.Open();
        Recorder = {};
    }
    bool WaitForEvent(const std::string& Event, DWORD TimeoutMs = 10000) {
        return PumpUntil([&] { return Recorder.Has(Event); }, TimeoutMs);
    }

    TErrorRecorder Dialogs;
    TPeer Peer;
    // Declared before the port: the port's destructor closes it and raises
    // the close events into the recorder.
    TRecorder Recorder;
    TComPort Port{nullptr};
};

TEST_F(ComPortTest, NewPortHasTheInitialSettings) {
    TComPort Fresh(nullptr);
    EXPECT_EQ(Fresh.Port(), "COM1");
    EXPECT_EQ(Fresh.BaudRate(), br9600);
    EXPECT_EQ(Fresh.CustomBaudRate(), 9600);
    EXPECT_EQ(Fresh.DataBits(), dbEight);
    EXPECT_EQ(Fresh.StopBits(), sbOneStopBit);
    EXPECT_EQ(Fresh.Parity().Bits(), prNone);
    EXPECT_EQ(Fresh.FlowControl().FlowControl(), fcNone);
    EXPECT_EQ(Fresh.FlowControl().XonChar(), 17);
    EXPECT_EQ(Fresh.FlowControl().XoffChar(), 19);
    EXPECT_EQ(Fresh.Timeouts().ReadInterval(), -1);
    EXPECT_EQ(Fresh.Timeouts().WriteTotalMultiplier(), 100);
    EXPECT_EQ(Fresh.Timeouts().WriteTotalConstant(), 1000);
    EXPECT_EQ(Fresh.Buffer().InputSize(), 1024);
    EXPECT_EQ(Fresh.Buffer().OutputSize(), 1024);
    EXPECT_EQ(Fresh.Events(), kAllComEvents);
    EXPECT_EQ(Fresh.SyncMethod(), smThreadSync);
    EXPECT_FALSE(Fresh.Connected());
    EXPECT_EQ(Fresh.Handle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Fresh.Parity().ComPort(), &Fresh);
}

TEST_F(ComPortTest, OpenAndCloseRaiseTheirEventsInOrderWithTheLineStates) {
    SetModemLines("CTS DCD");
    Port.Open();
    EXPECT_TRUE(Port.Connected());
    EXPECT_NE(Port.Handle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Recorder.Events, (TLog{"BeforeOpen", "AfterOpen", "CTS on", "DSR off", "RLSD on"}));

    Recorder = {};
    Port.Open();  // already open: nothing
    Port.Close();
    EXPECT_EQ(Recorder.Events, (TLog{"CTS off", "DSR off", "RLSD off", "BeforeClose", "AfterClose"}));
    EXPECT_FALSE(Port.Connected());
    EXPECT_EQ(Port.Handle(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Port.EventThread(), nullptr);

    Recorder = {};
    Port.Close();  // already closed: nothing
    EXPECT_EQ(Recorder.Events, TLog{});
    Port.SetConnected(true);
    EXPECT_NE(Port.Handle(), INVALID_HANDLE_VALUE);
    Port.SetConnected(false);
    EXPECT_EQ(Recorder.Events.size(), 10u);
}

TEST_F(ComPortTest, APortHeldOpenIsRefusedToASecondOpenerUntilItCloses) {
    OpenQuietly();
    TComPort Second(nullptr);
    std::string Name = Port.Port();
    for (char& C : Name)
        C = static_cast<char>(tolower(C));
    Second.SetPort(Name);  // the same port, however spelt
    try {
        Second.Open();
        FAIL() << "opened twice";
    } catch (const EComPort& Error) {
        EXPECT_EQ(Error.ErrorCode(), ecOpen);
        EXPECT_EQ(Error.SystemErrorCode(), ERROR_ACCESS_DENIED);
    }
    EXPECT_FALSE(Second.Connected());
    Port.Close();
    Second.Open();
    EXPECT_TRUE(Second.Connected());
}

TEST_F(ComPortTest, ChangingThePortWhileOpenClosesAndOpensAgain) {
    SetModemLines("DSR");
    OpenQuietly();
    Port.SetPort(Port.Port());  // the same name: nothing
    EXPECT_EQ(Recorder.Events, TLog{});

    // The name compares case-sensitively; Wine opens the same terminal.
    std::string Other = Port.Port();
    for (char& C : Other)
        C = static_cast<char>(tolower(C));
    Port.SetPort(Other);
    EXPECT_EQ(Recorder.Events, (TLog{"CTS off", "DSR off", "RLSD off", "BeforeClose", "AfterClose", "BeforeOpen",
                                     "AfterOpen", "CTS off", "DSR on", "RLSD off"}));
    EXPECT_TRUE(Port.Connected());
    EXPECT_EQ(Port.Port(), Other);
}

TEST_F(ComPortTest, AnUnknownPortRaisesCode1AndStaysClosed) {
    Port.SetPort("COM97");
    for (int Attempt = 0; Attempt < 2; ++Attempt) {
        try {
            Port.Open();
            FAIL() << "no exception";
        } catch (const EComPort& Error) {
            EXPECT_EQ(Error.ErrorCode(), 1);
            EXPECT_EQ(Error.SystemErrorCode(), ERROR_FILE_NOT_FOUND);
            EXPECT_STREQ(Error.what(), "Unable to open com port (win error code: 2)");
        }
        EXPECT_FALSE(Port.Connected());
    }
    EXPECT_EQ(Recorder.Events, (TLog{"BeforeOpen", "BeforeOpen"}));
}

TEST_F(ComPortTest, BytesTravelBothWaysExactly) {
    Port.SetEvents({});
    Port.Open();
    EXPECT_EQ(Port.WriteText(kStateFrame), 13);
    EXPECT_EQ(Peer.Read(13), kStateFrame);
    EXPECT_EQ(Port.WriteText(""), 0);

    std::string Text = "unchanged";
    EXPECT_EQ(Port.ReadText(Text, 12), 0);  // nothing waiting: back at once
    EXPECT_EQ(Text, "");

    const std::string Sent = std::string("0123456789\0abcdefghi", 20);
    Peer.Write(Sent);
    ASSERT_TRUE(PumpUntil([&] { return Port.PendingInputCount() == 20; }));
    EXPECT_EQ(Port.ReadText(Text, 12), 12);
    EXPECT_EQ(Text, Sent.substr(0, 12));
    EXPECT_EQ(Port.PendingInputCount(), 8);
    EXPECT_EQ(Port.ReadText(Text, 0), 0);
    EXPECT_EQ(Text, "");
    EXPECT_EQ(Port.ReadText(Text, -3), 0);
    EXPECT_EQ(Port.ReadText(Text, 12), 8);
    EXPECT_EQ(Text, Sent.substr(12));

    char Buffer[4];
    Peer.Write("xyz");
    ASSERT_TRUE(PumpUntil([&] { return Port.PendingInputCount() == 3; }));
    EXPECT_EQ(Port.ReadBuffer(Buffer, 4), 3);
    EXPECT_EQ(std::string(Buffer, 3), "xyz");
}

TEST_F(ComPortTest, AsynchronousTransfersAndTheirRecord) {
    Port.SetEvents({});
    Port.Open();
    TComTransfer* Transfer = nullptr;
    TCustomComPort::CreateTransfer(Transfer);
    ASSERT_NE(Transfer, nullptr);
    EXPECT_EQ(Port.WaitForTransfer(Transfer), 0);  // nothing started: done at once

    const std::string Frame = kStateFrame;
    Port.WriteTextAsync(Frame, Transfer);
    EXPECT_EQ(Port.WaitForTransfer(Transfer), 13);
    EXPECT_EQ(Peer.Read(13), Frame);
    TCustomComPort::FreeTransfer(Transfer);
    EXPECT_EQ(Transfer, nullptr);

    for (auto Refused : {+[](TCustomComPort& P) { P.WaitForTransfer(nullptr); },
                         +[](TCustomComPort& P) { P.WriteBufferAsync("x", 1, nullptr); },
                         +[](TCustomComPort& P) {
                             char B;
                             P.ReadBufferAsync(&B, 1, nullptr);
                         }}) {
        try {
            Refused(Port);
            ADD_FAILURE() << "no exception";
        } catch (const EComPort& Error) {
            EXPECT_EQ(Error.ErrorCode(), 4);
            EXPECT_EQ(Error.SystemErrorCode(), -1);
            EXPECT_STREQ(Error.what(), "Invalid Async parameter");
        }
    }
}

// A pseudo-terminal keeps eight data bits and no parity whatever it is
// told (and Wine then refuses further changes): those two reach the device
// as the block tests with the device seam show.
TEST_F(ComPortTest, SettingsReachTheDevice) {
    Port.SetBaudRate(br600);
    Port.SetStopBits(sbTwoStopBits);
    Port.FlowControl().SetXonChar('Q');
    Port.FlowControl().SetXoffChar('S');
    Port.Timeouts().SetReadTotalConstant(250);
    Port.Open();
    DCB Device{};
    Device.DCBlength = sizeof Device;
    ASSERT_TRUE(GetCommState(Port.Handle(), &Device));
    EXPECT_EQ(Device.BaudRate, 600u);
    EXPECT_EQ(Device.StopBits, TWOSTOPBITS);
    EXPECT_EQ(Device.XonChar, 'Q');
    EXPECT_EQ(Device.XoffChar, 'S');
    COMMTIMEOUTS Timeouts{};
    ASSERT_TRUE(GetCommTimeouts(Port.Handle(), &Timeouts));
    EXPECT_EQ(Timeouts.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(Timeouts.ReadTotalTimeoutConstant, 250u);
    EXPECT_EQ(Timeouts.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(Timeouts.WriteTotalTimeoutConstant, 1000u);

    // While open each change reaches the device at once.
    Port.SetBaudRate(br1200);
    Port.FlowControl().SetFlowControl(fcSoftware);
    ASSERT_TRUE(GetCommState(Port.Handle(), &Device));
    EXPECT_EQ(Device.BaudRate, 1200u);
    EXPECT_TRUE(Device.fOutX && Device.fInX);

    TComFlowControl Hardware;
    Hardware.SetFlowControl(fcHardware);
    Port.SetFlowControl(Hardware);
    ASSERT_TRUE(GetCommState(Port.Handle(), &Device));
    EXPECT_TRUE(Device.fOutxCtsFlow);
    EXPECT_FALSE(Device.fOutX || Device.fInX);
    EXPECT_EQ(&Port.FlowControl() == &Hardware, false);  // copied, not replaced
}

TEST_F(ComPortTest, SyncMethodCannotChangeWhileOpen) {
    Port.SetSyncMethod(smWindowSync);  // closed: stored
    Port.Open();
    Port.SetSyncMethod(smWindowSync);  // the same value: accepted
    try {
        Port.SetSyncMethod(smNone);
        FAIL() << "no exception";
    } catch (const EComPort& Error) {
        EXPECT_EQ(Error.ErrorCode(), 14);
        EXPECT_EQ(Error.SystemErrorCode(), -1);
        EXPECT_STREQ(Error.what(), "Cannot set property while connected");
    }
    EXPECT_EQ(Port.SyncMethod(), smWindowSync);
}

TEST_F(ComPortTest, NoEventsMeansNoThreadButTheOpenEventsStillRun) {
    SetModemLines("RING CTS");
    Port.SetEvents({});
    Port.SetSyncMethod(smWindowSync);
    Port.Open();
    EXPECT_EQ(Port.EventThread(), nullptr);
    EXPECT_EQ(Recorder.Events, (TLog{"BeforeOpen", "AfterOpen", "CTS on", "DSR off", "RLSD off"}));
    Peer.Write("hello");
    PumpFor(500);
    EXPECT_FALSE(Recorder.Has("RxChar 5"));
    EXPECT_EQ(Port.PendingInputCount(), 5);

    // A new set is watched from the next open on.
    Port.SetEvents(kAllComEvents);
    EXPECT_EQ(Port.EventThread(), nullptr);
    Port.Close();
    Port.Open();
    EXPECT_NE(Port.EventThread(), nullptr);
}

TEST_F(ComPortTest, WindowSyncRaisesOnRxCharOnTheMainThreadOncePerArrival) {
    Port.SetSyncMethod(smWindowSync);
    OpenQuietly();
    Peer.Write("12345");
    ASSERT_TRUE(WaitForEvent("RxChar 5"));
    EXPECT_EQ(Recorder.Threads.back(), GetCurrentThreadId());

    // Wine keeps reporting the unread bytes; the port does not pass that on,
    // so a reply that stalls half-way lets the reader's time-out run out,
    // and the event thread does not spin on them (a spinning thread would
    // take most of the second; it takes well under 1 %).
    const double CpuBefore = ThreadCpuMs(Port.EventThread()->Handle());
    PumpFor(1000);
    EXPECT_EQ(Recorder.Events, TLog{"RxChar 5"});
    EXPECT_LT(ThreadCpuMs(Port.EventThread()->Handle()) - CpuBefore, 250.0);

    Peer.Write("678");
    ASSERT_TRUE(WaitForEvent("RxChar 8"));
    std::string Text;
    EXPECT_EQ(Port.ReadText(Text, 6), 6);  // two announced bytes stay unread
    PumpFor(500);
    EXPECT_EQ(Recorder.Events, (TLog{"RxChar 5", "RxChar 8"}));
    Peer.Write("9");
    ASSERT_TRUE(WaitForEvent("RxChar 3"));
    EXPECT_EQ(Port.ReadText(Text, 3), 3);
    EXPECT_EQ(Text, "789");
    PumpFor(100);  // a read and the next arrival apart (see WindowsEvents_win.h)
    Peer.Write("ab");
    ASSERT_TRUE(WaitForEvent("RxChar 2"));
}

TEST_F(ComPortTest, WindowSyncDeliversABatchInTheFixedOrderOnTheMainThread) {
    Port.SetSyncMethod(smWindowSync);
    OpenQuietly();
    SetModemLines("CTS DSR RING DCD");  // one change of all four lines
    ASSERT_TRUE(PumpUntil([&] { return Recorder.Events.size() >= 4; }));
    PumpFor(200);
    EXPECT_EQ(Recorder.Events, (TLog{"Ring", "CTS on", "DSR on", "RLSD on"}));
    for (DWORD Thread : Recorder.Threads)
        EXPECT_EQ(Thread, GetCurrentThreadId());
}

TEST_F(ComPortTest, AHandlerExceptionIsShownAndLaterBytesStillArrive) {
    Port.SetSyncMethod(smWindowSync);
    int Raised = 0;
    Port.OnRxChar = [&](int32_t Count) {
        ++Raised;
        std::string Text;
        Port.ReadText(Text, Count);
        if (Raised == 1)
            throw EComPort(ecRead);
    };
    Port.Open();
    Peer.Write("a");
    ASSERT_TRUE(PumpUntil([&] { return Raised == 1; }));
    EXPECT_EQ(ShownErrors, (TLog{"ReadFile function failed"}));
    PumpFor(100);
    Peer.Write("b");
    ASSERT_TRUE(PumpUntil([&] { return Raised == 2; }));
}

TEST_F(ComPortTest, ThreadSyncRunsHandlersOnTheMainThreadAndAnExceptionEndsWatching) {
    Port.SetSyncMethod(smThreadSync);
    OpenQuietly();
    Peer.Write("abc");
    ASSERT_TRUE(WaitForEvent("RxChar 3"));
    EXPECT_EQ(Recorder.Threads.back(), GetCurrentThreadId());

    Port.OnRxChar = [](int32_t) { throw EComPort(ecRead); };
    Peer.Write("d");
    ASSERT_TRUE(PumpUntilSignalled(Port.EventThread()->Handle()));
    EXPECT_EQ(ShownErrors, TLog{});  // ended without any message
    Recorder = {};
    Recorder.Bind(Port);
    Peer.Write("e");
    PumpFor(300);
    EXPECT_EQ(Recorder.Events, TLog{});
    Port.Close();
}

TEST_F(ComPortTest, NoSyncRunsHandlersOnTheEventThread) {
    Port.SetSyncMethod(smNone);
    DWORD Thread = 0;
    HANDLE Raised = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    Port.OnRxChar = [&](int32_t) {
        Thread = GetCurrentThreadId();
        SetEvent(Raised);
    };
    Port.Open();
    Peer.Write("x");
    ASSERT_EQ(WaitForSingleObject(Raised, 10000), WAIT_OBJECT_0);
    EXPECT_NE(Thread, GetCurrentThreadId());
    Port.Close();
    CloseHandle(Raised);
}

// Exchanges as the rotor's (a frame out, a reply in and read) must not grow
// the heap: a station runs for weeks.
TEST_F(ComPortTest, ExchangesLeaveTheHeapAsItWas) {
    Port.SetSyncMethod(smWindowSync);
    int32_t Waiting = 0;
    Port.OnRxChar = [&](int32_t Count) { Waiting = Count; };
    OpenQuietly();
    auto Exchange = [&] {
        Port.WriteText(kStateFrame);
        PumpFor(10);  // the reply comes later, as from the rotor
        Peer.Write(std::string(12, 'r'));
        Waiting = 0;
        PumpUntil([&] { return Waiting >= 12; });
        std::string Reply;
        Port.ReadText(Reply, 12);
        Peer.Read(13);
    };
    for (int I = 0; I < 50; ++I)
        Exchange();
    const size_t Before = CommittedPrivateBytes();
    for (int I = 0; I < 300; ++I)
        Exchange();
    EXPECT_LE(CommittedPrivateBytes() - Before, 64u * 1024) << "grew from " << Before;
}

// A read that completed at once and was freed without a wait: the bytes
// that arrive next are announced all the same.
TEST_F(ComPortTest, AReadDoneAtOnceAndNeverWaitedForCountsItsBytes) {
    Port.SetSyncMethod(smWindowSync);
    OpenQuietly();
    Peer.Write("abc");
    ASSERT_TRUE(WaitForEvent("RxChar 3"));
    TComTransfer* Transfer = nullptr;
    TCustomComPort::CreateTransfer(Transfer);
    std::string Text;
    const int32_t Read = Port.ReadTextAsync(Text, 3, Transfer);
    TCustomComPort::FreeTransfer(Transfer);
    ASSERT_EQ(Read, 3) << "the read did not complete at once";
    PumpFor(100);
    Peer.Write("de");
    EXPECT_TRUE(WaitForEvent("RxChar 2"));
}

// A handler that closes the port while Close waits for the event thread.
TEST_F(ComPortTest, ACloseFromAHandlerDuringCloseDoesNothing) {
    Port.SetSyncMethod(smWindowSync);
    OpenQuietly();
    Port.OnCTSChange = [&](bool On) {
        Recorder.Add(On ? "CTS on" : "CTS off");
        Port.Close();
    };
    SetModemLines("CTS");
    ASSERT_TRUE(WaitForSentMessage()) << "the event thread never handed the change over";
    Port.Close();
    EXPECT_EQ(Recorder.Events, (TLog{"CTS off", "DSR off", "RLSD off", "BeforeClose", "CTS on", "AfterClose"}));
}

// Close while the event thread is handing over an event: it must not
// deadlock, whatever the sync method.
class ComPortCloseTest : public ComPortTest, public ::testing::WithParamInterface<TSyncMethod> {};

TEST_P(ComPortCloseTest, CloseWhileTheThreadIsDeliveringCompletes) {
    Port.SetSyncMethod(GetParam());
    // Under no sync the handler itself waits for the main thread.
    TMessageWindow MainWindow([](HWND W, UINT M, WPARAM P, LPARAM L) { return DefWindowProcA(W, M, P, L); });
    HANDLE Entered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    Port.OnRxChar = [&](int32_t Count) {
        Recorder.Add("RxChar " + std::to_string(Count));
        SetEvent(Entered);
        SendMessageA(MainWindow.Handle(), WM_NULL, 0, 0);
    };
    OpenQuietly();
    Peer.Write("data");
    // Not pumping: under window and thread sync the event thread now blocks
    // in its hand-over; under no sync the handler blocks in its send.
    if (GetParam() == smNone)
        ASSERT_EQ(WaitForSingleObject(Entered, 10000), WAIT_OBJECT_0);
    else
        ASSERT_TRUE(WaitForSentMessage()) << "the event thread never handed the bytes over";
    Port.Close();
    EXPECT_FALSE(Port.Connected());
    EXPECT_EQ(Recorder.Events.back(), "AfterClose");
    // An event that the main thread delivers while it waits for the thread
    // runs between the close events (under no sync it ran before the close).
    const auto Before = std::find(Recorder.Events.begin(), Recorder.Events.end(), "BeforeClose");
    const auto Rx = std::find(Recorder.Events.begin(), Recorder.Events.end(), "RxChar 4");
    if (GetParam() != smNone && Rx != Recorder.Events.end()) {
        EXPECT_LT(Before, Rx);
    }
    CloseHandle(Entered);
}

INSTANTIATE_TEST_SUITE_P(EverySyncMethod, ComPortCloseTest, ::testing::Values(smThreadSync, smWindowSync, smNone));

TEST_F(ComPortTest, EndOfLoadingOpensAPortLoadedAsConnected) {
    TComponent Form(nullptr);
    auto* Loaded = new TComPort(&Form);
    Form.BeginLoading();
    Loaded->SetPort(TestPortName());
    Loaded->SetConnected(true);
    EXPECT_EQ(Loaded->Handle(), INVALID_HANDLE_VALUE);  // only stored while loading
    Loaded->SetSyncMethod(smWindowSync);
    Form.EndLoading();
    EXPECT_TRUE(Loaded->Connected());
    EXPECT_NE(Loaded->Handle(), INVALID_HANDLE_VALUE);
    delete Loaded;

    auto* Failing = new TComPort(&Form);
    Form.BeginLoading();
    Failing->SetPort("COM96");
    Failing->SetConnected(true);
    Form.EndLoading();
    EXPECT_FALSE(Failing->Connected());
    EXPECT_EQ(ShownErrors, (TLog{"Unable to open com port (win error code: 2)"}));
}

TEST_F(ComPortTest, DestroyingAnOpenPortClosesIt) {
    {
        TComPort Doomed(nullptr);
        Doomed.SetPort(TestPortName());
        Doomed.SetSyncMethod(smWindowSync);
        Recorder.Bind(Doomed);
        Doomed.Open();
        Peer.Write("x");
        Recorder = {};
    }
    EXPECT_EQ(Recorder.Events.back(), "AfterClose");
    // The device is free again.
    Port.Open();
    EXPECT_TRUE(Port.Connected());
}

// A port whose notification window procedure the test calls directly.
class TProbePort : public TComPort {
public:
    using TComPort::TComPort;
    using TCustomComPort::HandleEventMessage;
};

TEST_F(ComPortTest, EventMessagesSelectOneStepAndNeedAnOpenPort) {
    TRecorder Log;  // before the port, whose destructor raises its close events
    TProbePort Probe(nullptr);
    Probe.SetPort(TestPortName());
    Probe.SetEvents({});
    Log.Bind(Probe);
    Probe.HandleEventMessage(nullptr, PortEventMessage, 0x0100, 0);
    EXPECT_EQ(Log.Events, TLog{});  // closed: nothing

    Probe.Open();
    Log = {};
    Probe.HandleEventMessage(nullptr, PortEventMessage, 0x0100, 0);  // EV_RING
    Probe.HandleEventMessage(nullptr, PortEventMessage, 0x0200, 0);  // no event of ours
    Probe.HandleEventMessage(nullptr, PortEventMessage, 0x0101, 0);  // two events are none
    Probe.HandleEventMessage(nullptr, PortEventMessage, 0x0001, 0);  // EV_RXCHAR, nothing waiting
    EXPECT_EQ(Log.Events, TLog{"Ring"});
}

}  // namespace
