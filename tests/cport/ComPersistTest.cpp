// Saving and loading port settings: which keys, in which order and form,
// and how a load treats missing keys and texts that name nothing.
#include "cport/ComPersist.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "FakeComPort.h"
#include "PortSettingsSnapshot.h"

namespace {

using TEntries = std::vector<std::pair<std::string, std::string>>;

// An ini file in memory that keeps its keys in the order of their first write.
class TMemoryIniFile : public TCustomIniFile {
public:
    std::string ReadString(const std::string& Section, const std::string& Ident, const std::string& Default) override {
        TEntries& Entries = FSections[Section];
        auto Found = Find(Entries, Ident);
        return Found == Entries.end() ? Default : Found->second;
    }
    void WriteString(const std::string& Section, const std::string& Ident, const std::string& Value) override {
        TEntries& Entries = FSections[Section];
        auto Found = Find(Entries, Ident);
        if (Found == Entries.end())
            Entries.emplace_back(Ident, Value);
        else
            Found->second = Value;
    }
    TEntries Section(const std::string& Name) { return FSections[Name]; }

private:
    static TEntries::iterator Find(TEntries& Entries, const std::string& Ident) {
        return std::find_if(Entries.begin(), Entries.end(), [&](const auto& Entry) { return Entry.first == Ident; });
    }
    std::map<std::string, TEntries> FSections;
};

// A registry key in memory that keeps its values in the order of their
// first write, each with its type: "S" a string, "D" a double word.
class TMemoryRegistry : public TCustomRegistry {
public:
    std::string ReadString(const std::string& Name) override {
        auto Found = Find(Name);
        return Found == FValues.end() ? "" : Found->Data;
    }
    void WriteString(const std::string& Name, const std::string& Value) override { Write(Name, "S", Value); }
    int32_t ReadInteger(const std::string& Name) override {
        auto Found = Find(Name);
        if (Found == FValues.end() || Found->Type != "D")
            throw ERegistryException("no double word " + Name);
        return std::stoi(Found->Data);
    }
    void WriteInteger(const std::string& Name, int32_t Value) override { Write(Name, "D", std::to_string(Value)); }
    bool ValueExists(const std::string& Name) override { return Find(Name) != FValues.end(); }
    bool DeleteValue(const std::string& Name) override {
        auto Found = Find(Name);
        if (Found == FValues.end())
            return false;
        FValues.erase(Found);
        return true;
    }
    // name, type and data of each value, in order.
    std::vector<std::string> Values() const {
        std::vector<std::string> Lines;
        for (const TValue& Value : FValues)
            Lines.push_back(Value.Name + " " + Value.Type + " " + Value.Data);
        return Lines;
    }

private:
    struct TValue {
        std::string Name, Type, Data;
    };
    std::vector<TValue>::iterator Find(const std::string& Name) {
        return std::find_if(FValues.begin(), FValues.end(), [&](const TValue& Value) { return Value.Name == Name; });
    }
    void Write(const std::string& Name, const char* Type, const std::string& Data) {
        auto Found = Find(Name);
        if (Found == FValues.end())
            FValues.push_back({Name, Type, Data});
        else
            *Found = {Name, Type, Data};
    }
    std::vector<TValue> FValues;
};

const TComSettingGroups kAllGroups{sgBasic, sgFlowControl, sgBuffer, sgTimeouts, sgParity, sgOthers};

TEST(ComPersist, BasicSaveWritesTheBasicKeysInOrderAndTheCustomRateOnlyForCustom) {
    TFakeComPort Port;
    TMemoryIniFile Ini;
    SaveComSettings(Port, TComSettingGroups{sgBasic}, Ini, "CP");
    EXPECT_EQ(Ini.Section("CP"), (TEntries{{"Port", "COM1"},
                                           {"BaudRate", "9600"},
                                           {"StopBits", "1"},
                                           {"DataBits", "8"},
                                           {"Parity", "None"},
                                           {"FlowControl", "None"}}));

    Port.SetBaudRate(brCustom);
    Port.SetCustomBaudRate(31250);
    TMemoryIniFile Custom;
    SaveComSettings(Port, TComSettingGroups{sgBasic}, Custom, "CP");
    TEntries Entries = Custom.Section("CP");
    ASSERT_EQ(Entries.size(), 7u);
    EXPECT_EQ(Entries[1], (std::pair<std::string, std::string>{"BaudRate", "Custom"}));
    EXPECT_EQ(Entries[2], (std::pair<std::string, std::string>{"CustomBaudRate", "31250"}));
}

TEST(ComPersist, ARegistrySaveWritesTextsAsStringsAndNumbersAsDoubleWordsInKeyOrder) {
    TFakeComPort Port;
    TMemoryRegistry Basic;
    SaveComSettings(Port, TComSettingGroups{sgBasic}, Basic);
    EXPECT_EQ(Basic.Values(), (std::vector<std::string>{"Port S COM1", "BaudRate S 9600", "StopBits S 1",
                                                        "DataBits S 8", "Parity S None", "FlowControl S None"}));

    ChangeEverySetting(Port);
    TMemoryRegistry All;
    SaveComSettings(Port, kAllGroups, All);
    std::vector<std::string> Values = All.Values();
    ASSERT_EQ(Values.size(), 29u);
    EXPECT_EQ(Values[1], "BaudRate S Custom");
    EXPECT_EQ(Values[2], "CustomBaudRate D 31250");
    EXPECT_EQ(Values[7], "EventChar S #13");
    EXPECT_EQ(Values[12], "Buffer.OutputSize D 4096");
    EXPECT_EQ(Values[17], "Timeouts.WriteTotalConstant D -1");
    EXPECT_EQ(Values[19], "FlowControl.ControlRTS S Toggle");
    const auto Doubles = std::count_if(Values.begin(), Values.end(),
                                       [](const std::string& Line) { return Line.find(" D ") != std::string::npos; });
    EXPECT_EQ(Doubles, 8);  // the custom rate, two buffer sizes, five timeouts
}

TEST(ComPersist, FullSaveWritesEveryGroupInItsOrderAndForms) {
    TFakeComPort Port;
    ChangeEverySetting(Port);
    TMemoryIniFile Ini;
    SaveComSettings(Port, kAllGroups, Ini, "CP");
    EXPECT_EQ(Ini.Section("CP"), (TEntries{
                                     {"Port", "COM10"},
                                     {"BaudRate", "Custom"},
                                     {"CustomBaudRate", "31250"},
                                     {"StopBits", "2"},
                                     {"DataBits", "7"},
                                     {"Parity", "Mark"},
                                     {"FlowControl", "Custom"},
                                     {"EventChar", "#13"},
                                     {"DiscardNull", "Yes"},
                                     {"Parity.Check", "Yes"},
                                     {"Parity.Replace", "Yes"},
                                     {"Parity.ReplaceChar", "#"},
                                     {"Buffer.OutputSize", "4096"},
                                     {"Buffer.InputSize", "2048"},
                                     {"Timeouts.ReadInterval", "50"},
                                     {"Timeouts.ReadTotalConstant", "7"},
                                     {"Timeouts.ReadTotalMultiplier", "3"},
                                     {"Timeouts.WriteTotalConstant", "-1"},
                                     {"Timeouts.WriteTotalMultiplier", "0"},
                                     {"FlowControl.ControlRTS", "Toggle"},
                                     {"FlowControl.ControlDTR", "Handshake"},
                                     {"FlowControl.DSRSensitivity", "Yes"},
                                     {"FlowControl.OutCTSFlow", "Yes"},
                                     {"FlowControl.OutDSRFlow", "Yes"},
                                     {"FlowControl.TxContinueOnXoff", "Yes"},
                                     {"FlowControl.XonXoffIn", "Yes"},
                                     {"FlowControl.XonXoffOut", "No"},
                                     {"FlowControl.XoffChar", "#200"},
                                     {"FlowControl.XonChar", "A"},
                                 }));
}

TEST(ComPersist, GroupsNotChosenAreNeitherWrittenNorRead) {
    TFakeComPort Source;
    ChangeEverySetting(Source);
    TMemoryIniFile Ini;
    SaveComSettings(Source, TComSettingGroups{sgTimeouts}, Ini, "CP");
    EXPECT_EQ(Ini.Section("CP").size(), 5u);
    EXPECT_EQ(Ini.Section("CP").front().first, "Timeouts.ReadInterval");

    TMemoryIniFile Everything;
    SaveComSettings(Source, kAllGroups, Everything, "CP");
    TFakeComPort Target;
    TPortSettingsSnapshot Expected = Snapshot(Target);
    Expected.Check = Expected.Replace = 1;
    Expected.ReplaceChar = '#';
    LoadComSettings(Target, TComSettingGroups{sgParity}, Everything, "CP");
    EXPECT_EQ(Snapshot(Target), Expected);
}

TEST(ComPersist, ALoadWithoutTheSectionChangesNothingButACustomRate) {
    TMemoryIniFile Empty;
    TFakeComPort Port;
    ChangeEverySetting(Port);
    Port.SetBaudRate(br600);
    TPortSettingsSnapshot Before = Snapshot(Port);
    LoadComSettings(Port, kAllGroups, Empty, "CP");
    EXPECT_EQ(Snapshot(Port), Before);

    Port.SetBaudRate(brCustom);
    LoadComSettings(Port, kAllGroups, Empty, "CP");
    Before.BaudRate = brCustom;
    Before.CustomBaudRate = 9600;
    EXPECT_EQ(Snapshot(Port), Before);
}

TEST(ComPersist, TheCustomRateIsReadOnlyWhenTheLoadedRateIsCustom) {
    TMemoryIniFile Ini;
    Ini.WriteString("CP", "BaudRate", "custom");
    Ini.WriteString("CP", "CustomBaudRate", "1234");
    TFakeComPort Port;
    LoadComSettings(Port, TComSettingGroups{sgBasic}, Ini, "CP");
    EXPECT_EQ(Port.BaudRate(), brCustom);
    EXPECT_EQ(Port.CustomBaudRate(), 1234);

    Ini.WriteString("CP", "BaudRate", "600");
    Port.SetCustomBaudRate(31250);
    Port.Log.clear();
    LoadComSettings(Port, TComSettingGroups{sgBasic}, Ini, "CP");
    EXPECT_EQ(Port.BaudRate(), br600);
    EXPECT_EQ(Port.CustomBaudRate(), 31250);
    EXPECT_EQ(std::count(Port.Log.begin(), Port.Log.end(), "CustomBaudRate"), 0);
}

TEST(ComPersist, DetailedFlowControlKeysOverrideThePreset) {
    TMemoryIniFile Ini;
    Ini.WriteString("CP", "FlowControl", "Hardware");
    Ini.WriteString("CP", "FlowControl.ControlRTS", "toggle");
    TFakeComPort Port;
    LoadComSettings(Port, TComSettingGroups{sgBasic, sgFlowControl}, Ini, "CP");
    EXPECT_EQ(Port.FlowControl().ControlRTS(), rtsToggle);
    // A detailed key that is missing keeps what the preset set.
    EXPECT_TRUE(Port.FlowControl().OutCTSFlow());

    TFakeComPort Basic;
    LoadComSettings(Basic, TComSettingGroups{sgBasic}, Ini, "CP");
    EXPECT_EQ(Basic.FlowControl().FlowControl(), fcHardware);
}

TEST(ComPersist, TextsThatNameNothingTakeTheFallbacks) {
    TMemoryIniFile Ini;
    for (auto [Key, Value] : TEntries{{"BaudRate", "fast"},
                                      {"Parity", "even"},
                                      {"EventChar", "#1x"},
                                      {"DiscardNull", "Y"},
                                      {"Parity.Check", "true"},
                                      {"Buffer.InputSize", "big"},
                                      {"FlowControl.ControlDTR", "Toggle"},
                                      {"FlowControl.XonChar", "#300"}})
        Ini.WriteString("CP", Key, Value);
    TFakeComPort Port;
    Port.SetBaudRate(br600);
    Port.SetEventChar('x');
    Port.SetDiscardNull(true);
    Port.Parity().SetCheck(true);
    Port.Buffer().SetInputSize(4096);
    Port.FlowControl().SetControlDTR(dtrEnable);
    LoadComSettings(Port, kAllGroups, Ini, "CP");
    EXPECT_EQ(Port.BaudRate(), br9600);
    EXPECT_EQ(Port.Parity().Bits(), prEven);
    EXPECT_EQ(Port.EventChar(), 0);
    EXPECT_FALSE(Port.DiscardNull());
    EXPECT_FALSE(Port.Parity().Check());
    EXPECT_EQ(Port.Buffer().InputSize(), 4096);  // not an integer: the key counts as missing
    EXPECT_EQ(Port.FlowControl().ControlDTR(), dtrDisable);
    EXPECT_EQ(Port.FlowControl().XonChar(), 44);
}

}  // namespace
