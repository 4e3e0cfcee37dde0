#include "main/RotorFrames.h"

#include <gtest/gtest.h>

namespace {

std::string Hex(const TRotorFrame& Frame) {
    static const char Digits[] = "0123456789ABCDEF";
    std::string Text;
    for (char C : Frame) {
        auto B = static_cast<unsigned char>(C);
        Text += {Digits[B >> 4], Digits[B & 15], ' '};
    }
    Text.pop_back();
    return Text;
}

std::string Reply(std::initializer_list<int> Bytes) {
    std::string Text;
    for (int B : Bytes)
        Text += static_cast<char>(B);
    return Text;
}

TEST(Frames, FixedFramesAreThirteenBytesWithTheirZeros) {
    EXPECT_EQ(Hex(StopFrame), "57 00 00 00 00 00 00 00 00 00 00 0F 20");
    EXPECT_EQ(Hex(StateFrame), "57 00 00 00 00 00 00 00 00 00 00 1F 20");
    EXPECT_EQ(FrameBytes(StateFrame).size(), 13u);
}

TEST(Frames, SetFrameCarriesTheShiftedAngleTimesTheDivider) {
    TRotorFrame Frame = SetFrameTemplate;
    FillSetFrame(Frame, 123.4, 10, 1);
    EXPECT_EQ(Hex(Frame), "57 30 34 38 33 00 30 33 37 30 00 2F 20");
    FillSetFrame(Frame, 123.4, 10, 2);  // 966.8 is truncated, not rounded
    EXPECT_EQ(Hex(Frame), "57 30 39 36 36 00 30 37 34 30 00 2F 20");
    FillSetFrame(Frame, 359.99, 90, 10);
    EXPECT_EQ(Hex(Frame), "57 37 31 39 39 00 34 35 30 30 00 2F 20");
    FillSetFrame(Frame, 200, 0, 0);  // divider 0 from a reply
    EXPECT_EQ(Hex(Frame), "57 30 30 30 30 00 30 30 30 30 00 2F 20");
}

TEST(Frames, SetPointsOutsideFourDigitsAreLimited) {
    // Never a byte outside "0".."9": beyond the range the nearest end is sent.
    EXPECT_EQ(SetPointValue(360, 13), 9360);
    EXPECT_EQ(SetPointValue(360, 14), 9999);
    EXPECT_EQ(SetPointValue(-400, 1), 0);
    EXPECT_EQ(SetPointValue(1e300, 255), 9999);
    EXPECT_EQ(SetPointValue(-1e300, 255), 0);
    TRotorFrame Frame = SetFrameTemplate;
    FillSetFrame(Frame, 10000, -1000, 1);
    EXPECT_EQ(Hex(Frame), "57 39 39 39 39 00 30 30 30 30 00 2F 20");
}

TEST(Frames, SetTextUsesTheLimitedElevation) {
    EXPECT_EQ(SetCommandText(123.4, 0), "SET(123.4;0.0)");
    EXPECT_EQ(SetCommandText(359.96, 45.04), "SET(360.0;45.0)");
}

TEST(Reply, DecodesTheExampleReply) {
    auto State = DecodeReply(Reply({0x57, 4, 8, 3, 4, 1, 3, 7, 0, 5, 1, 0x20}));
    ASSERT_TRUE(State);
    EXPECT_EQ(State->AzimuthText(), "123.4");
    EXPECT_FALSE(State->AzimuthRed);
    EXPECT_EQ(State->DividerText(), "1");
    EXPECT_EQ(State->ElevationText(), "10.5");
    EXPECT_FALSE(State->ElevationRed);
}

struct TColourCase {
    int Hundreds, Tens, Units, Tenths;
    const char* Text;
    bool Red;
};

TEST(Reply, AzimuthOutsideTheFirstTurnIsRed) {
    const TColourCase Cases[] = {
        {3, 5, 0, 0, "350.0", true}, {7, 2, 5, 0, "5.0", true},    {3, 6, 0, 0, "0.0", false},
        {7, 2, 0, 0, "0.0", true},   {7, 1, 9, 9, "359.9", false},
    };
    for (const auto& C : Cases) {
        auto State = DecodeReply(Reply({0x57, C.Hundreds, C.Tens, C.Units, C.Tenths, 1, 3, 6, 0, 0, 0, 0x20}));
        ASSERT_TRUE(State);
        EXPECT_EQ(State->AzimuthText(), C.Text) << C.Hundreds << C.Tens << C.Units;
        EXPECT_EQ(State->AzimuthRed, C.Red) << C.Text;
    }
}

TEST(Reply, ElevationBelowTheHorizonIsRed) {
    auto Below = DecodeReply(Reply({0x57, 3, 6, 0, 0, 1, 3, 5, 5, 0, 0, 0x20}));
    EXPECT_EQ(Below->ElevationText(), "-5.0");
    EXPECT_TRUE(Below->ElevationRed);
    auto Level = DecodeReply(Reply({0x57, 3, 6, 0, 0, 1, 3, 6, 0, 0, 0, 0x20}));
    EXPECT_EQ(Level->ElevationText(), "0.0");
    EXPECT_FALSE(Level->ElevationRed);
}

TEST(Reply, OddBytesStillDecode) {
    // Bytes above 9 are taken as they are; the divider byte is unsigned.
    auto State = DecodeReply(Reply({0, 0xFF, 0xFF, 0xFF, 0xFF, 0xC8, 0, 0, 0, 0}));
    ASSERT_TRUE(State);
    EXPECT_EQ(State->Divider, 200);
    EXPECT_DOUBLE_EQ(State->Azimuth, 255 * 111 + 25.5 - 720);
    EXPECT_TRUE(State->ElevationRed);
}

TEST(Reply, ShortRepliesGiveNoState) {
    EXPECT_FALSE(DecodeReply(""));
    EXPECT_FALSE(DecodeReply(Reply({0x57, 4, 8, 3, 4, 1, 3, 7, 0})));
    EXPECT_TRUE(DecodeReply(Reply({0x57, 4, 8, 3, 4, 1, 3, 7, 0, 5})));
}

}  // namespace
