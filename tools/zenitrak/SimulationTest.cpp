// The simulator's portable part: how it is told what to do, and what its
// built-in pass publishes, read back with the driver's own parser.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "Simulation.h"
#include "main/SatData.h"

namespace {

TEST(SimCommands, EveryCommandInAnyLetterCase) {
    struct TCase {
        const char* Text;
        TSimCommand::TKind Kind;
        int Value;
    };
    const TCase Cases[] = {
        {"empty", TSimCommand::scEmpty, 0},
        {"QUIT", TSimCommand::scQuit, 0},
        {"refuse on", TSimCommand::scRefuse, 1},
        {"Refuse OFF", TSimCommand::scRefuse, 0},
        {"slow 1500", TSimCommand::scSlow, 1500},
        {"slow 0", TSimCommand::scSlow, 0},
        {"stamp on", TSimCommand::scStamp, 1},
        {"pause off", TSimCommand::scPause, 0},
        {"interval 50", TSimCommand::scInterval, 50},
        {"Ping", TSimCommand::scPing, 0},
        {"refuse-next 1500", TSimCommand::scRefuseNext, 1500},
        {"Ignore-Next", TSimCommand::scIgnoreNext, 0},
        {"misname-next", TSimCommand::scMisnameNext, 0},
    };
    for (const TCase& Case : Cases) {
        std::optional<TSimCommand> Command = ParseSimCommand(Case.Text);
        ASSERT_TRUE(Command) << Case.Text;
        EXPECT_EQ(Command->Kind, Case.Kind) << Case.Text;
        EXPECT_EQ(Command->Value, Case.Value) << Case.Text;
    }

    std::optional<TSimCommand> Line = ParseSimCommand("  line  SN\"AO 91\" AZ10 EL20 ");
    ASSERT_TRUE(Line);
    EXPECT_EQ(Line->Kind, TSimCommand::scLine);
    EXPECT_EQ(Line->Text, "SN\"AO 91\" AZ10 EL20");
}

TEST(SimCommands, AnythingElseIsNoCommand) {
    for (const char* Text : {"", "bogus", "slow", "slow -5", "slow 10ms", "slow 99999999999", "refuse maybe",
                             "quit now", "empty 1", "interval 0", "pause", "ping 1", "refuse-next", "ignore-next 1"})
        EXPECT_FALSE(ParseSimCommand(Text)) << Text;
}

TEST(SimOptions, OptionsAndTheCommandsTheyApplyFirst) {
    TSimOptions Options = ParseSimOptions({"--line", "SNISS AZ1", "--interval", "250", "--refuse-advise", "--slow",
                                           "1200", "--empty", "--stamp", "--paused", "--quit-after", "9000", "--once"});
    EXPECT_EQ(Options.Line, "SNISS AZ1");
    EXPECT_EQ(Options.IntervalMs, 250);
    EXPECT_EQ(Options.QuitAfterMs, 9000);
    EXPECT_TRUE(Options.Once);
    ASSERT_EQ(Options.Initial.size(), 5u);
    EXPECT_EQ(Options.Initial[0].Kind, TSimCommand::scRefuse);
    EXPECT_EQ(Options.Initial[1].Kind, TSimCommand::scSlow);
    EXPECT_EQ(Options.Initial[1].Value, 1200);
    EXPECT_EQ(Options.Initial[2].Kind, TSimCommand::scEmpty);
    EXPECT_EQ(Options.Initial[3].Kind, TSimCommand::scStamp);
    EXPECT_EQ(Options.Initial[4].Kind, TSimCommand::scPause);

    EXPECT_TRUE(ParseSimOptions({"--help"}).Help);
    EXPECT_EQ(ParseSimOptions({"--send", "line X"}).Send, "line X");
    EXPECT_EQ(ParseSimOptions({"--script", "pass.txt"}).Script, "pass.txt");
    EXPECT_EQ(ParseSimOptions({"--interval", "0"}).IntervalMs, 1);  // a timer needs at least 1 ms
}

TEST(SimOptions, MistakesAreToldToTheUser) {
    for (std::vector<std::string> Args : std::vector<std::vector<std::string>>{
             {"--line"}, {"--slow", "soon"}, {"--interval", "-1"}, {"--verbose"}, {"line", "X"}})
        EXPECT_THROW(ParseSimOptions(Args), std::invalid_argument) << Args.front();
}

TEST(SimScript, LinesCommentsAndCommands) {
    const std::vector<TScriptStep> Steps =
        ParseScript("# a pass\r\nSNISS AZ10 EL5\r\n\r\n  !slow 1500\n!INTERVAL 200\nSNISS AZ11 EL6");
    ASSERT_EQ(Steps.size(), 4u);
    EXPECT_FALSE(Steps[0].IsCommand);
    EXPECT_EQ(Steps[0].Line, "SNISS AZ10 EL5");
    EXPECT_TRUE(Steps[1].IsCommand);
    EXPECT_EQ(Steps[1].Command.Kind, TSimCommand::scSlow);
    EXPECT_EQ(Steps[2].Command.Kind, TSimCommand::scInterval);
    EXPECT_EQ(Steps[2].Command.Value, 200);
    EXPECT_EQ(Steps[3].Line, "SNISS AZ11 EL6");

    try {
        ParseScript("SNISS AZ1\n\n!jump 3\n");
        ADD_FAILURE() << "an unknown command was taken";
    } catch (const std::invalid_argument& Error) {
        EXPECT_NE(std::string(Error.what()).find("line 3"), std::string::npos) << Error.what();
    }
}

TEST(SimPass, RisesCulminatesAndSetsWithDoppler) {
    constexpr int kSteps = 121;
    const std::vector<std::string> Lines = BuiltInPass(kSteps);
    ASSERT_EQ(Lines.size(), static_cast<size_t>(kSteps));
    std::vector<TSatData> Pass(kSteps);
    for (int I = 0; I < kSteps; ++I)
        ParseSatData(Lines[I], Pass[I]);

    for (const TSatData& Step : Pass) {
        EXPECT_EQ(Step.SatName, "ISS");
        EXPECT_EQ(Step.UplinkMode, "FM");
        EXPECT_EQ(Step.DownlinkMode, "FM");
    }
    const TSatData &Rise = Pass.front(), &Top = Pass[kSteps / 2], &Set = Pass.back();
    EXPECT_LT(Rise.Elevation, 0);
    EXPECT_LT(Set.Elevation, 0);
    EXPECT_GT(Top.Elevation, 45);
    EXPECT_LE(Top.Elevation, 90);
    for (int I = 1; I < kSteps; ++I) {
        EXPECT_GT(Pass[I].Azimuth, Pass[I - 1].Azimuth) << Lines[I];
        EXPECT_LT(Pass[I].Azimuth, 360) << Lines[I];
        if (I <= kSteps / 2)
            EXPECT_GE(Pass[I].Elevation, Pass[I - 1].Elevation) << Lines[I];
        else
            EXPECT_LE(Pass[I].Elevation, Pass[I - 1].Elevation) << Lines[I];
    }
    // Approaching, the downlink is heard high and the uplink sent low; the
    // other way round when receding.
    EXPECT_GT(Rise.Downlink, Top.Downlink);
    EXPECT_LT(Set.Downlink, Top.Downlink);
    EXPECT_LT(Rise.Uplink, Top.Uplink);
    EXPECT_GT(Set.Uplink, Top.Uplink);
}

}  // namespace

namespace {

// Read back with the driver's parser: each pass rises and sets where it
// says, and the north pass crosses north.
TEST(NamedPasses, RiseCulminateAndSetWhereTheySay) {
    struct TCase {
        const char* Name;
        double RiseAzimuth, Peak;
        bool CrossesNorth;
    };
    for (const TCase& Case :
         {TCase{"north", 283, 35, true}, TCase{"overhead", 179, 85, false}, TCase{"south", 113, 20, false},
          TCase{"end", 85, 40, true}, TCase{"high85", 136, 85, false}, TCase{"high88", 90, 88, false},
          TCase{"high89.5", 225, 89.5, false}, TCase{"meo", 117, 55, false}}) {
        std::vector<TSatData> Points;
        for (const std::string& Line : NamedPass(Case.Name, 1, 300)) {
            Points.emplace_back();
            ParseSatData(Line, Points.back());
        }
        auto Rise = std::find_if(Points.begin(), Points.end(), [](const TSatData& P) { return P.Elevation >= 0; });
        ASSERT_NE(Rise, Points.end()) << Case.Name;
        EXPECT_NEAR(Rise->Azimuth, Case.RiseAzimuth, 1.5) << Case.Name;
        EXPECT_LT(Points.front().Elevation, -1) << Case.Name;
        double Peak = -90, Jump = 0;
        for (size_t I = 1; I < Points.size(); ++I) {
            Peak = std::max(Peak, Points[I].Elevation);
            Jump = std::max(Jump, std::fabs(Points[I].Azimuth - Points[I - 1].Azimuth));
        }
        EXPECT_NEAR(Peak, Case.Peak, 0.3)
            << Case.Name;  // a line a second misses the top by up to half a degree a second
        EXPECT_EQ(Jump > 300, Case.CrossesNorth) << Case.Name;
    }
    EXPECT_THROW(NamedPass("west", 1), std::invalid_argument);
    // The low orbit turns in some 93 minutes: 90 minutes ahead would be in the pass before.
    EXPECT_NO_THROW(NamedPass("north", 60, 4800));
    EXPECT_THROW(NamedPass("north", 60, 5400), std::invalid_argument);
    EXPECT_EQ(ParseSimOptions({"--pass", "north,end", "--scale", "4"}).Passes,
              (std::vector<std::string>{"north", "end"}));
    EXPECT_THROW(ParseSimOptions({"--pass", "north,west"}), std::invalid_argument);
}

}  // namespace
