#include "main/RotorExchange.h"

#include <gtest/gtest.h>

#include "main/RotctldProtocol.h"

#include "support/FakeRotorLink.h"

namespace {

const std::string kReply = std::string("\x57\x04\x08\x03\x04\x01\x03\x07\x00\x05\x01\x20", 12);

TSatData Satellite(const char* Name, double Azimuth, double Elevation) {
    TSatData Data;
    Data.SatName = Name;
    Data.Azimuth = Azimuth;
    Data.Elevation = Elevation;
    return Data;
}

class Exchange : public ::testing::Test {
protected:
    TFakeLink Link;
    TSettings Settings;
    TRotorExchange Rotor{Link, Link, Settings};
    TSatData Target = Satellite("ISS", 200, 5);

    // The controller answers the next frame with the given bytes.
    void Answer(const std::string& Bytes) {
        Link.Messages.push_back([this, Bytes] {
            Link.Input += Bytes;
            Rotor.CPRxChar(static_cast<int>(Link.Input.size()));
        });
    }
    void Tick(int Count = 1) {
        for (int I = 0; I < Count; ++I)
            Rotor.TimerTimer(Target);
    }
    // Runs whole cycles with a controller that always answers at once.
    void RunTicks(int Count) {
        for (int I = 0; I < Count; ++I) {
            if (Rotor.CycleStep == 0)
                Answer(kReply);
            Tick();
        }
    }
};

constexpr char kStop = 0x0F, kState = 0x1F, kSet = 0x2F;

TEST_F(Exchange, OpeningStartsTheCycleAndForcesTheFirstSet) {
    Rotor.CPAfterOpen();
    EXPECT_TRUE(Link.CycleTimer);
    EXPECT_EQ(Link.PortState, "Opened");
    RunTicks(12);
    EXPECT_EQ(Link.Kinds(), (std::vector<char>{kState, kSet, kState}));  // unmoved target: one SET
    EXPECT_EQ(Link.Written[1], std::string("W0560\0"
                                           "0365\0/ ",
                                           13));
    EXPECT_EQ(Link.LastCommand, "STATE");

    // Reopening forces the SET again although the target has not moved.
    Rotor.CPAfterClose();
    Rotor.CPAfterOpen();
    Link.Written.clear();
    RunTicks(2);
    EXPECT_EQ(Link.Kinds(), (std::vector<char>{kState, kSet}));
}

TEST_F(Exchange, SequencesSetTheCycleLength) {
    Rotor.CPAfterOpen();
    Target.SatName = "?";  // STATE only
    RunTicks(12);
    EXPECT_EQ(Link.Kinds(), (std::vector<char>{kState, kState}));
    Link.Written.clear();
    Rotor.SequenceIndex = 1;
    RunTicks(12);
    EXPECT_EQ(Link.Kinds(), (std::vector<char>(4, kState)));
}

TEST_F(Exchange, TargetBelowTheHorizonGetsElevationZeroEveryCycle) {
    Target.Elevation = -5;
    Rotor.CPAfterOpen();
    RunTicks(18);
    EXPECT_EQ(Link.Kinds(), (std::vector<char>{kState, kSet, kState, kSet, kState, kSet}));
    EXPECT_EQ(Link.Written[5].substr(6, 4), "0360");
    EXPECT_EQ(Link.LastCommand, "SET(200.0;0.0)");
}

TEST_F(Exchange, OffsetsGoIntoTheFrameAndComeOffTheReply) {
    Settings.AzimuthOffset = 5;
    Settings.ElevationOffset = 2;
    Rotor.CPAfterOpen();
    RunTicks(12);
    EXPECT_EQ(Link.Kinds(), (std::vector<char>{kState, kSet, kState}));  // compared as sent: one SET
    EXPECT_EQ(Link.Written[1].substr(1, 9), std::string("0565\0"
                                                        "0367",
                                                        9));
    EXPECT_EQ(Link.Shown.back().AzimuthText(), "118.4");  // the reply says 123.4 and 10.5
    EXPECT_EQ(Link.Shown.back().ElevationText(), "8.5");
    EXPECT_DOUBLE_EQ(Rotor.RotorState->RotorAzimuth, 118.4);
}

TEST_F(Exchange, BelowTheMaskTheSetPointIsTheMaskAndIsSentOnce) {
    Settings.HorizonMask = *HorizonMaskOf("10");
    Target.Elevation = -5;
    Rotor.CPAfterOpen();
    RunTicks(18);
    EXPECT_EQ(Link.Kinds(), (std::vector<char>{kState, kSet, kState, kState}));
    EXPECT_EQ(Link.LastCommand, "STATE");
    EXPECT_EQ(Rotor.LastElevation, 10);
}

TEST_F(Exchange, WaitingASatelliteBelowTheHorizonGetsNoSetAtAll) {
    Settings.BetweenPasses = bpWait;
    Target.Elevation = -10;
    Rotor.CPAfterOpen();
    for (int Line = 0; Line < 6; ++Line) {  // a line a cycle, turning under the horizon
        Rotor.TargetArrived(Target, false, Link.Now += 3000);
        RunTicks(6);
        Target.Azimuth += 1;
    }
    EXPECT_EQ(Link.Kinds(), std::vector<char>(6, kState));
    Rotor.TargetArrived(Target, true, Link.Now);  // a network client's target is followed as it comes
    RunTicks(6);
    EXPECT_EQ(Link.Kinds().back(), kSet);
}

TEST_F(Exchange, WithAToleranceSmallMovesWaitAndAnotherSatelliteAlwaysGoes) {
    Settings.Tolerance = 1;
    Rotor.CPAfterOpen();
    RunTicks(6);
    Target.Azimuth = 200.5;  // half a degree on the sky
    RunTicks(6);
    Target.SatName = "AO-7";
    RunTicks(6);
    Target.Elevation = 1e300;  // no direction: the last set point holds
    RunTicks(6);
    EXPECT_EQ(Link.Kinds(), (std::vector<char>{kState, kSet, kState, kState, kSet, kState}));
    EXPECT_EQ(Link.LastCommand, "STATE");
    EXPECT_EQ(Rotor.LastAzimuth, 200.5);
}

TEST_F(Exchange, MovingTargetGetsANewSet) {
    Rotor.CPAfterOpen();
    RunTicks(6);
    Target.Azimuth = 201;
    RunTicks(6);
    EXPECT_EQ(Link.Kinds(), (std::vector<char>{kState, kSet, kState, kSet}));
    EXPECT_EQ(Link.Written[3].substr(1, 4), "0561");
}

TEST_F(Exchange, ReplyInTwoPiecesIsReadAtTheSecond) {
    Rotor.CPAfterOpen();
    Answer(kReply.substr(0, 5));
    Answer(kReply.substr(5));
    Tick();
    EXPECT_EQ(Link.TimeOutStarts, 2);  // at the frame, again at the first piece
    EXPECT_FALSE(Link.TimeOut);
    EXPECT_EQ(Rotor.ReplyText, kReply);
    ASSERT_EQ(Link.Shown.size(), 1u);
    EXPECT_EQ(Link.Shown[0].AzimuthText(), "123.4");
    EXPECT_FALSE(Link.ErrorShown);
}

TEST_F(Exchange, SilenceEndsInATransmissionErrorAndTheCycleGoesOn) {
    Rotor.CPAfterOpen();
    Link.Messages.push_back([this] { Rotor.TimeOutTimer(); });
    Tick();
    EXPECT_TRUE(Rotor.TransmissionError);
    EXPECT_TRUE(Link.ErrorShown);
    EXPECT_TRUE(Link.Shown.empty());
    EXPECT_TRUE(Rotor.ReplyText.empty());
    RunTicks(6);  // the next good exchange hides the error again
    EXPECT_FALSE(Link.ErrorShown);
    EXPECT_EQ(Link.Shown.size(), 1u);
}

TEST_F(Exchange, AfterASilenceAStationLeftAloneSendsTheUnchangedSetPointAgain) {
    for (bool Unattended : {false, true}) {
        SCOPED_TRACE(Unattended);
        Settings.Unattended = Unattended;
        Link.Written.clear();
        Link.Runs.clear();
        Rotor.CPAfterOpen();
        RunTicks(6);                               // STATE, SET
        for (int Cycle = 0; Cycle < 2; ++Cycle) {  // the controller is off: no reply
            Link.Messages.push_back([this] { Rotor.TimeOutTimer(); });
            Tick(6);
        }
        RunTicks(6);  // it answers again: STATE, and SET only when left alone
        EXPECT_EQ(Link.Runs, std::vector<int>{2});
        EXPECT_EQ(Link.Kinds(), Unattended ? (std::vector<char>{kState, kSet, kState, kState, kState, kSet})
                                           : (std::vector<char>{kState, kSet, kState, kState, kState}));
    }
}

TEST_F(Exchange, BytesBeyondTheReplyAndStrayBytesAreDropped) {
    Rotor.CPAfterOpen();
    Answer(kReply + "xy");
    Tick();
    EXPECT_EQ(Link.Input, "");  // left waiting, they would shift every later reply
    Tick(5);                    // the rest of the cycle
    Answer(kReply);
    Tick();
    ASSERT_EQ(Link.Shown.size(), 2u);
    EXPECT_DOUBLE_EQ(Link.Shown[1].Azimuth, 123.4);
    EXPECT_EQ(Link.Shown[1].Divider, 1);
    Link.Input = "z";
    Rotor.CPRxChar(1);  // nothing awaited: read and dropped
    EXPECT_EQ(Link.Input, "");
}

// Newer controllers answer SET too, at once or late, and a reply may stall:
// none of it is ever read as the start of the next reply.
TEST_F(Exchange, WhatTheControllerLeftOnTheLineNeverStartsAReply) {
    const std::string kOther = std::string("\x57\x02\x07\x00\x00\x01\x04\x02\x00\x00\x01\x20", 12);  // 270, 60
    Rotor.CPAfterOpen();
    Answer(kReply.substr(0, 5));  // it stalls
    Link.Messages.push_back([this] { Rotor.TimeOutTimer(); });
    Tick(2);               // STATE, SET
    Link.Input += kOther;  // the answer to SET
    Tick(4);
    Link.Messages.push_back([this, kOther] {  // a late answer to SET straddles the next STATE
        Link.Input = kReply.substr(5) + kOther.substr(0, 3);
        Rotor.CPRxChar(static_cast<int>(Link.Input.size()));
    });
    Answer(kOther.substr(3));
    Tick();
    EXPECT_EQ(Link.Kinds(), (std::vector<char>{kState, kSet, kState}));
    EXPECT_EQ(Link.Waiting[2], "");  // dropped before the frame went out
    ASSERT_EQ(Link.Shown.size(), 1u);
    EXPECT_EQ(Link.Shown[0].AzimuthText(), "270.0");
    EXPECT_FALSE(Link.ErrorShown);
}

TEST_F(Exchange, TwelveBytesThatAreNoReplyFailTheExchangeAndAreNeverShown) {
    Rotor.CPAfterOpen();
    RunTicks(6);
    for (size_t Byte : {0, 11, 1, 4, 6, 9}) {  // "W", the space, each angle's first and last digit
        std::string Garbage = kReply;
        Garbage[Byte] = Byte == 0 ? 'w' : Byte == 11 ? '\0' : 10;
        Answer(Garbage + "W");
        Tick(6);
        EXPECT_TRUE(Link.ErrorShown) << Byte;
        EXPECT_EQ(Link.Input, "") << Byte;
        EXPECT_EQ(Link.Shown.size(), 1u) << Byte;
    }
    EXPECT_EQ(Link.TimeOut, false);
    RunTicks(6);
    EXPECT_FALSE(Link.ErrorShown);
    EXPECT_EQ(Link.Runs, std::vector<int>{6});
}

TEST_F(Exchange, ATickDuringTheStateWaitDefersTheSet) {
    Rotor.CPAfterOpen();
    Link.Messages.push_back([this] { Tick(); });  // the SET step arrives mid-wait
    Answer(kReply);
    Tick();
    EXPECT_EQ(Link.Kinds(), (std::vector<char>{kState}));
    EXPECT_EQ(Rotor.CycleStep, 1);
    Tick();
    EXPECT_EQ(Link.Kinds(), (std::vector<char>{kState, kSet}));
}

TEST_F(Exchange, StateInsideAStopWaitEndsWithTheFirstReply) {
    Rotor.CPAfterOpen();
    Rotor.CycleStep = 0;
    Link.Messages.push_back([this] { Tick(); });  // STATE starts a second wait
    Answer(kReply);
    Rotor.SendRotorCommand(rcStop);
    EXPECT_EQ(Link.Kinds(), (std::vector<char>{kStop, kState}));
    EXPECT_EQ(Rotor.AwaitedBytes, 0);
    EXPECT_EQ(Rotor.LastAzimuth, kForceSet);
}

TEST_F(Exchange, AFailedWriteHoldsTheSetBackUntilTheTimeOut) {
    Rotor.CPAfterOpen();
    Link.FailWrites = true;
    EXPECT_THROW(Tick(), std::runtime_error);
    EXPECT_EQ(Rotor.AwaitedBytes, 12);
    Link.FailWrites = false;
    Tick();  // SET step held back
    EXPECT_TRUE(Link.Written.empty());
    Rotor.TimeOutTimer();
    Rotor.CycleStep = 1;
    Tick();
    EXPECT_EQ(Link.Kinds(), (std::vector<char>{kSet}));
}

TEST_F(Exchange, NothingIsSentOnAClosedPortAndClosingClearsTheDisplay) {
    Link.Open = false;
    Rotor.SendRotorCommand(rcStop);
    Rotor.SendRotorCommand(rcSet, 1, 2);
    EXPECT_TRUE(Link.Written.empty());
    Link.ErrorShown = true;
    Link.Visible = false;  // shutting down: the error label is left alone
    Rotor.CPAfterClose();
    EXPECT_TRUE(Link.ErrorShown);
    EXPECT_EQ(Link.LastCommand, "");
    EXPECT_EQ(Link.PortState, "Closed");
    EXPECT_FALSE(Link.CycleTimer);
}

TEST_F(Exchange, ADividerFromTheReplyScalesTheNextSet) {
    Rotor.CPAfterOpen();
    std::string Reply = kReply;
    Reply[5] = 2;
    Answer(Reply);
    Tick(2);
    EXPECT_EQ(Rotor.Divider, 2);
    EXPECT_EQ(Link.Written[1].substr(1, 4), "1120");  // (200 + 360) x 2
}

TEST_F(Exchange, AReleasedPortButtonShowsNoReply) {
    Rotor.CPAfterOpen();
    Link.Wanted = false;
    Answer(kReply);
    Rotor.SendRotorCommand(rcStop);
    EXPECT_TRUE(Link.Shown.empty());
    EXPECT_EQ(Rotor.Divider, 1);
}

}  // namespace

namespace {

// A reply that puts the rotor at raw azimuth 715.0, i.e. 355 degrees.
const std::string kReplyAt355 = std::string("\x57\x07\x01\x05\x00\x01\x03\x07\x00\x05\x01\x20", 12);

TEST_F(Exchange, AWiderRangeSendsTheChosenSetPointAndComparesWithIt) {
    Settings.AzimuthRange = ar450;
    Target.Azimuth = 5;
    Rotor.CPAfterOpen();
    Answer(kReplyAt355);
    Tick(6);
    Answer(kReplyAt355);
    Tick(6);  // the same target again: no second SET
    EXPECT_EQ(Link.Kinds(), (std::vector<char>{kState, kSet, kState}));
    EXPECT_EQ(Link.Written[1].substr(1, 4), "0725");  // 365 + 360
    EXPECT_EQ(Link.LastCommand, "STATE");
    EXPECT_EQ(Rotor.LastAzimuth, 365);
}

}  // namespace

// A network client's stop: STOP at the next tick in place of its own frame,
// never inside an exchange; the reply's position is kept until the port closes.
TEST_F(Exchange, AStopAskedForGoesAtTheNextFreeTick) {
    Rotor.CPAfterOpen();
    EXPECT_FALSE(Rotor.RotorState);
    RunTicks(2);
    ASSERT_TRUE(Rotor.RotorState);
    EXPECT_DOUBLE_EQ(Rotor.RotorState->Elevation, 10.5);
    Target.SatName = "?";
    Rotor.RequestStop();
    Rotor.AwaitedBytes = 12;  // a tick inside a STATE wait
    Tick();
    EXPECT_EQ(Link.Kinds(), (std::vector<char>{kState, kSet}));
    Rotor.AwaitedBytes = 0;
    Answer(kReply);
    Tick();
    RunTicks(6);
    EXPECT_EQ(Link.Kinds(), (std::vector<char>{kState, kSet, kStop, kState}));
    Rotor.CPAfterClose();
    EXPECT_FALSE(Rotor.RotorState);
}

// Hamlib's daemon: the same cycle, its own lines, and every request answered.
class Daemon : public Exchange {
protected:
    void SetUp() override { Rotor.Speak(std::make_unique<TRotctldProtocol>()); }
};

TEST_F(Daemon, ItsLimitsAreAskedOnceAndHoldEverySetPoint) {
    Settings.AzimuthRange = ar540;  // wider than the daemon turns
    Settings.ElevationRange = er180;
    Target.Elevation = 85;
    Rotor.CPAfterOpen();
    Answer("1\n1\nmin_az=-180.000000\nmax_az=450.000000\nmin_el=0.000000\nmax_el=80.000000\ndone\n");
    Answer("10.00\n20,5\n");
    Tick();
    Answer("RPRT 0\n");
    Tick(5);
    Answer("12.00\n21.00\n");
    Tick(6);  // the same target again: no SET, and the limits are not asked again
    EXPECT_EQ(Link.Written, (std::vector<std::string>{"\\dump_state\n", "p\n", "P 200.000000 80.000000\n", "p\n"}));
    ASSERT_TRUE(Link.Limits);
    EXPECT_EQ(Link.Limits->MaxElevation, 80);
    ASSERT_EQ(Link.Shown.size(), 2u);
    EXPECT_EQ(Link.Shown[0].AzimuthText(), "10.0");
    EXPECT_EQ(Link.Shown[0].ElevationText(), "20.5");
    EXPECT_EQ(Link.Shown[0].DividerText(), "-");
    EXPECT_EQ(Link.LastCommand, "STATE");
    EXPECT_FALSE(Link.ErrorShown);
}

TEST_F(Daemon, ARefusedSetPointShowsUntilOneIsTakenAndGoesAgain) {
    Rotor.CPAfterOpen();
    Answer("RPRT -4\n");  // no limits told: the chosen ranges alone
    Answer("10\n20\n");
    Tick();
    Answer("RPRT -1\n");
    Tick(5);
    EXPECT_TRUE(Link.ErrorShown);
    EXPECT_EQ(Link.Why, "rotctld answered RPRT -1");
    Answer("10\n20\n");
    Tick();  // a position, but the refusal stands
    EXPECT_TRUE(Link.ErrorShown);
    // Its answer still awaited, the SET holds back the next STATE.
    Link.Messages.push_back([this] {
        Rotor.CycleStep = 0;
        Tick();
    });
    Answer("RPRT 0\n");
    Tick();
    EXPECT_FALSE(Link.ErrorShown);
    EXPECT_EQ(Link.Runs, std::vector<int>{2});
    EXPECT_FALSE(Link.Limits);
    EXPECT_EQ(Link.Written, (std::vector<std::string>{"\\dump_state\n", "p\n", "P 200.000000 5.000000\n", "p\n",
                                                      "P 200.000000 5.000000\n"}));
    EXPECT_EQ(Rotor.CycleStep, 0);
}
