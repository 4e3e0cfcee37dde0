#include "main/StationLog.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>

namespace {

std::string Contents(const std::string& Path) {
    std::ifstream File(Path, std::ios::binary);
    std::stringstream Text;
    Text << File.rdbuf();
    return Text.str();
}

class StationLog : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string Base =
            ::testing::TempDir() + "StationLog" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        Path = Base + ".log";
        RollOver = Base + ".1.log";
        std::remove(Path.c_str());
        std::remove(RollOver.c_str());
    }
    std::string Path, RollOver;
};

TEST_F(StationLog, EachEventIsALineBeginningWithTheLocalTimeAndRepeatsAreCounted) {
    TStationLog Log(Path, RollOver);
    for (const char* Event : {"start", "transmission error", "transmission error", "transmission error", "exit"})
        EXPECT_TRUE(Log.Write(Event));
    const std::regex Expected(
        "(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d) start\n"
        "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d transmission error\n"
        "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d the line before came 2 times more\n"
        "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d exit\n");
    EXPECT_TRUE(std::regex_match(Contents(Path), Expected)) << Contents(Path);
}

TEST_F(StationLog, AtItsLimitTheFileRollsOverAndTheOlderOneGoes) {
    TStationLog Log(Path, RollOver, 200);
    const std::string Event(50, 'x');  // 70 bytes a line with its time
    for (int I = 0; I < 10; ++I)
        ASSERT_TRUE(Log.Write(Event + std::to_string(I)));
    // Two lines a file: 0 1 | 2 3 | ... | 8 9; the file before the last is kept.
    EXPECT_EQ(Contents(Path).size(), 2 * 72u);
    EXPECT_NE(Contents(Path).find(Event + "9"), std::string::npos);
    EXPECT_NE(Contents(RollOver).find(Event + "6"), std::string::npos);
    EXPECT_EQ(Contents(RollOver).find(Event + "5"), std::string::npos);
}

TEST_F(StationLog, AFolderThatCannotBeWrittenIsTriedAgainAMinuteLaterAndTheLossCounted) {
    const std::string Folder = ::testing::TempDir() + "StationLogFolder";
    std::filesystem::remove_all(Folder);
    double Now = 0;
    TStationLog Log(Folder + "/Gyrotalk.log", Folder + "/Gyrotalk.1.log", TStationLog::kLimit, [&] { return Now; });
    EXPECT_TRUE(Log.Write("start"));  // the folder is made
    std::filesystem::remove_all(Folder);
    std::ofstream(Folder) << "a file in its place";
    EXPECT_FALSE(Log.Write("port lost"));
    EXPECT_TRUE(Log.Failing());
    std::filesystem::remove(Folder);
    Now += 59000;
    EXPECT_FALSE(Log.Write("port back"));  // not tried yet
    Now += 1000;
    EXPECT_TRUE(Log.Write("exit"));
    EXPECT_FALSE(Log.Failing());
    const std::regex Expected(
        "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d the log could not be written: 2 events lost\n"
        "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d exit\n");
    EXPECT_TRUE(std::regex_match(Contents(Folder + "/Gyrotalk.log"), Expected)) << Contents(Folder + "/Gyrotalk.log");
}

}  // namespace
