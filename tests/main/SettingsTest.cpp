#include "main/Settings.h"

#include "main/RotorAddress.h"

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
                                   {"ParkPosition", " 180.5  -0 "},
                                   {"AzimuthOffset", "-3,5"},
                                   {"ElevationOffset", "2\xB0"},
                                   {"HorizonMask", " 270:3\t90:12 360.0:6 "},
                                   {"BetweenPasses", " Park"},
                                   {"RotorAddress", " [fe80::1]:4001\t"},
                                   {"BaudRate", " 9600 "}});
    std::map<std::string, std::string> Written;
    WriteSettings(Stored, [&](const char* Name, const std::string& Text) { Written[Name] = Text; });
    EXPECT_EQ(Written, (std::map<std::string, std::string>{{"AzimuthRange", "0-450"},
                                                           {"ElevationRange", "0-180"},
                                                           {"PointAhead", "1"},
                                                           {"Tolerance", "1.5"},
                                                           {"Unattended", "1"},
                                                           {"NetworkPort", "4533"},
                                                           {"NetworkAddress", "0.0.0.0"},
                                                           {"ParkPosition", "180.5 0"},
                                                           {"AzimuthOffset", "-3.5"},
                                                           {"ElevationOffset", "2"},
                                                           {"HorizonMask", "0:6 90:12 270:3"},
                                                           {"BetweenPasses", "park"},
                                                           {"RotorAddress", "[fe80::1]:4001"},
                                                           {"BaudRate", "9600"}}));
    const TSettings Again = Read(Written);
    EXPECT_EQ(Again.ParkPosition.Azimuth, 180.5);
    EXPECT_EQ(Again.Tolerance, 1.5);
    EXPECT_EQ(Again.AzimuthRange, ar450);
    EXPECT_EQ(Again.HorizonMask.Text(), "0:6 90:12 270:3");
}

TEST(Settings, AMaskIsOneElevationOrPointsLinearInAzimuthAcrossNorth) {
    EXPECT_EQ(HorizonMaskOf(" 10 ")->At(123), 10);
    const THorizonMask Mask = *HorizonMaskOf("90:12 0:5 270:3");
    EXPECT_DOUBLE_EQ(Mask.At(45), 8.5);
    EXPECT_DOUBLE_EQ(Mask.At(180), 7.5);
    EXPECT_DOUBLE_EQ(Mask.At(315), 4);  // between 270 and 0, across north
    EXPECT_DOUBLE_EQ(Mask.At(-45), 4);
    EXPECT_DOUBLE_EQ(Mask.At(360), 5);
    EXPECT_DOUBLE_EQ(HorizonMaskOf("90:20 270:10")->At(315), 12.5);  // two points, both ways round
    for (const char* Text : {"", "x", "-1", "91", "10 20", "10 90:5", "0:5 360:6", "0:5 90", "400:5", "0:5:6"})
        EXPECT_FALSE(HorizonMaskOf(Text)) << Text;
    const TSettings Odd = Read({{"HorizonMask", "0:5 90"}, {"AzimuthOffset", "361"}, {"ElevationOffset", "x"}});
    EXPECT_TRUE(Odd.HorizonMask.Flat0());
    EXPECT_EQ(Odd.AzimuthOffset, 0);
    EXPECT_EQ(Odd.ElevationOffset, 0);
    EXPECT_EQ(Odd.BetweenPasses, bpFollow);
}

// Whole bits per second from 110 to 921600, named rates or not.
TEST(Settings, ALineSpeedIsAWholeRateWithinTheLimitsOrTheDefault) {
    for (const char* Text : {"110", "14400", "460800", "921600"})
        EXPECT_EQ(std::to_string(BaudRateOf(Text)), Text);
    for (const char* Text : {"", "109", "921601", "9600.0", "+9600", "0x2580", "-600", "9600 baud", "99999999999"})
        EXPECT_EQ(BaudRateOf(Text), 600u) << Text;
}

// "HOST:PORT": a name or an IPv4 address, an IPv6 one in brackets; anything
// else is no address and reads as the COM port.
TEST(Settings, RotorAddressIsHostAndPortOrTheComPort) {
    const auto Address = ParseRotorAddress(" [::1]:4533 ");
    ASSERT_TRUE(Address);
    EXPECT_EQ(Address->Host, "::1");
    EXPECT_EQ(Address->Port, 4533);
    EXPECT_FALSE(Address->Rotctld);
    const auto Daemon = ParseRotorAddress("ROTCTLD://[::1]:4533");  // Hamlib's daemon, the scheme in any case
    ASSERT_TRUE(Daemon);
    EXPECT_EQ(Daemon->Host, "::1");
    EXPECT_TRUE(Daemon->Rotctld);
    for (const char* Text :
         {"rotor-mast.example:4001", "192.168.1.20:23", "localhost:65535", "rotctld://127.0.0.1:4533"})
        EXPECT_EQ(RotorAddressOf(Text), Text);
    for (const char* Text :
         {"", "rotor", ":4001", "rotor:", "rotor:0", "rotor:65536", "rotor:+23", "rotor:23x", "ro tor:23", "::1:4533",
          "[::1]", "[]:23", "[host]:23", "COM5", "rotctld://", "rotctld://:4533", "telnet://rotor:23"})
        EXPECT_EQ(RotorAddressOf(Text), "") << Text;
}

TEST(Settings, AParkPositionThatIsNoPairReadsAsTheDefaultAndIsLeftForItsOwner) {
    std::map<std::string, std::string> Written;
    auto Write = [&](const char* Name, const std::string& Text) { Written[Name] = Text; };
    WriteSettings(Read({{"ParkPosition", "north 5"}}), Write);
    EXPECT_EQ(Written.count("ParkPosition"), 0u);
    WriteSettings(Read({{"ParkPosition", "400 95"}}), Write);  // refused when asked for, kept as it is
    EXPECT_EQ(Written["ParkPosition"], "400 95");
}

}  // namespace
