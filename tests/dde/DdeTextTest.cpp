// The tracking link's portable part: names, error texts and how a value
// becomes the item's lines.
#include <gtest/gtest.h>

#include "dde/DdeErrors.h"
#include "dde/DdeNames.h"
#include "dde/DdeValue.h"

namespace {

using TLines = std::vector<std::string>;

TEST(DdeNames, AppNameIsTheFileNameCutAtItsFirstDot) {
    EXPECT_EQ(AppNameFromPath("C:\\tools\\my.tool.exe"), "my");
    EXPECT_EQ(AppNameFromPath("Z:\\work\\Gyrotalk.exe"), "Gyrotalk");
    EXPECT_EQ(AppNameFromPath("C:\\v1.2\\rotor"), "rotor");  // a dot in a directory counts for nothing
    EXPECT_EQ(AppNameFromPath("/opt/app/prog.exe"), "prog");
    EXPECT_EQ(AppNameFromPath(".hidden"), "");
}

TEST(DdeNames, PlatformNamesStopAtAZeroAndAt255Characters) {
    EXPECT_EQ(PlatformName(std::string(255, 'a')), std::string(255, 'a'));
    EXPECT_EQ(PlatformName(std::string(4096, 'a')), std::string(255, 'a'));
    EXPECT_EQ(PlatformName(std::string("Zeni\0trak", 9)), "Zeni");
    EXPECT_EQ(PlatformName(""), "");
}

TEST(DdeNames, StartCommandIsTheApplicationElseServiceAndTopic) {
    EXPECT_EQ(StartCommand("zenitrak", "Zenitrak", "Tracking"), "zenitrak");
    EXPECT_EQ(StartCommand("C:\\Zenitrak\\zenitrak", "", ""), "C:\\Zenitrak\\zenitrak");
    EXPECT_EQ(StartCommand("", "Zenitrak", "Tracking"), "Zenitrak Tracking");
}

TEST(DdeNames, LinkInfoIsWrittenWhenEitherNameIsSet) {
    EXPECT_EQ(WriteLinkInfo("Zenitrak", "Tracking"), (TLines{"Service Zenitrak", "Topic Tracking"}));
    EXPECT_EQ(WriteLinkInfo("", "Tracking"), (TLines{"Service ", "Topic Tracking"}));
    EXPECT_EQ(WriteLinkInfo("", ""), TLines{});
}

TEST(DdeNames, LinkInfoIsReadByTheFirstLetterAndWhatFollowsTheFirstBlank) {
    struct TCase {
        TLines Entries;
        std::string Service, Topic;
    };
    const std::vector<TCase> Cases = {
        {{"Service Zenitrak", "Topic Tracking"}, "Zenitrak", "Tracking"},
        {{"Service"}, "Service", "old topic"},
        {{"service x", "topic y", "", "Other z"}, "old service", "old topic"},
        {{"Sx two words", "T"}, "two words", "T"},
        {{"Service A", "Service B"}, "B", "old topic"},
        {{"Service ", "Topic "}, "", ""},
    };
    for (const TCase& Case : Cases) {
        std::string Service = "old service", Topic = "old topic";
        ReadLinkInfo(Case.Entries, Service, Topic);
        EXPECT_EQ(Service, Case.Service) << Case.Entries.front();
        EXPECT_EQ(Topic, Case.Topic) << Case.Entries.front();
    }

    std::string Service, Topic;
    ReadLinkInfo(WriteLinkInfo("Zenitrak 2", "Tracking"), Service, Topic);
    EXPECT_EQ(Service, "Zenitrak 2");
    EXPECT_EQ(Topic, "Tracking");
}

TEST(DdeErrors, MessagesByCodeInUpperCaseHexadecimal) {
    EXPECT_EQ(DdeErrorMessage(0x4007), "Error occurred when DDE ran out of memory ($04007)");
    EXPECT_EQ(DdeErrorMessage(0x4008), "Error occurred when DDE ran out of memory ($04008)");
    EXPECT_EQ(DdeErrorMessage(0x400A), "DDE Error - conversation not established ($0400A)");
    EXPECT_EQ(DdeErrorMessage(0x4006), "An error returned from DDE  ($04006)");
    EXPECT_EQ(DdeErrorMessage(0xFFFFFFFF), "An error returned from DDE  ($0FFFFFFFF)");
}

std::string TextOf(const std::string& Bytes) {
    return ValueText(reinterpret_cast<const unsigned char*>(Bytes.data()), Bytes.size());
}

TEST(DdeValue, TextEndsAtTheFirstZeroOrTheEndOfTheData) {
    EXPECT_EQ(TextOf(std::string("SNISS AZ10\0garbage", 18)), "SNISS AZ10");
    EXPECT_EQ(TextOf("no terminating zero"), "no terminating zero");
    EXPECT_EQ(TextOf(std::string("\0abc", 4)), "");
    EXPECT_EQ(TextOf(""), "");
    EXPECT_EQ(TextOf("\xE9t\xE9"), "\xE9t\xE9");  // 8-bit text stays as it is
}

TEST(DdeValue, ControlBytesBecomeBlanksUnlessFormatCharsSplitsLines) {
    struct TCase {
        std::string Value;
        bool FormatChars;
        TLines Lines;
    };
    const std::vector<TCase> Cases = {
        {"abc\r\n", false, {"abc  "}},
        {"abc\r\n", true, {"abc"}},
        {"a\r\nb", true, {"a", "b"}},
        {"a\r\nb", false, {"a  b"}},
        {"a\n\rb", true, {"a", "", "b"}},
        {"a\rb\nc", true, {"a", "b", "c"}},
        {"a\r\n\r\nb", true, {"a", "", "b"}},
        {"\r\nb", true, {"", "b"}},
        {"x\ty\x01z\x1f", false, {"x y z "}},
        {"x\ty", true, {"x\ty"}},
        {"\x7f\x80", false, {"\x7f\x80"}},  // only 1 to 31 are control bytes here
        {"", false, {}},
        {"", true, {}},
    };
    for (const TCase& Case : Cases)
        EXPECT_EQ(ValueLines(Case.Value, Case.FormatChars), Case.Lines)
            << Case.FormatChars << " " << testing::PrintToString(Case.Value);
}

}  // namespace
