#include "main/NetworkRotator.h"

#include <gtest/gtest.h>

#include "support/FakeRotorLink.h"

namespace {

// The reply of a controller (divider 1) that has reached the set point of
// Frame: its whole degrees, and no tenths.
std::string ArrivedAt(const std::string& Frame) {
    std::string Reply = "W";
    for (size_t First : {2, 7})
        Reply += std::string{static_cast<char>(Frame[First] - '0'), static_cast<char>(Frame[First + 1] - '0'),
                             static_cast<char>(Frame[First + 2] - '0'), '\0', '\x01'};
    return Reply + ' ';
}

class NetworkRotator : public ::testing::Test {
protected:
    TFakeLink Link;
    TSettings Settings;
    TRotorExchange Rotor{Link, Link, Settings};
    TSatData Target;
    bool TargetIsPose = false;
    std::vector<std::string> Reported;
    TNetworkRotator Network{Rotor,
                            Link,
                            Settings,
                            "info",
                            [this](const TSatData& NewTarget, bool Pose) {
                                Target = NewTarget;
                                TargetIsPose = Pose;
                            },
                            [this](const std::string& Event) { Reported.push_back(Event); }};

    // One cycle: STATE answered with Reply, then the SET step.
    void Cycle(const std::string& Reply) {
        Rotor.CycleStep = 0;
        Link.Messages.push_back([this, Reply] {
            Link.Input += Reply;
            Rotor.CPRxChar(static_cast<int>(Link.Input.size()));
        });
        Rotor.TimerTimer(Target, TargetIsPose);
        Rotor.TimerTimer(Target, TargetIsPose);
    }
};

TEST_F(NetworkRotator, OverTheTopItAnswersWhereTheAntennaLooksAndParksInThePoseNamed) {
    Settings.ElevationRange = er180;
    Rotor.CPAfterOpen();
    const std::string OverTheTop =
        ArrivedAt(std::string("W0550\0"
                              "0530\0/ ",
                              13));  // 190 / 170
    Cycle(OverTheTop);
    ASSERT_EQ(AnswerLine("P 10 10", Network).Text, "RPRT 0\n");
    Cycle(OverTheTop);
    Cycle(ArrivedAt(Link.Written.back()));
    EXPECT_EQ(AnswerLine("p", Network).Text, "10.00\n10.00\n");

    ASSERT_EQ(AnswerLine("K", Network).Text, "RPRT 0\n");
    Cycle(ArrivedAt(Link.Written.back()));
    EXPECT_EQ(Link.Written.back(), std::string("W0360\0"
                                               "0360\0/ ",
                                               13));  // 0 / 0, not 180 / 180
}

TEST_F(NetworkRotator, AParkPositionTheRangesCannotHoldIsAnErrorAndOneLineInTheLog) {
    Settings.ParkPosition = {400, 45};
    EXPECT_EQ(AnswerLine("K", Network).Text, "RPRT -2\n");
    Settings.ParkPosition = {10, 95};
    Settings.ElevationRange = er180;
    EXPECT_EQ(AnswerLine("K", Network).Text, "RPRT -2\n");
    EXPECT_EQ(Target.SatName, "?");
    EXPECT_EQ(Reported.size(), 2u);
    Settings.ParkPosition = {400, 45};
    Settings.AzimuthRange = ar450;
    EXPECT_EQ(AnswerLine("K", Network).Text, "RPRT 0\n");
    EXPECT_EQ(Target.Azimuth, 400);
}

}  // namespace
