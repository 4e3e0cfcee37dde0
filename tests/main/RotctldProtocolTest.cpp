#include "main/RotctldProtocol.h"

#include <gtest/gtest.h>

#include "main/RotorProtocol.h"

namespace {

constexpr auto More = TRotorAnswer::akMore, Done = TRotorAnswer::akDone, Failed = TRotorAnswer::akFailed;

const TRotctldProtocol Daemon;

TEST(Rotctld, RequestsAreTheShortCommandsWithAPoint) {
    EXPECT_EQ(Daemon.Request(rqState, 0, 0, 1), "p\n");
    EXPECT_EQ(Daemon.Request(rqStop, 0, 0, 1), "S\n");
    EXPECT_EQ(Daemon.Request(rqLimits, 0, 0, 1), "\\dump_state\n");
    EXPECT_EQ(Daemon.Request(rqSet, -170.25, 89.5, 7), "P -170.250000 89.500000\n");  // no divider
    EXPECT_EQ(Daemon.Request(rqSet, 1e-9, 0, 1), "P 0.000000 0.000000\n");
    EXPECT_TRUE(RotorProtocolFor(" ROTCTLD://127.0.0.1:4533")->AsksLimits());
    EXPECT_FALSE(RotorProtocolFor("127.0.0.1:4533")->AsksLimits());
}

struct TCase {
    TRotorRequest Request;
    const char* Received;
    TRotorAnswer::TKind Kind;
    double Azimuth = 0, Elevation = 0;  // done: the reading, for STATE
};

TEST(Rotctld, AnswersAreRecognisedWhateverTheyBringFirst) {
    const TCase Cases[] = {
        {rqState, "", More},
        {rqState, "12.50\n3", More},  // the elevation's line not ended yet
        {rqState, "12.50\n34.25\n", Done, 12.5, 34.25},
        {rqState, "-4,81\r\n0,5\r\n", Done, -4.81, 0.5},  // a daemon in a decimal-comma locale
        {rqState, "RPRT 0\n400\n-0.00\n", Done, 400, 0},  // a late answer to an earlier SET first
        {rqState, "RPRT -6\n", Failed},
        {rqState, "12.50\nRPRT 0\n", Failed},
        {rqState, "Azimuth: 12.5\n", Failed},
        {rqSet, "RPRT 0\n", Done},
        {rqSet, "12.50\n34.25\nRPRT 0\n", Done},  // a late position first
        {rqSet, "RPRT -1\n", Failed},
        {rqSet, "RPRT x\n", Failed},
        {rqStop, "RPR", More},
        {rqStop, "RPRT 0\n", Done},
    };
    for (const TCase& Case : Cases) {
        const TRotorAnswer Answer = Daemon.Scan(Case.Request, Case.Received);
        EXPECT_EQ(Answer.Kind, Case.Kind) << Case.Received;
        if (Case.Request == rqState && Case.Kind == Done) {
            ASSERT_TRUE(Answer.Reading) << Case.Received;
            EXPECT_DOUBLE_EQ(Answer.Reading->Azimuth, Case.Azimuth) << Case.Received;
            EXPECT_DOUBLE_EQ(Answer.Reading->Elevation, Case.Elevation) << Case.Received;
            EXPECT_FALSE(Answer.Reading->Divider);
        }
    }
    // What the log says of a refusal: the daemon's own code.
    EXPECT_EQ(Daemon.Scan(rqState, "RPRT -6\n").Why, "rotctld answered RPRT -6");
    EXPECT_EQ(Daemon.Scan(rqSet, "\x01no\n").Why, "rotctld answered \"?no\"");
}

TEST(Rotctld, ABrokenOrEndlessAnswerIsBounded) {
    const std::string Endless(kMaxRotctldLine + 1, '7');
    EXPECT_EQ(Daemon.Scan(rqState, std::string(kMaxRotctldLine, '7')).Kind, More);
    EXPECT_EQ(Daemon.Scan(rqState, Endless).Kind, Failed);
    EXPECT_EQ(Daemon.Scan(rqState, "1\n" + Endless + "\n2\n").Kind, Failed);
    std::string Strays;
    for (int I = 0; I < 9; ++I)
        Strays += "RPRT 0\n";
    EXPECT_EQ(Daemon.Scan(rqState, Strays).Kind, Failed);
    std::string State = "1\n1\n";
    for (int I = 0; I < 100; ++I)
        State += "x=1\n";
    EXPECT_EQ(Daemon.Scan(rqLimits, State).Kind, Failed);
}

TEST(Rotctld, DumpStateTellsTheLimitsWhenItCan) {
    const auto Limits = [](const char* Received) { return Daemon.Scan(rqLimits, Received); };
    const TRotorAnswer Dummy = Limits(
        "1\n1\nmin_az=-180.000000\nmax_az=450.000000\nmin_el=0.000000\nmax_el=90.000000\nsouth_zero=0\n"
        "rot_type=AzEl\ndone\n");
    ASSERT_EQ(Dummy.Kind, Done);
    ASSERT_TRUE(Dummy.Limits);
    EXPECT_EQ(Dummy.Limits->MinAzimuth, -180);
    EXPECT_EQ(Dummy.Limits->MaxAzimuth, 450);
    EXPECT_EQ(Dummy.Limits->MinElevation, 0);
    EXPECT_EQ(Dummy.Limits->MaxElevation, 90);
    EXPECT_EQ(Limits("1\n1\nmin_az=0\nmax_az=360\n").Kind, More);
    // A daemon that tells nothing, or nothing that makes sense: the chosen ranges alone.
    for (const char* Received : {"RPRT -4\n", "1\n1\nmin_az=0\nmax_az=360\nmin_el=0\ndone\n",
                                 "1\n1\nmin_az=10\nmax_az=0\nmin_el=0\nmax_el=90\ndone\n",
                                 "1\n1\nmin_az=0\nmax_az=x\nmin_el=0\nmax_el=90\ndone\n"}) {
        EXPECT_EQ(Limits(Received).Kind, Done) << Received;
        EXPECT_FALSE(Limits(Received).Limits) << Received;
    }
}

}  // namespace
