#include "framework/Strings.h"

#include <gtest/gtest.h>

#include <map>

#include "framework/Exceptions.h"
#include "framework/IniFiles.h"

namespace {

TEST(StringList, IndexOfMatchesWholeTextsIgnoringAsciiCase) {
    TStringList List;
    for (const char* Text : {"COM1", "com10", "COM2", "COM1"})
        List.Add(Text);
    EXPECT_EQ(List.IndexOf("com1"), 0);  // the first of two
    EXPECT_EQ(List.IndexOf("COM10"), 1);
    EXPECT_EQ(List.IndexOf("COM"), -1);
    EXPECT_EQ(List.IndexOf("COM1 "), -1);
}

TEST(StringList, SortIsStableAndTakesTheCallersOrder) {
    TStringList List;
    for (const char* Text : {"COM2", "com10", "COM10", "COM1"})
        List.Add(Text);
    List.Sort([](const std::string& L, const std::string& R) { return L.size() < R.size(); });
    EXPECT_EQ(List.ToVector(), (std::vector<std::string>{"COM2", "COM1", "com10", "COM10"}));
    List.Sort();
    EXPECT_EQ(List.ToVector(), (std::vector<std::string>{"COM1", "COM10", "COM2", "com10"}));
}

TEST(StringList, AssignReplacesTheContentsAndSurvivesSelfAssignment) {
    TStringList Source, Target;
    Source.Add("a");
    Source.Add("b");
    Target.Add("old");
    Target.Assign(Source);
    EXPECT_EQ(Target.ToVector(), (std::vector<std::string>{"a", "b"}));
    Target.Assign(Target);
    EXPECT_EQ(Target.Count(), 2);
}

TEST(StringList, IndexesOutsideTheListRaise) {
    TStringList List;
    List.Add("a");
    EXPECT_THROW(List.Strings(1), Exception);
    EXPECT_THROW(List.Strings(-1), Exception);
    EXPECT_THROW(List.Delete(1), Exception);
    EXPECT_THROW(List.Insert(2, "c"), Exception);
    List.Insert(1, "c");  // at the end is fine
    EXPECT_EQ(List.Strings(1), "c");
}

// An ini file in memory, to check the integer reading of the interface.
class TMemoryIni : public TCustomIniFile {
public:
    std::map<std::string, std::string> Values;
    std::string ReadString(const std::string& Section, const std::string& Ident, const std::string& Default) override {
        auto It = Values.find(Section + "/" + Ident);
        return It == Values.end() ? Default : It->second;
    }
    void WriteString(const std::string& Section, const std::string& Ident, const std::string& Value) override {
        Values[Section + "/" + Ident] = Value;
    }
};

TEST(IniFileIntegers, MissingOrMalformedValuesGiveTheDefault) {
    TMemoryIni Ini;
    Ini.WriteInteger("P", "Size", -2048);
    EXPECT_EQ(Ini.Values["P/Size"], "-2048");
    EXPECT_EQ(Ini.ReadInteger("P", "Size", 7), -2048);
    EXPECT_EQ(Ini.ReadInteger("P", "Missing", 7), 7);
    Ini.WriteString("P", "Hex", "$10");
    EXPECT_EQ(Ini.ReadInteger("P", "Hex", 7), 16);
    Ini.WriteString("P", "Text", "12 bytes");
    EXPECT_EQ(Ini.ReadInteger("P", "Text", 7), 7);
    Ini.WriteString("P", "Empty", "");
    EXPECT_EQ(Ini.ReadInteger("P", "Empty", 7), 7);
}

}  // namespace
