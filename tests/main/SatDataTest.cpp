#include "main/SatData.h"

#include <gtest/gtest.h>

namespace {

TSatData Parse(std::string_view Text) {
    TSatData Data{"STALE", 1, 2, 3, 4, "X", "Y"};
    ParseSatData(Text, Data);
    return Data;
}

TEST(ParseSatData, EmptyTextClearsTheRecord) {
    TSatData Data = Parse("");
    EXPECT_EQ(Data.SatName, "?");
    EXPECT_EQ(Data.Azimuth, 0);
    EXPECT_EQ(Data.Elevation, 0);
    EXPECT_EQ(Data.Uplink, 0);
    EXPECT_EQ(Data.Downlink, 0);
    EXPECT_EQ(Data.UplinkMode, "");
    EXPECT_EQ(Data.DownlinkMode, "");
}

TEST(ParseSatData, FullLineInLowerCaseWithDecimalComma) {
    TSatData Data = Parse("sniss az123,4 el-5.2 up145800000 dn435795000 umfm dmusb");
    EXPECT_EQ(Data.SatName, "ISS");
    EXPECT_DOUBLE_EQ(Data.Azimuth, 123.4);
    EXPECT_DOUBLE_EQ(Data.Elevation, -5.2);
    EXPECT_EQ(Data.Uplink, 145800000);
    EXPECT_EQ(Data.Downlink, 435795000);
    EXPECT_EQ(Data.UplinkMode, "FM");
    EXPECT_EQ(Data.DownlinkMode, "USB");
}

TEST(ParseSatData, EveryFieldIsOverwritten) {
    // A text without any key still resets the stale numbers and modes, and
    // gives an empty name (which does not block set points), not "?".
    TSatData Data = Parse("HELLO  WORLD");
    EXPECT_EQ(Data.SatName, "");
    EXPECT_EQ(Data.Azimuth, 0);
    EXPECT_EQ(Data.Downlink, 0);
    EXPECT_EQ(Data.DownlinkMode, "");
}

TEST(ParseSatData, QuotesGroupAndHideKeys) {
    EXPECT_EQ(Parse("SN\"AO 7\" AZ1").SatName, "AO 7");
    // A key inside a quoted stretch is not found.
    EXPECT_EQ(Parse("SN\"X AZ9\" AZ12").Azimuth, 12);
    EXPECT_EQ(Parse("SN\"X AZ9\"").Azimuth, 0);
    // An unclosed quote runs the name to the end and hides later keys.
    TSatData Unclosed = Parse("SN\"FO 29 AZ10 EL5");
    EXPECT_EQ(Unclosed.SatName, "FO 29 AZ10 EL5");
    EXPECT_EQ(Unclosed.Azimuth, 0);
    EXPECT_EQ(Unclosed.Elevation, 0);
}

TEST(ParseSatData, NumbersMustBeComplete) {
    EXPECT_EQ(Parse("AZ12X").Azimuth, 0);
    EXPECT_EQ(Parse("AZ").Azimuth, 0);
    EXPECT_EQ(Parse("AZ1E2").Azimuth, 100);
    EXPECT_EQ(Parse("AZIMUTH5").Azimuth, 0);  // key "AZ", value "IMUTH5"
    EXPECT_EQ(Parse("AZ10 AZ20").Azimuth, 10);
    EXPECT_EQ(Parse("EL1E999").Elevation, 0);  // beyond a double
    EXPECT_EQ(Parse("SNA,B").SatName, "A.B");
}

TEST(ParseSatData, KeysMatchOnlyAtTheStartOfAWord) {
    EXPECT_EQ(Parse("XAZ5 AZ7").Azimuth, 7);
    EXPECT_EQ(Parse("   AZ7   EL3").Elevation, 3);
}

TEST(ParseSatData, BytesAbove127PassThrough) {
    TSatData Data = Parse("SN\xE9t\xE9");
    EXPECT_EQ(Data.SatName, "\xE9T\xE9");
}

TEST(Helpers, PosUnquotedAndGetKeyValue) {
    EXPECT_EQ(PosUnquoted("ab\"cd\"cd", "cd"), 7u);
    EXPECT_EQ(PosUnquoted("\"abc", "b"), 0u);
    EXPECT_EQ(PosUnquoted("", "b"), 0u);
    EXPECT_EQ(GetKeyValue("SN\"a b\"c d", "sn"), "a bc");  // the key is upper-cased, the text is not
    EXPECT_EQ(GetKeyValue("sn1", "SN"), "");
    EXPECT_EQ(GetKeyValue("AZ", "AZ"), "");
}

TEST(Helpers, ReplaceAllReplacesEveryOccurrence) {
    std::string Text = "1,2,,3";
    ReplaceAll(Text, ",", ".");
    EXPECT_EQ(Text, "1.2..3");
    std::string Growing = "aa";
    ReplaceAll(Growing, "a", "aa");  // must terminate
    EXPECT_EQ(Growing, "aaaa");
    std::string Untouched = "abc";
    ReplaceAll(Untouched, "", "x");
    EXPECT_EQ(Untouched, "abc");
}

TEST(SatDataTexts, FormatsAsTheWindowShowsThem) {
    TSatData Cleared;
    TSatDataTexts Texts = SatDataTexts(Cleared);
    EXPECT_EQ(Texts.Name, "?");
    EXPECT_EQ(Texts.Azimuth, "0.0");
    EXPECT_EQ(Texts.Elevation, "0.0");
    EXPECT_EQ(Texts.Uplink, "0 Hz");
    EXPECT_EQ(Texts.Downlink, "0 Hz");
    EXPECT_EQ(Texts.UplinkMode, "");

    TSatData Data{"ISS", 123.46, 5, 145800000.4, 435795000.6, "FM", "USB"};
    Texts = SatDataTexts(Data);
    EXPECT_EQ(Texts.Azimuth, "123.5");
    EXPECT_EQ(Texts.Elevation, "5.0");
    EXPECT_EQ(Texts.Uplink, "145800000 Hz");
    EXPECT_EQ(Texts.Downlink, "435795001 Hz");
    EXPECT_EQ(Texts.DownlinkMode, "USB");

    // Values no real line carries stay short (EL1e300 gave 301 digits).
    Data.Azimuth = -2.5e7;
    Data.Elevation = 1e300;
    Data.Uplink = 1e300;
    Texts = SatDataTexts(Data);
    EXPECT_EQ(Texts.Azimuth, "-2.500e+07");
    EXPECT_EQ(Texts.Elevation, "1.000e+300");
    EXPECT_EQ(Texts.Uplink, "1.00000000000e+300 Hz");
}

}  // namespace
