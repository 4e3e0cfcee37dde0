// The texts of the line settings and of stored flags, characters and line
// modes, both ways.
#include "cport/ComNames.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

TEST(ComNames, EveryNameConvertsBackToItsOwnValue) {
    for (int I = brCustom; I <= br256000; ++I)
        EXPECT_EQ(TextToBaudRate(BaudRateToText(TBaudRate(I))), I);
    for (int I = sbOneStopBit; I <= sbTwoStopBits; ++I)
        EXPECT_EQ(TextToStopBits(StopBitsToText(TStopBits(I))), I);
    for (int I = dbFive; I <= dbEight; ++I)
        EXPECT_EQ(TextToDataBits(DataBitsToText(TDataBits(I))), I);
    for (int I = prNone; I <= prSpace; ++I)
        EXPECT_EQ(TextToParity(ParityToText(TParityBits(I))), I);
    for (int I = fcHardware; I <= fcCustom; ++I)
        EXPECT_EQ(TextToFlowControl(FlowControlToText(TFlowControl(I))), I);
    for (int I = rtsDisable; I <= rtsToggle; ++I)
        EXPECT_EQ(TextToControlRTS(ControlRTSToText(TRTSFlowControl(I))), I);
    for (int I = dtrDisable; I <= dtrHandshake; ++I)
        EXPECT_EQ(TextToControlDTR(ControlDTRToText(TDTRFlowControl(I))), I);
}

TEST(ComNames, NamesAreTheDisplayTexts) {
    EXPECT_EQ(BaudRateToText(brCustom), "Custom");
    EXPECT_EQ(BaudRateToText(br600), "600");
    EXPECT_EQ(BaudRateToText(br256000), "256000");
    EXPECT_EQ(StopBitsToText(sbOne5StopBits), "1.5");
    EXPECT_EQ(DataBitsToText(dbFive), "5");
    EXPECT_EQ(ParityToText(prSpace), "Space");
    EXPECT_EQ(FlowControlToText(fcNone), "None");
    EXPECT_EQ(ControlRTSToText(rtsToggle), "Toggle");
    EXPECT_EQ(ControlDTRToText(dtrHandshake), "Handshake");
    EXPECT_THROW(BaudRateToText(static_cast<TBaudRate>(16)), std::out_of_range);
}

TEST(ComNames, WholeTextsMatchInAnyAsciiCaseAndAnythingElseFallsBack) {
    EXPECT_EQ(TextToParity("even"), prEven);
    EXPECT_EQ(TextToParity("SPACE"), prSpace);
    EXPECT_EQ(TextToFlowControl("hArDwArE"), fcHardware);
    EXPECT_EQ(TextToBaudRate("custom"), brCustom);
    EXPECT_EQ(TextToBaudRate("1200"), br1200);
    // Fallbacks: no trimming, no prefixes, no numbers that are not names.
    EXPECT_EQ(TextToParity(" Even"), prNone);
    EXPECT_EQ(TextToParity("Ev"), prNone);
    EXPECT_EQ(TextToBaudRate("600 "), br9600);
    EXPECT_EQ(TextToBaudRate("19200baud"), br9600);
    EXPECT_EQ(TextToBaudRate("31250"), br9600);
    EXPECT_EQ(TextToBaudRate(""), br9600);
    EXPECT_EQ(TextToStopBits("1,5"), sbOneStopBit);
    EXPECT_EQ(TextToDataBits("9"), dbEight);
    EXPECT_EQ(TextToFlowControl("Xon"), fcCustom);
    EXPECT_EQ(TextToFlowControl(""), fcCustom);
    // Only ASCII letters fold: a Latin-1 capital is not an "e".
    EXPECT_EQ(TextToParity("\xC9ven"), prNone);
}

TEST(ComNames, LineModesFoldCaseAndDtrHasNoToggle) {
    EXPECT_EQ(TextToControlRTS("toggle"), rtsToggle);
    EXPECT_EQ(TextToControlRTS("HANDSHAKE"), rtsHandshake);
    EXPECT_EQ(TextToControlRTS("Off"), rtsDisable);
    EXPECT_EQ(TextToControlDTR("Toggle"), dtrDisable);
    EXPECT_EQ(TextToControlDTR("enable"), dtrEnable);
    EXPECT_EQ(TextToControlDTR(""), dtrDisable);
}

TEST(ComNames, OnlyYesInAnyCaseIsTrue) {
    EXPECT_EQ(BoolToText(true), "Yes");
    EXPECT_EQ(BoolToText(false), "No");
    for (const char* Text : {"yes", "Yes", "YES", "yEs"})
        EXPECT_TRUE(TextToBool(Text)) << Text;
    for (const char* Text : {"Y", "true", "1", "", "No", "yes ", " yes", "yess"})
        EXPECT_FALSE(TextToBool(Text)) << Text;
}

TEST(ComNames, PrintableCharactersStayThemselvesAndOthersTakeTheirCode) {
    EXPECT_EQ(CharToText(0), "#0");
    EXPECT_EQ(CharToText(13), "#13");
    EXPECT_EQ(CharToText(32), "#32");  // a blank would not survive a stored text
    EXPECT_EQ(CharToText(33), "!");
    EXPECT_EQ(CharToText('A'), "A");
    EXPECT_EQ(CharToText('#'), "#");
    EXPECT_EQ(CharToText(127), "\x7F");
    EXPECT_EQ(CharToText(static_cast<char>(128)), "#128");  // not a negative code
    EXPECT_EQ(CharToText(static_cast<char>(255)), "#255");
}

TEST(ComNames, TextToCharReadsCodesAndFirstCharacters) {
    struct TCase {
        const char* Text;
        int Code;
    };
    const TCase Cases[] = {
        {"#13", 13}, {"#", '#'},    {"#1x", 0},   {"#300", 44},  {"AB", 'A'}, {"", 0},   {"#0", 0},
        {"#255", 255}, {"#256", 0}, {"#-1", 255}, {"#x", 0},     {"x#13", 'x'}, {"##", 0}, {"#$41", 0x41},
    };
    for (const TCase& Case : Cases)
        EXPECT_EQ(static_cast<unsigned char>(TextToChar(Case.Text)), Case.Code) << Case.Text;
}

TEST(ComNames, EveryCharacterSurvivesItsText) {
    for (int Code = 0; Code < 256; ++Code)
        EXPECT_EQ(static_cast<unsigned char>(TextToChar(CharToText(static_cast<char>(Code)))), Code);
}

}  // namespace
