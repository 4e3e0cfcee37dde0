#include <gtest/gtest.h>

#include "net/RotatorProtocol.h"
#include "net/RotatorSession.h"

namespace {

class TFakeRotator : public TRotatorHandler {
public:
    std::optional<TRotatorPosition> Now = TRotatorPosition{12.3, 45};
    std::vector<std::pair<double, double>> Targets;
    int Stops = 0, Parks = 0;

    std::optional<TRotatorPosition> Position() override { return Now; }
    TRotatorStatus SetPosition(const TRotatorPosition& Target) override {
        Targets.emplace_back(Target.Azimuth, Target.Elevation);
        return rsOk;
    }
    TRotatorStatus Stop() override { return ++Stops, rsOk; }
    TRotatorStatus Park() override { return ++Parks, rsOk; }
    TRotatorLimits Limits() override { return {-180, 540, 0, 90}; }
    std::string Info() override { return "Gyrotalk Rotor Driver"; }
};

struct TCase {
    const char* Line;
    const char* Answer;
};

void ExpectAnswers(TFakeRotator& Rotator, std::initializer_list<TCase> Cases) {
    for (const TCase& Case : Cases)
        EXPECT_EQ(AnswerLine(Case.Line, Rotator).Text, Case.Answer) << "line: " << Case.Line;
}

TEST(RotatorProtocol, ShortAndLongFormsAnswerAsTheDaemonDoes) {
    TFakeRotator Rotator;
    ExpectAnswers(Rotator, {{"p", "12.30\n45.00\n"},
                            {"\\get_pos", "12.30\n45.00\n"},
                            {"  p  ", "12.30\n45.00\n"},
                            {"P 200 45", "RPRT 0\n"},
                            {"\\set_pos -170.5 0", "RPRT 0\n"},
                            {"P 10,25 89,5", "RPRT 0\n"},
                            {"S", "RPRT 0\n"},
                            {"\\stop", "RPRT 0\n"},
                            {"K", "RPRT 0\n"},
                            {"\\park", "RPRT 0\n"},
                            {"_", "Gyrotalk Rotor Driver\n"},
                            {"\\get_info", "Gyrotalk Rotor Driver\n"},
                            {"\\dump_state",
                             "1\n1\nmin_az=-180.000000\nmax_az=540.000000\nmin_el=0.000000\nmax_el=90.000000\n"
                             "south_zero=0\nrot_type=AzEl\ndone\n"},
                            {"", ""},
                            {"# a comment", ""}});
    EXPECT_EQ(Rotator.Targets, (std::vector<std::pair<double, double>>{{200, 45}, {-170.5, 0}, {10.25, 89.5}}));
    EXPECT_EQ(Rotator.Stops, 2);
    EXPECT_EQ(Rotator.Parks, 2);
    EXPECT_TRUE(AnswerLine("q", Rotator).Quit);
    EXPECT_TRUE(AnswerLine("Q", Rotator).Quit);
}

TEST(RotatorProtocol, ExtendedFormsEchoTheCommandAndEndWithTheReport) {
    TFakeRotator Rotator;
    ExpectAnswers(Rotator, {{"+\\get_pos", "get_pos:\nAzimuth: 12.30\nElevation: 45.00\nRPRT 0\n"},
                            {"+p", "get_pos:\nAzimuth: 12.30\nElevation: 45.00\nRPRT 0\n"},
                            {";p", "get_pos:;Azimuth: 12.30;Elevation: 45.00;RPRT 0\n"},
                            {"|\\set_pos 135 22.5", "set_pos: 135 22.5|RPRT 0\n"},
                            {"+P 200 95", "set_pos: 200 95\nRPRT -1\n"},
                            {"+ P 1\x01 2", "set_pos: 1? 2\nRPRT -1\n"},
                            {"+S", "stop:\nRPRT 0\n"},
                            {"+K", "park:\nRPRT 0\n"},
                            {"+_", "get_info:\nInfo: Gyrotalk Rotor Driver\nRPRT 0\n"},
                            {"+\\dump_state",
                             "dump_state:\nrotctld Protocol Ver: 1\nRotor Model: 1\nMinimum Azimuth: -180.000000\n"
                             "Maximum Azimuth: 540.000000\nMinimum Elevation: 0.000000\nMaximum Elevation: 90.000000\n"
                             "South Zero: 0\nrot_type=AzEl\ndone\nRPRT 0\n"}});
}

TEST(RotatorProtocol, FaultsGetAnErrorCodeAndReachNoRotor) {
    TFakeRotator Rotator;
    ExpectAnswers(Rotator, {{"P 540.1 10", "RPRT -1\n"},
                            {"P 200 -0.5", "RPRT -1\n"},
                            {"P 200 90.01", "RPRT -1\n"},
                            {"P abc 4", "RPRT -1\n"},
                            {"P nan 4", "RPRT -1\n"},
                            {"P 1e999 4", "RPRT -1\n"},
                            {"P 1", "RPRT -1\n"},
                            {"P 1 2 3", "RPRT -1\n"},
                            {"p now", "RPRT -1\n"},
                            {"x", "RPRT -4\n"},
                            {"pp", "RPRT -4\n"},
                            {"\\foo", "RPRT -4\n"},
                            {"\\", "RPRT -4\n"},
                            {"?", "RPRT -4\n"},
                            {"+", "RPRT -4\n"},
                            {"M 2 50", "RPRT -4\n"}});
    EXPECT_TRUE(Rotator.Targets.empty());
    Rotator.Now.reset();
    ExpectAnswers(Rotator, {{"p", "RPRT -6\n"}, {"+p", "get_pos:\nRPRT -6\n"}});
}

TEST(RotatorSession, LinesAreFramedWhateverTheReadsCutThem) {
    TFakeRotator Rotator;
    TRotatorSession Session(Rotator);
    Session.Receive("p\r\n\n_\nP 1");
    Session.Receive("0 2");
    EXPECT_EQ(Session.Output(), "12.30\n45.00\nGyrotalk Rotor Driver\n");
    Session.Receive("0\n");
    EXPECT_EQ(Rotator.Targets, (std::vector<std::pair<double, double>>{{10, 20}}));
    Session.Sent(6);
    EXPECT_EQ(Session.Output(), "45.00\nGyrotalk Rotor Driver\nRPRT 0\n");
}

TEST(RotatorSession, ALineTooLongIsAnsweredOnceAndDropped) {
    TFakeRotator Rotator;
    TRotatorSession Session(Rotator);
    Session.Receive(std::string(kMaxLineLength, 'p'));
    EXPECT_EQ(Session.Output(), "");  // as long as a line may be
    Session.Receive("P 10 10");
    Session.Receive(std::string(5000, 'x'));
    EXPECT_EQ(Session.Output(), "RPRT -8\n");
    Session.Receive("\np\n");
    EXPECT_EQ(Session.Output(), "RPRT -8\n12.30\n45.00\n");
    EXPECT_TRUE(Rotator.Targets.empty());
}

TEST(RotatorSession, QuitEndsTheConversation) {
    TFakeRotator Rotator;
    TRotatorSession Session(Rotator);
    Session.Receive("S\nq\nS\n");
    EXPECT_TRUE(Session.Quit());
    EXPECT_EQ(Rotator.Stops, 1);
}

TEST(RotatorSession, AClientThatNeverReadsOverflowsAndIsNoLongerAnswered) {
    TFakeRotator Rotator;
    TRotatorSession Session(Rotator);
    std::string Flood;
    for (int I = 0; I < 20000; ++I)
        Flood += "\\dump_state\n";
    Session.Receive(Flood);
    EXPECT_TRUE(Session.Overflowed());
    EXPECT_LT(Session.Output().size(), kMaxOutput + 200);  // stopped at the first answer beyond
}

}  // namespace
