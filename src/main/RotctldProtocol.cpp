#include "main/RotctldProtocol.h"

#include <charconv>
#include <vector>

#include "framework/Numbers.h"

namespace {

// An answer never has more lines: a position and what may stray before
// it, the limits and the rest of the daemon's state.
constexpr size_t kMaxAnswerLines = 8;
constexpr size_t kMaxStateLines = 64;
// What the log quotes of a line that is no answer.
constexpr size_t kQuoted = 40;

// Lines end in "\n", from some daemons in "\r\n".
constexpr std::string_view kBlanks = " \t\r";

// The complete lines of Received, trimmed; none when a line runs on
// beyond kMaxRotctldLine.
std::optional<std::vector<std::string_view>> Lines(std::string_view Received) {
    std::vector<std::string_view> Found;
    for (size_t End; (End = Received.find('\n')) != std::string_view::npos; Received.remove_prefix(End + 1)) {
        if (End > kMaxRotctldLine)
            return std::nullopt;
        Found.push_back(Trimmed(Received.substr(0, End), kBlanks));
    }
    if (Received.size() > kMaxRotctldLine)
        return std::nullopt;
    return Found;
}

// The code of "RPRT n".
std::optional<int> ReportCode(std::string_view Line) {
    if (!Line.starts_with("RPRT "))
        return std::nullopt;
    const std::string_view Code = Trimmed(Line.substr(5), kBlanks);
    int Value = 0;
    const auto [End, Error] = std::from_chars(Code.data(), Code.data() + Code.size(), Value);
    if (Code.empty() || Error != std::errc() || End != Code.data() + Code.size())
        return std::nullopt;
    return Value;
}

std::string Quoted(std::string_view Line) {
    std::string Text;
    for (char C : Line.substr(0, kQuoted))
        Text += static_cast<unsigned char>(C) < ' ' || C == '\x7F' ? '?' : C;
    return "\"" + Text + (Line.size() > kQuoted ? "...\"" : "\"");
}

TRotorAnswer Refused(int Code) {
    return TRotorAnswer::Failed("rotctld answered RPRT " + std::to_string(Code));
}

TRotorAnswer NoAnswer(std::string_view Line) {
    return TRotorAnswer::Failed("rotctld answered " + Quoted(Line));
}

TRotorAnswer Position(const std::vector<std::string_view>& Lines) {
    std::vector<double> Values;
    for (std::string_view Line : Lines) {
        if (const auto Code = ReportCode(Line)) {
            if (*Code == 0 && Values.empty())
                continue;  // the late answer to an earlier SET or STOP
            return *Code == 0 ? NoAnswer(Line) : Refused(*Code);
        }
        const auto Value = ParseDecimalOrComma(Line);
        if (!Value)
            return NoAnswer(Line);
        Values.push_back(*Value);
        if (Values.size() == 2)
            return TRotorAnswer::Done(TRotorReading{Values[0], Values[1], std::nullopt});
    }
    return TRotorAnswer::More(1);
}

TRotorAnswer Acknowledgement(const std::vector<std::string_view>& Lines) {
    for (std::string_view Line : Lines) {
        if (const auto Code = ReportCode(Line))
            return *Code == 0 ? TRotorAnswer::Done() : Refused(*Code);
        if (!ParseDecimalOrComma(Line))  // a number: the late answer to an earlier STATE
            return NoAnswer(Line);
    }
    return TRotorAnswer::More(1);
}

// "\dump_state": the protocol's version, the rotor's model, then "key=value"
// lines up to "done". Limits only when all four are there and make sense.
TRotorAnswer DumpedState(const std::vector<std::string_view>& Lines) {
    if (!Lines.empty() && ReportCode(Lines[0]))
        return TRotorAnswer::Done();  // a daemon that tells nothing of itself
    std::optional<double> Values[4];
    constexpr std::string_view kKeys[4] = {"min_az", "max_az", "min_el", "max_el"};
    for (size_t I = 0; I < Lines.size(); ++I) {
        if (Lines[I] == "done") {
            TRotorAnswer Answer = TRotorAnswer::Done();
            if (Values[0] && Values[1] && Values[2] && Values[3] && *Values[0] <= *Values[1] &&
                *Values[2] <= *Values[3])
                Answer.Limits = TRotatorLimits{*Values[0], *Values[1], *Values[2], *Values[3]};
            return Answer;
        }
        const size_t Equals = Lines[I].find('=');
        for (size_t K = 0; K < 4 && I >= 2 && Equals != std::string_view::npos; ++K)
            if (Lines[I].substr(0, Equals) == kKeys[K])
                Values[K] = ParseDecimalOrComma(Lines[I].substr(Equals + 1));
    }
    return TRotorAnswer::More(1);
}

}  // namespace

std::string TRotctldProtocol::Request(TRotorRequest Request, double Azimuth, double Elevation, int) const {
    switch (Request) {
        case rqStop:
            return "S\n";
        case rqState:
            return "p\n";
        case rqSet:
            return "P " + FormatFixed(Azimuth, 15, 6) + " " + FormatFixed(Elevation, 15, 6) + "\n";
        case rqLimits:
            return "\\dump_state\n";
    }
    return {};
}

TRotorAnswer TRotctldProtocol::Scan(TRotorRequest Request, std::string_view Received) const {
    const auto Found = Lines(Received);
    if (!Found)
        return TRotorAnswer::Failed("rotctld sent a line without end");
    if (Found->size() > (Request == rqLimits ? kMaxStateLines : kMaxAnswerLines))
        return TRotorAnswer::Failed("rotctld sent more lines than an answer has");
    switch (Request) {
        case rqState:
            return Position(*Found);
        case rqSet:
        case rqStop:
            return Acknowledgement(*Found);
        case rqLimits:
            return DumpedState(*Found);
    }
    return TRotorAnswer::Failed();
}
