// The simulator's protocol, motion and behaviour on a simulated clock.
#include <gtest/gtest.h>

#include <stdexcept>

#include "RotorSim.h"

namespace {

const TBytes kStop = {0x57, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0F, 0x20};
const TBytes kState = {0x57, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x1F, 0x20};
// Azimuth 123.4 and elevation 10 with divider 1: 483 and 370.
const TBytes kSet483_370 = {0x57, 0x30, 0x34, 0x38, 0x33, 0x00, 0x30, 0x33, 0x37, 0x30, 0x00, 0x2F, 0x20};
// The same angles with divider 2: 966 and 740.
const TBytes kSet966_740 = {0x57, 0x30, 0x39, 0x36, 0x36, 0x00, 0x30, 0x37, 0x34, 0x30, 0x00, 0x2F, 0x20};

TBytes Join(std::initializer_list<TBytes> Parts) {
    TBytes All;
    for (const TBytes& Part : Parts)
        All.insert(All.end(), Part.begin(), Part.end());
    return All;
}

std::string Kinds(const std::vector<TReceived>& Found) {
    std::string Text;
    for (const TReceived& Received : Found)
        Text += std::string(Text.empty() ? "" : " ") + CommandName(Received.Kind) + "/" +
                std::to_string(Received.Bytes.size());
    return Text;
}

TEST(FrameReader, FindsFramesAndResynchronisesAfterGarbage) {
    struct TCase {
        const char* Name;
        TBytes Input;
        std::string Expected;
    } Cases[] = {
        {"three frames", Join({kStop, kState, kSet483_370}), "STOP/13 STATE/13 SET/13"},
        {"garbage first", Join({{0x01, 0x02}, kState}), "garbage/2 STATE/13"},
        {"stray W before a frame", Join({{0x57}, kState}), "garbage/1 STATE/13"},
        {"cut-off frame before a frame", Join({TBytes(kState.begin(), kState.begin() + 7), kStop}),
         "garbage/7 STOP/13"},
        {"padding not zero", Join({{0x57, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0x1F, 0x20}, kState}), "garbage/13 STATE/13"},
        {"unknown command byte", Join({{0x57, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x3F, 0x20}, kStop}), "garbage/13 STOP/13"},
        {"no closing space", Join({{0x57, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x1F, 0x21}, kStop}), "garbage/13 STOP/13"},
        {"garbage after", Join({kStop, {0x33, 0x34}}), "STOP/13 garbage/2"},
    };
    for (const TCase& Case : Cases) {
        TFrameReader Reader;
        EXPECT_EQ(Kinds(Reader.Feed(Case.Input)), Case.Expected) << Case.Name;
        EXPECT_FALSE(Reader.Pending()) << Case.Name;
    }
}

TEST(FrameReader, JoinsAFrameThatArrivesInPiecesAndDropsAnUnfinishedOne) {
    TFrameReader Reader;
    EXPECT_TRUE(Reader.Feed(std::span(kState).first(5)).empty());
    EXPECT_TRUE(Reader.Pending());
    EXPECT_EQ(Kinds(Reader.Feed(std::span(kState).subspan(5))), "STATE/13");

    EXPECT_TRUE(Reader.Feed(std::span(kSet483_370).first(9)).empty());
    EXPECT_EQ(Kinds(Reader.Drop()), "garbage/9");
    EXPECT_FALSE(Reader.Pending());
}

TEST(SetPoint, DecodesTheDigitsWithTheDivider) {
    const auto One = DecodeSetPoint(kSet483_370, 1);
    ASSERT_TRUE(One);
    EXPECT_DOUBLE_EQ(One->Azimuth, 123.0);
    EXPECT_DOUBLE_EQ(One->Elevation, 10.0);
    const auto Two = DecodeSetPoint(kSet966_740, 2);
    ASSERT_TRUE(Two);
    EXPECT_DOUBLE_EQ(Two->Azimuth, 123.0);
    EXPECT_DOUBLE_EQ(Two->Elevation, 10.0);

    EXPECT_FALSE(DecodeSetPoint(kSet483_370, 0));
    TBytes NotDigit = kSet483_370;
    NotDigit[8] = 0x3A;  // what a set point beyond 9999 turns into
    EXPECT_FALSE(DecodeSetPoint(NotDigit, 1));
}

TEST(Reply, CarriesDegreesAndTenthsPlus360) {
    EXPECT_EQ(HexBytes(EncodeReply({123.4, 10.5}, 1)), "57 04 08 03 04 01 03 07 00 05 01 20");
    EXPECT_EQ(HexBytes(EncodeReply({0.0, -5.0}, 2)), "57 03 06 00 00 02 03 05 05 00 02 20");
    EXPECT_EQ(HexBytes(EncodeReply({359.96, 90.04}, 10)), "57 07 02 00 00 0A 04 05 00 00 0A 20");
    // Beyond what the digits hold: the nearest end.
    EXPECT_EQ(HexBytes(EncodeReply({700.0, -400.0}, 1)), "57 09 09 09 09 01 00 00 00 00 01 20");
}

TEST(Rotor, TurnsEachAxisAtItsRateTheLongWayRoundAndStopsOnTheTarget) {
    TRotor Rotor({350.0, 0.0}, {6.0, 3.0});
    Rotor.SetTarget({10.0, 30.0});
    EXPECT_DOUBLE_EQ(Rotor.SecondsToTarget(), 340.0 / 6.0);
    Rotor.Advance(5.0);
    EXPECT_DOUBLE_EQ(Rotor.Position().Azimuth, 320.0);  // through south, not across north
    EXPECT_DOUBLE_EQ(Rotor.Position().Elevation, 15.0);
    Rotor.Advance(5.0);
    EXPECT_DOUBLE_EQ(Rotor.Position().Elevation, 30.0);
    EXPECT_TRUE(Rotor.Moving());
    Rotor.Advance(100.0);
    EXPECT_DOUBLE_EQ(Rotor.Position().Azimuth, 10.0);
    EXPECT_FALSE(Rotor.Moving());

    Rotor.SetTarget({20.1, 30.0});
    Rotor.Advance(0.5);
    Rotor.Stop();
    Rotor.Advance(10.0);
    EXPECT_DOUBLE_EQ(Rotor.Position().Azimuth, 13.0);
}

// A simulator on a clock the test turns, collecting its log.
struct TSimulated {
    std::vector<std::string> Log;
    TRotorSim Sim;
    explicit TSimulated(TSimSettings Settings = {})
        : Sim(
              Settings, [this](const std::string& Line) { Log.push_back(Line); }, 0.0) {}
    std::string At(double Ms) { return HexBytes(Sim.Poll(Ms)); }
    // Whether a log line ends with Text.
    bool Logged(const std::string& Text) const {
        for (const std::string& Line : Log)
            if (Line.size() >= Text.size() && Line.compare(Line.size() - Text.size(), Text.size(), Text) == 0)
                return true;
        return false;
    }
};

TEST(RotorSim, AnswersStopAndStateNotSetAndMovesTowardsTheSetPoint) {
    TSimSettings Settings;
    Settings.Start = {100.0, 0.0};
    TSimulated S(Settings);
    S.Sim.Receive(kState, 10.0);
    EXPECT_EQ(S.At(10.0), "57 04 06 00 00 01 03 06 00 00 01 20");
    S.Sim.Receive(kSet483_370, 20.0);
    EXPECT_EQ(S.At(20.0), "");
    ASSERT_TRUE(S.Sim.NextWakeMs());
    EXPECT_DOUBLE_EQ(*S.Sim.NextWakeMs(), 20.0 + 23.0 / 6.0 * 1000.0);
    S.Sim.Receive(kState, 2020.0);  // 12 degrees in azimuth, 6 in elevation
    EXPECT_EQ(S.At(2020.0), "57 04 07 02 00 01 03 06 06 00 01 20");
    S.Sim.Receive(kStop, 3020.0);
    EXPECT_EQ(S.At(3020.0), "57 04 07 08 00 01 03 06 09 00 01 20");
    EXPECT_EQ(S.At(9000.0), "");
    EXPECT_FALSE(S.Sim.NextWakeMs());
    EXPECT_EQ(S.Log[1], "10.000 rx STATE 57 00 00 00 00 00 00 00 00 00 00 1F 20");
    EXPECT_EQ(S.Log[2], "10.000 tx STATE 57 04 06 00 00 01 03 06 00 00 01 20");
    EXPECT_TRUE(S.Logged("20.000 target 123.00 10.00"));
    EXPECT_TRUE(S.Logged("3020.000 stop 118.00 9.00"));
}

TEST(RotorSim, HoldsASetPointBeyondTheRangeAtTheEndStop) {
    TSimSettings Settings;
    ASSERT_TRUE(ApplySetting({"range", "0-360"}, Settings));
    EXPECT_FALSE(ApplySetting({"range", "0-720"}, Settings));
    TSimulated S(Settings);
    // Azimuth 410 (770) with divider 1.
    const TBytes Set770 = {0x57, 0x30, 0x37, 0x37, 0x30, 0x00, 0x30, 0x33, 0x37, 0x30, 0x00, 0x2F, 0x20};
    S.Sim.Receive(Set770, 20.0);
    EXPECT_TRUE(S.Logged("20.000 target 360.00 10.00 stop"));
    ASSERT_TRUE(S.Sim.Control("range 0-450", 30.0));
    S.Sim.Receive(Set770, 40.0);
    EXPECT_TRUE(S.Logged("40.000 target 410.00 10.00"));
    // Elevation 120 (480), over the top.
    const TBytes Set480 = {0x57, 0x30, 0x37, 0x37, 0x30, 0x00, 0x30, 0x34, 0x38, 0x30, 0x00, 0x2F, 0x20};
    ASSERT_TRUE(S.Sim.Control("elevation-range 0-90", 50.0));
    S.Sim.Receive(Set480, 60.0);
    EXPECT_TRUE(S.Logged("60.000 target 410.00 90.00 stop"));
    ASSERT_TRUE(S.Sim.Control("elevation-range 0-180", 70.0));
    S.Sim.Receive(Set480, 80.0);
    EXPECT_TRUE(S.Logged("80.000 target 410.00 120.00"));
}

TEST(RotorSim, PacesBytesAt600BaudAndSplitsWithAPause) {
    TSimSettings Settings;
    Settings.Pace = true;
    TSimulated S(Settings);
    S.Sim.Control("fault split 5 400", 0.0);
    S.Sim.Receive(kState, 0.0);
    const double kByteMs = ByteMs(600);
    const double ReplyStart = kCommandSize * kByteMs;  // the frame's time on the line
    EXPECT_EQ(S.At(ReplyStart - 1.0), "");
    EXPECT_EQ(S.At(ReplyStart), "57");
    EXPECT_EQ(S.At(ReplyStart + 2.5 * kByteMs), "03 06");
    EXPECT_EQ(S.At(ReplyStart + 300.0), "00 00");  // the first part ends after 5 bytes
    const double SecondPart = ReplyStart + 5 * kByteMs + 400.0;
    EXPECT_DOUBLE_EQ(*S.Sim.NextWakeMs(), SecondPart);
    EXPECT_EQ(S.At(SecondPart + 7 * kByteMs), "01 03 06 00 00 01 20");
    EXPECT_TRUE(S.Logged("tx STATE 57 03 06 00 00"));
    EXPECT_TRUE(S.Logged("tx STATE 01 03 06 00 00 01 20"));
}

TEST(RotorSim, FaultsShapeTheRepliesUntilCleared) {
    TSimulated S;
    const auto Reply = [&S](double Ms) {
        S.Sim.Receive(kState, Ms);
        return S.At(Ms + 5000.0);
    };
    ASSERT_TRUE(S.Sim.Control("fault silent", 0.0));
    EXPECT_EQ(Reply(0.0), "");
    EXPECT_TRUE(S.Logged("0.000 silent STATE"));
    ASSERT_TRUE(S.Sim.Control("fault silent off", 0.0));
    ASSERT_TRUE(S.Sim.Control("fault extra 2", 0.0));
    EXPECT_EQ(Reply(10000.0), "57 03 06 00 00 01 03 06 00 00 01 20 EE EE");
    ASSERT_TRUE(S.Sim.Control("fault stall 5", 0.0));
    EXPECT_EQ(Reply(20000.0), "57 03 06 00 00");
    ASSERT_TRUE(S.Sim.Control("fault stall off", 0.0));
    ASSERT_TRUE(S.Sim.Control("fault split", 0.0));  // after 5 bytes, 300 ms
    S.Sim.Receive(kState, 30000.0);
    EXPECT_EQ(S.At(30299.0), "57 03 06 00 00");
    EXPECT_EQ(S.At(30300.0), "01 03 06 00 00 01 20 EE EE");  // extra bytes still on
    ASSERT_TRUE(S.Sim.Control("fault none", 0.0));
    ASSERT_TRUE(S.Sim.Control("divider 2", 0.0));
    EXPECT_EQ(Reply(40000.0), "57 03 06 00 00 02 03 06 00 00 02 20");
    // SET frames are read with the new divider: 966 / 2 - 360.
    S.Sim.Receive(kSet966_740, 50000.0);
    EXPECT_DOUBLE_EQ(S.Sim.Rotor().Target().Azimuth, 123.0);
}

// Newer controllers answer SET too; a frame at another line speed than the
// controller's is nothing it can read.
TEST(RotorSim, AnswersSetWhenToldAndReadsOnlyItsOwnSpeed) {
    TSimulated S;
    ASSERT_TRUE(S.Sim.Control("answer-set 700", 0.0));
    S.Sim.Receive(kSet483_370, 0.0);
    EXPECT_EQ(S.At(699.0), "");
    EXPECT_EQ(S.At(700.0), "57 03 06 00 00 01 03 06 00 00 01 20");
    ASSERT_TRUE(S.Sim.Control("fault scrambled", 800.0));
    S.Sim.Receive(kState, 800.0);
    EXPECT_EQ(S.At(800.0), "C3 C3 C3 C3 C3 C3 C3 C3 C3 C3 C3 C3");
    S.Sim.LineSpeed(9600, 900.0);
    S.Sim.Receive(kState, 900.0);
    EXPECT_EQ(S.At(5000.0), "");
    EXPECT_TRUE(S.Logged("900.000 speed 9600"));
    EXPECT_TRUE(S.Logged("rx garbage 57 00 00 00 00 00 00 00 00 00 00 1F 20 (speed 9600)"));
}

TEST(RotorSim, SendsUnsolicitedGarbageBetweenReplies) {
    TSimulated S;
    S.Sim.Control("fault garbage 3 1000", 50.0);
    EXPECT_EQ(S.At(50.0), "A0 A1 A2");
    EXPECT_EQ(S.At(1000.0), "");
    EXPECT_EQ(S.At(1050.0), "A3 A4 A5");
    S.Sim.Control("fault none", 1100.0);
    EXPECT_EQ(S.At(5000.0), "");
    EXPECT_TRUE(S.Logged("1050.000 tx GARBAGE A3 A4 A5"));
}

TEST(RotorSim, DropsAnUnfinishedFrameAfterAPause) {
    TSimulated S;
    S.Sim.Receive(std::span(kState).first(6), 0.0);
    EXPECT_DOUBLE_EQ(*S.Sim.NextWakeMs(), kFrameGapMs);
    S.At(kFrameGapMs);
    EXPECT_TRUE(S.Logged("rx garbage 57 00 00 00 00 00"));
    S.Sim.Receive(kState, kFrameGapMs + 1);
    EXPECT_EQ(S.At(kFrameGapMs + 1), "57 03 06 00 00 01 03 06 00 00 01 20");
}

TEST(RotorSim, RefusesControlLinesItDoesNotUnderstandWithoutChangingAnything) {
    TSimulated S;
    const char* Bad[] = {"",           "fault",    "fault stall x",  "fault split 5 -1", "fault loud", "divider 256",
                         "pace maybe", "rate 0 3", "position 700 0", "send 1FF",         "send",       "quit now"};
    for (const char* Line : Bad)
        EXPECT_FALSE(S.Sim.Control(Line, 0.0)) << Line;
    EXPECT_EQ(S.Sim.Settings().Divider, 1);
    EXPECT_FALSE(S.Sim.Settings().Faults.StallAfter);
    EXPECT_FALSE(S.Sim.Settings().Faults.SplitAt);
    EXPECT_FALSE(S.Sim.QuitRequested());
    EXPECT_TRUE(S.Logged("ctl-error fault loud"));

    EXPECT_TRUE(S.Sim.Control("SEND 57 0a", 0.0));
    EXPECT_EQ(S.At(0.0), "57 0A");
    EXPECT_TRUE(S.Sim.Control("quit", 0.0));
    EXPECT_TRUE(S.Sim.QuitRequested());
}

TEST(SimOptions, ReadsSettingsAndTheCommandToRun) {
    const TSimOptions Options =
        ParseSimOptions({"--link", "/tmp/com7", "--position", "10", "-2.5", "--rate", "4", "2", "--divider", "3",
                         "--pace", "--fault", "stall 4", "--", "wine", "--divider"});
    EXPECT_EQ(Options.Link, "/tmp/com7");
    EXPECT_DOUBLE_EQ(Options.Settings.Start.Elevation, -2.5);
    EXPECT_DOUBLE_EQ(Options.Settings.Rates.Azimuth, 4.0);
    EXPECT_EQ(Options.Settings.Divider, 3);
    EXPECT_TRUE(Options.Settings.Pace);
    EXPECT_EQ(Options.Settings.Faults.StallAfter, 4u);
    EXPECT_EQ(Options.Command, (std::vector<std::string>{"wine", "--divider"}));

    const std::vector<std::string> Bad[] = {{"--divider"},       {"--divider", "x"},
                                            {"--position", "1"}, {"--fault", "loud"},
                                            {"--what"},          {"--link", "a", "--device", "b"},
                                            {"--tcp", "65536"},  {"--tcp", "4001", "--link", "a"},
                                            {"--baud", "fast"},  {"--answer-set", "soon"}};
    for (const auto& Args : Bad)
        EXPECT_THROW(ParseSimOptions(Args), std::invalid_argument) << Args[0];
}

}  // namespace
