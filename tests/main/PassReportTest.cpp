#include "main/PassReport.h"

#include <algorithm>
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "Simulation.h"
#include "main/SatData.h"

namespace {

// The south pass, a line a second; half a second after each line a reply
// with the rotor 0.5 degrees above the satellite, and 2 degrees above it at
// every tenth reply; a SET after every other line and one failed exchange.
TEST(PassReport, FiguresOfARecordedPassWithAKnownError) {
    std::vector<TSatData> Lines;
    for (const std::string& Text : NamedPass("south", 1, 10)) {
        Lines.emplace_back();
        ParseSatData(Text, Lines.back());
    }
    TPassRecorder Recorder;
    std::optional<TPassReport> Report;
    int Replies = 0, Spikes = 0, Sets = 0;
    for (size_t I = 0; I + 1 < Lines.size() && !Report; ++I) {
        const TSatData &Line = Lines[I], &Next = Lines[I + 1];
        const double Ms = static_cast<double>(I) * 1000;
        Report = Recorder.LineArrived("ISS", {Line.Azimuth, Line.Elevation}, Line.Elevation >= 0, Ms);
        if (I % 2 == 0) {
            Recorder.SetSent();
            Sets += Line.Elevation >= 0 && !Report;
        }
        if (Line.Elevation < 0)
            continue;
        const bool Spike = ++Replies % 10 == 0;
        Spikes += Spike;
        Recorder.RotorReported(
            {(Line.Azimuth + Next.Azimuth) / 2, (Line.Elevation + Next.Elevation) / 2 + (Spike ? 2 : 0.5)}, Ms + 500);
        if (Replies == 100)
            Recorder.ExchangeFailed();
    }
    ASSERT_TRUE(Report);
    EXPECT_EQ(Report->Satellite, "ISS");
    EXPECT_NEAR(Report->RiseAzimuth, 113, 1.5);
    EXPECT_NEAR(Report->SetAzimuth, 247, 1.5);
    EXPECT_NEAR(Report->Highest, 20, 0.3);
    EXPECT_EQ(static_cast<int>(Report->Errors.size()), Replies);
    EXPECT_EQ(Report->SetFrames, Sets);
    EXPECT_EQ(Report->FailedExchanges, 1);
    // The satellite's motion is carried on from its last two lines: near enough the midpoint.
    std::vector<double> Errors = Report->Errors;
    std::ranges::sort(Errors);
    EXPECT_NEAR(Errors[Errors.size() / 2], 0.5, 0.02);
    EXPECT_NEAR(Errors[Errors.size() * 95 / 100], 2, 0.06);
    EXPECT_NEAR(Errors.back(), 2, 0.06);
    // Across the sky and up and down, and each spike up and back (less the
    // satellite's own climb in that time).
    const double Smooth = Report->SetAzimuth - Report->RiseAzimuth + 2 * Report->Highest;
    EXPECT_GT(Report->Travel, Smooth + 2 * Spikes);
    EXPECT_LT(Report->Travel, Smooth + 3 * Spikes + 1);
    const std::string Text = PassReportText(*Report, "19:40:12", "19:49:03");
    EXPECT_EQ(Text.substr(0, 35), "ISS pass: rose 19:40:12 at azimuth ");
    EXPECT_NE(Text.find(", set 19:49:03 at azimuth 247."), std::string::npos) << Text;
    EXPECT_NE(Text.find("; pointing error median 0.50, 95 % 2.0"), std::string::npos) << Text;
    EXPECT_NE(Text.find(" degrees over " + std::to_string(Replies) + " replies; " + std::to_string(Sets) +
                        " SET frames; rotor travel "),
              std::string::npos)
        << Text;
    EXPECT_NE(Text.find(" degrees; 1 failed exchanges"), std::string::npos) << Text;
}

TEST(PassReport, AnotherSatelliteEndsThePassWhereTheFirstWasLeft) {
    TPassRecorder Recorder;
    EXPECT_FALSE(Recorder.LineArrived("ISS", {100, 10}, true, 0));
    EXPECT_FALSE(Recorder.LineArrived("ISS", {101, 1e300}, true, 1000));  // no direction: nothing changes
    const auto Report = Recorder.LineArrived("AO-7", {250, -20}, false, 2000);
    ASSERT_TRUE(Report);
    EXPECT_EQ(Report->SetAzimuth, 100);
    EXPECT_EQ(Report->SetMs, 2000);
    EXPECT_EQ(PassReportText(*Report, "a", "b").find("pointing error not measured (no replies)") != std::string::npos,
              true);
    EXPECT_FALSE(Recorder.LineArrived("?", {0, 0}, true, 3000));  // no satellite named: no pass
    EXPECT_FALSE(Recorder.LineArrived("ISS", {0, -1}, false, 4000));
}

}  // namespace
