#include "framework/IniFiles_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "framework/Exceptions.h"

namespace {

class IniFile : public ::testing::Test {
protected:
    void SetUp() override {
        char Dir[MAX_PATH];
        GetTempPathA(sizeof Dir, Dir);
        Path =
            std::string(Dir) + "gyro-ini-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini";
        DeleteFileA(Path.c_str());
    }
    void TearDown() override { DeleteFileA(Path.c_str()); }
    std::string Contents() const {
        std::ifstream File(Path, std::ios::binary);
        std::stringstream Text;
        Text << File.rdbuf();
        return Text.str();
    }
    std::string Path;
};

TEST_F(IniFile, ValuesRoundTripThroughARealFile) {
    {
        TIniFile Ini(Path);
        Ini.WriteString("CP", "Port", "COM2");
        Ini.WriteString("CP", "BaudRate", "600");
        Ini.WriteInteger("CP", "CustomBaudRate", -9600);
        Ini.WriteString("Other", "Port", "COM3");
    }
    TIniFile Ini(Path);
    EXPECT_EQ(Ini.ReadString("CP", "Port", "none"), "COM2");
    EXPECT_EQ(Ini.ReadString("cp", "port", "none"), "COM2");  // the platform ignores letter case
    EXPECT_EQ(Ini.ReadInteger("CP", "CustomBaudRate", 0), -9600);
    EXPECT_EQ(Ini.ReadInteger("CP", "BaudRate", 0), 600);
    EXPECT_EQ(Ini.ReadString("Other", "Port", ""), "COM3");
    EXPECT_EQ(Ini.ReadString("CP", "Missing", "dflt"), "dflt");
    EXPECT_EQ(Ini.ReadInteger("Missing", "Missing", 42), 42);
    EXPECT_NE(Contents().find("[CP]"), std::string::npos);
    EXPECT_NE(Contents().find("CustomBaudRate=-9600"), std::string::npos);
}

TEST_F(IniFile, LongTextsComeBackWhole) {
    TIniFile Ini(Path);
    std::string Long(5000, 'x');
    Long += "end";
    Ini.WriteString("S", "Long", Long);
    EXPECT_EQ(Ini.ReadString("S", "Long", ""), Long);
}

TEST_F(IniFile, KeysAndSectionsCanBeRemoved) {
    TIniFile Ini(Path);
    Ini.WriteString("CP", "Port", "COM2");
    Ini.WriteString("CP", "Parity", "None");
    Ini.WriteString("Keep", "A", "1");
    Ini.DeleteKey("CP", "Port");
    EXPECT_EQ(Ini.ReadString("CP", "Port", "gone"), "gone");
    EXPECT_EQ(Ini.ReadString("CP", "Parity", ""), "None");
    Ini.EraseSection("CP");
    EXPECT_EQ(Ini.ReadString("CP", "Parity", "gone"), "gone");
    EXPECT_EQ(Ini.ReadString("Keep", "A", ""), "1");
}

TEST_F(IniFile, TheFileIsNotKeptOpenBetweenCalls) {
    TIniFile Ini(Path);
    Ini.WriteString("CP", "Port", "COM2");
    EXPECT_EQ(Ini.ReadString("CP", "Port", ""), "COM2");
    EXPECT_EQ(Ini.ReadString("CP", "Missing", "dflt"), "dflt");
    Ini.DeleteKey("CP", "Port");
    // Nobody else may hold it: an exclusive open succeeds.
    HANDLE File = CreateFileA(Path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(File, INVALID_HANDLE_VALUE) << GetLastError();
    if (File != INVALID_HANDLE_VALUE)
        CloseHandle(File);
}

TEST_F(IniFile, AFileThatCannotBeWrittenRaises) {
    TIniFile Ini(Path + "\\no-such-dir\\settings.ini");
    EXPECT_THROW(Ini.WriteString("CP", "Port", "COM1"), Exception);
    EXPECT_EQ(Ini.ReadString("CP", "Port", "dflt"), "dflt");
}

}  // namespace
