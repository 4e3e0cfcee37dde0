// A port's settings saved to and loaded from a real ini file and a real
// registry key.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "PortSettingsSnapshot.h"
#include "cport/CPort_win.h"
#include "framework/IniFiles_win.h"
#include "framework/Registry_win.h"

namespace {

using TTexts = std::vector<std::string>;
const TComSettingGroups kAllGroups{sgBasic, sgFlowControl, sgBuffer, sgTimeouts, sgParity, sgOthers};

std::string TestName() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

class ComPersist : public ::testing::Test {
protected:
    void SetUp() override {
        char Dir[MAX_PATH];
        GetTempPathA(sizeof Dir, Dir);
        IniPath = std::string(Dir) + "gyro-port-" + TestName() + ".ini";
        DeleteFileA(IniPath.c_str());
        KeyPath = "\\Software\\GyroTest\\ComPersist\\" + TestName();
        (void)TRegistry().DeleteKey(KeyPath);
        Source.SetName("CP");
        Target.SetName("CP");
    }
    void TearDown() override {
        DeleteFileA(IniPath.c_str());
        (void)TRegistry().DeleteKey(KeyPath);
    }
    // The section's lines in file order, as the profile functions see them.
    TTexts SectionLines(const char* Section) const {
        char Buffer[8192];
        DWORD Length = GetPrivateProfileSectionA(Section, Buffer, sizeof Buffer, IniPath.c_str());
        TTexts Lines;
        for (const char* Line = Buffer; Line < Buffer + Length && *Line; Line += strlen(Line) + 1)
            Lines.push_back(Line);
        return Lines;
    }
    void OpenKey(TRegistry& Registry) { ASSERT_TRUE(Registry.OpenKey(KeyPath, true)); }
    // The current key's values, sorted: texts as name=text, double words as
    // name=#number.
    static TTexts Values(TRegistry& Registry) {
        TTexts Lines;
        for (DWORD Index = 0;; ++Index) {
            char Name[256];
            BYTE Data[256];
            DWORD NameSize = sizeof Name, DataSize = sizeof Data, Type = 0;
            if (RegEnumValueA(Registry.CurrentKey(), Index, Name, &NameSize, nullptr, &Type, Data, &DataSize) !=
                ERROR_SUCCESS) {
                std::sort(Lines.begin(), Lines.end());
                return Lines;
            }
            if (Type == REG_DWORD)
                Lines.push_back(std::string(Name) + "=#" + std::to_string(*reinterpret_cast<DWORD*>(Data)));
            else if (Type == REG_SZ)
                Lines.push_back(std::string(Name) + "=" + reinterpret_cast<char*>(Data));
            else
                Lines.push_back(std::string(Name) + " of type " + std::to_string(Type));
        }
    }

    std::string IniPath;
    std::string KeyPath;
    TComPort Source{nullptr};
    TComPort Target{nullptr};
};

TEST_F(ComPersist, ABasicSaveWritesExactlyTheBasicKeysInOrder) {
    Source.SetPort("COM3");
    Source.SetBaudRate(br600);
    TIniFile Ini(IniPath);
    Source.SaveToIniFile(Ini);
    EXPECT_EQ(SectionLines("CP"),
              (TTexts{"Port=COM3", "BaudRate=600", "StopBits=1", "DataBits=8", "Parity=None", "FlowControl=None"}));
}

// The registry lists values by name, whatever order they were written in.
TEST_F(ComPersist, ABasicSaveToTheRegistryWritesExactlyTheBasicValuesInTheirTypes) {
    TRegistry Registry;
    OpenKey(Registry);
    Source.SaveToRegistry(Registry);  // a new port: 9600 baud
    EXPECT_EQ(Values(Registry),
              (TTexts{"BaudRate=9600", "DataBits=8", "FlowControl=None", "Parity=None", "Port=COM1", "StopBits=1"}));

    ASSERT_TRUE(Registry.DeleteKey(KeyPath));
    OpenKey(Registry);
    Source.SetBaudRate(brCustom);
    Source.SetCustomBaudRate(31250);
    Source.SaveToRegistry(Registry);
    EXPECT_EQ(Values(Registry), (TTexts{"BaudRate=Custom", "CustomBaudRate=#31250", "DataBits=8", "FlowControl=None",
                                        "Parity=None", "Port=COM1", "StopBits=1"}));
}

TEST_F(ComPersist, EveryCharacterSurvivesARealIniFile) {
    // The profile functions trim blanks and quotes: no character may meet them.
    TIniFile Ini(IniPath);
    Source.SetSettingGroups({sgOthers});
    Target.SetSettingGroups({sgOthers});
    for (int Code = 0; Code < 256; ++Code) {
        Source.SetEventChar(static_cast<char>(Code));
        Source.SaveToIniFile(Ini);
        Target.SetEventChar(Code == 'x' ? 'y' : 'x');
        Target.LoadFromIniFile(Ini);
        EXPECT_EQ(static_cast<unsigned char>(Target.EventChar()), Code);
    }
}

TEST_F(ComPersist, EverySettingRoundTripsThroughAnIniFile) {
    ChangeEverySetting(Source);
    Source.SetSettingGroups(kAllGroups);
    Target.SetSettingGroups(kAllGroups);
    TIniFile Ini(IniPath);
    Source.SaveToIniFile(Ini);
    Target.LoadFromIniFile(Ini);
    EXPECT_EQ(Snapshot(Target), Snapshot(Source));
    EXPECT_EQ(GetPrivateProfileIntA("CP", "Timeouts.WriteTotalConstant", 0, IniPath.c_str()), -1);

    // Another port's section is its own.
    TComPort Other(nullptr);
    Other.SetName("Other");
    Other.SetSettingGroups(kAllGroups);
    TPortSettingsSnapshot Untouched = Snapshot(Other);
    Other.LoadFromIniFile(Ini);
    EXPECT_EQ(Snapshot(Other), Untouched);
}

TEST_F(ComPersist, EverySettingRoundTripsThroughARegistryKey) {
    ChangeEverySetting(Source);
    Source.SetSettingGroups(kAllGroups);
    Target.SetSettingGroups(kAllGroups);
    {
        TRegistry Registry;
        OpenKey(Registry);
        Source.SaveToRegistry(Registry);
    }
    TRegistry Registry;
    OpenKey(Registry);
    EXPECT_EQ(Registry.ReadString("EventChar"), "#13");
    EXPECT_EQ(Registry.ReadInteger("Buffer.OutputSize"), 4096);  // a double word
    Target.LoadFromRegistry(Registry);
    EXPECT_EQ(Snapshot(Target), Snapshot(Source));
}

TEST_F(ComPersist, ARegistryLoadMissingADoubleWordRaisesAfterTheEarlierGroups) {
    ChangeEverySetting(Source);
    Source.SetBaudRate(br1200);
    Source.SetSettingGroups(kAllGroups);
    Target.SetSettingGroups(kAllGroups);
    TRegistry Registry;
    OpenKey(Registry);
    Source.SaveToRegistry(Registry);
    ASSERT_TRUE(Registry.DeleteValue("Buffer.OutputSize"));

    TPortSettingsSnapshot Expected = Snapshot(Target);
    EXPECT_THROW(Target.LoadFromRegistry(Registry), ERegistryException);
    // Basic, others and parity were applied; buffer, timeouts and flow control not.
    TPortSettingsSnapshot Loaded = Snapshot(Source);
    Expected.Port = Loaded.Port;
    Expected.BaudRate = Loaded.BaudRate;
    Expected.StopBits = Loaded.StopBits;
    Expected.DataBits = Loaded.DataBits;
    Expected.Parity = Loaded.Parity;
    Expected.EventChar = Loaded.EventChar;
    Expected.DiscardNull = Loaded.DiscardNull;
    Expected.Check = Loaded.Check;
    Expected.Replace = Loaded.Replace;
    Expected.ReplaceChar = Loaded.ReplaceChar;
    EXPECT_EQ(Snapshot(Target), Expected);
}

TEST_F(ComPersist, ARegistryLoadReadsMissingTextsAsEmptyText) {
    Target.SetBaudRate(br600);
    Target.SetEventChar('x');
    Target.FlowControl().SetControlRTS(rtsEnable);
    Target.SetSettingGroups({sgBasic, sgOthers, sgFlowControl});
    TRegistry Registry;
    OpenKey(Registry);
    Registry.WriteString("FlowControl", "Hardware");
    Target.LoadFromRegistry(Registry);
    EXPECT_EQ(Target.Port(), "");
    EXPECT_EQ(Target.BaudRate(), br9600);
    EXPECT_EQ(Target.EventChar(), 0);
    // The detailed keys came after the preset: an empty text is Disable.
    EXPECT_EQ(Target.FlowControl().ControlRTS(), rtsDisable);
    EXPECT_FALSE(Target.FlowControl().OutCTSFlow());
}

TEST_F(ComPersist, AnIniLoadWithoutTheSectionKeepsEverythingButACustomRate) {
    ChangeEverySetting(Target);  // brCustom at 31250
    Target.SetSettingGroups(kAllGroups);
    TPortSettingsSnapshot Expected = Snapshot(Target);
    Expected.CustomBaudRate = 9600;
    TIniFile Ini(IniPath);
    Target.LoadFromIniFile(Ini);
    EXPECT_EQ(Snapshot(Target), Expected);
}

}  // namespace
