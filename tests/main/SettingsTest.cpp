#include "main/Settings.h"

#include <map>

#include <gtest/gtest.h>

namespace {

TSettings Read(const std::map<std::string, std::string>& Stored) {
    return ReadSettings([&](const char* Name) {
        auto Found = Stored.find(Name);
        return Found == Stored.end() ? std::string() : Found->second;
    });
}

TEST(Settings, RangesReadIgnoringCaseAndBlanksAndAnythingElseIsTheDefault) {
    EXPECT_EQ(AzimuthRangeOf("0-450"), ar450);
    EXPECT_EQ(AzimuthRangeOf(" -180 - 540\t"), ar540);
    EXPECT_EQ(ElevationRangeOf(" 0-180 "), er180);
    for (const char* Text : {"", "0-720", "0-4500", "450", "-180-540x", "0--450"})
        EXPECT_EQ(AzimuthRangeOf(Text), ar360) << Text;
    EXPECT_EQ(ElevationRangeOf("0-270"), er90);
}

// As the system menu shows them: "0°–450°", "−180°–540°"; Windows hands an
// en dash over as 0x96 in code page 1252 and a minus sign as "-".
TEST(Settings, RangesReadAsTheMenuSpellsThem) {
    EXPECT_EQ(AzimuthRangeOf("0\x96"
                             "450"),
              ar450);
    EXPECT_EQ(AzimuthRangeOf("0\xB0\x96"
                             "450\xB0"),
              ar450);
    EXPECT_EQ(AzimuthRangeOf("\xE2\x88\x92"
                             "180\xC2\xB0\xE2\x80\x93"
                             "540\xC2\xB0"),
              ar540);
    EXPECT_EQ(AzimuthRangeOf("-180\x96"
                             "540"),
              ar540);
    EXPECT_EQ(ElevationRangeOf("0\xE2\x80\x93"
                               "180"),
              er180);
}

TEST(Settings, MissingOrUnknownValuesReadAsTheDefaults) {
    const TSettings Defaults = Read({});
    EXPECT_EQ(Defaults.AzimuthRange, ar360);
    EXPECT_FALSE(Defaults.PointAhead);
    EXPECT_FALSE(Defaults.Unattended);
    EXPECT_EQ(Defaults.Tolerance, 0);
    EXPECT_EQ(Defaults.NetworkPort, 0);
    EXPECT_EQ(Defaults.NetworkAddress, "127.0.0.1");

    const TSettings Odd = Read({{"Unattended", "yes"},
                                {"PointAhead", "2"},
                                {"Tolerance", "-1"},
                                {"NetworkPort", "65536"},
                                {"ParkPosition", "90"},
                                {"NetworkAddress", " "}});
    EXPECT_FALSE(Odd.Unattended);
    EXPECT_FALSE(Odd.PointAhead);
    EXPECT_EQ(Odd.Tolerance, 0);
    EXPECT_EQ(Odd.NetworkPort, 0);
    EXPECT_EQ(Odd.ParkPosition.Azimuth, 0);
    EXPECT_EQ(Odd.NetworkAddress, "127.0.0.1");
    for (const char* Text : {"nan", "inf", "1e400", "91", "1x"})
        EXPECT_EQ(ToleranceOf(Text), 0) << Text;
}

TEST(Settings, WhatIsWrittenReadsBackAsTheSame) {
    const TSettings Stored = Read({{"AzimuthRange",
                                    "0\x96"
                                    "450"},
                                   {"ElevationRange", "0-180"},
                                   {"PointAhead", " 1 "},
                                   {"Tolerance", "1,5\xB0"},
                                   {"Unattended", "1"},
                                   {"NetworkPort", "4533"},
                                   {"NetworkAddress", "0.0.0.0"},
                                   {"ParkPosition", " 180.5  -0 "}});
    std::map<std::string, std::string> Written;
    WriteSettings(Stored, [&](const char* Name, const std::string& Text) { Written[Name] = Text; });
    EXPECT_EQ(Written, (std::map<std::string, std::string>{{"AzimuthRange", "0-450"},
                                                           {"ElevationRange", "0-180"},
                                                           {"PointAhead", "1"},
                                                           {"Tolerance", "1.5"},
                                                           {"Unattended", "1"},
                                                           {"NetworkPort", "4533"},
                                                           {"NetworkAddress", "0.0.0.0"},
                                                           {"ParkPosition", "180.5 0"}}));
    const TSettings Again = Read(Written);
    EXPECT_EQ(Again.ParkPosition.Azimuth, 180.5);
    EXPECT_EQ(Again.Tolerance, 1.5);
    EXPECT_EQ(Again.AzimuthRange, ar450);
}

}  // namespace
