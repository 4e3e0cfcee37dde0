#include "Simulation.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "framework/Numbers.h"

const char kSimUsage[] =
    "Zenitrak - tracking-program simulator (DDE server \"Zenitrak\", topic \"Tracking\",\n"
    "item \"TrackingData\", warm and hot advise loops and requests in CF_TEXT).\n"
    "\n"
    "Usage: Zenitrak [options]\n"
    "  --help             show this text\n"
    "  --script FILE      publish the lines of FILE in turn (\"#\" comment, \"!CMD\" command)\n"
    "  --line TEXT        publish TEXT and nothing else\n"
    "  --interval MS      one pass step or script line every MS milliseconds (1000)\n"
    "  --once             stop at the end of the pass or script instead of starting over\n"
    "  --refuse-advise    refuse every advise loop\n"
    "  --slow MS          answer each request MS milliseconds late\n"
    "  --empty            publish an empty value first\n"
    "  --stamp            append the publishing time as a word \"TS<microseconds>\"\n"
    "  --paused           publish nothing until told \"pause off\"\n"
    "  --quit-after MS    end every conversation and quit after MS milliseconds\n"
    "  --pass NAME[,NAME] fly these passes one after another: north, overhead,\n"
    "                     south, end, high85, high88, high89.5, meo (see below)\n"
    "  --scale K          pass seconds per second for --pass (1)\n"
    "  --before S         each pass starts S seconds of pass time before its rise (120)\n"
    "  --trace            print \"line US TEXT\" for each line published (US: the\n"
    "                     performance counter in microseconds), \"refused US\" for\n"
    "                     each request refused late, \"ignored US\" for each one\n"
    "                     never answered\n"
    "  --send CMD         hand CMD to the running simulator and exit\n"
    "\n"
    "Commands to a running simulator (--send CMD), or \"!CMD\" lines of a script:\n"
    "  line TEXT          publish TEXT now\n"
    "  empty              publish an empty value (the terminating zero alone)\n"
    "  refuse on|off      refuse advise loops from now on, or accept them again\n"
    "  slow MS            answer requests MS milliseconds late (0: at once)\n"
    "  refuse-next MS     refuse the next request, MS milliseconds late\n"
    "  ignore-next        never answer the next request\n"
    "  misname-next       the next change notices and the answer to the next request\n"
    "                     carry an atom that names another string, as when another\n"
    "                     client has freed the item's name and its number was reused\n"
    "  stamp on|off       append the publishing time, or stop\n"
    "  pause on|off       stop or resume the pass or script\n"
    "  interval MS        one pass step or script line every MS milliseconds from now\n"
    "  ping               nothing: \"--send ping\" exits with 0 once the service is up\n"
    "  quit               end every conversation and quit\n"
    "--send exits with 0 when the command was taken, 1 when it was not understood,\n"
    "2 when no simulator is running, 3 when it did not answer within 10 s.\n"
    "\n"
    "Without --script or --line it publishes a built-in pass of a satellite that\n"
    "rises in the south-east, culminates and sets in the north-west (120 steps),\n"
    "then starts over. The named passes are a satellite 420 km up: \"north\" crosses\n"
    "north clockwise (283 -> 77 degrees, 35 up), \"overhead\" goes from south to\n"
    "north east of the zenith (85 up), \"south\" stays low in the south (20 up),\n"
    "\"end\" rises at 85 degrees and crosses north anticlockwise; \"high85\",\n"
    "\"high88\" and \"high89.5\" culminate that high; \"meo\" is a satellite 20200 km\n"
    "up, culminating at 55 degrees; each from 120 s (--before) before it rises to\n"
    "20 s after it sets. The lead is at most the time the satellite spends below\n"
    "the horizon between two passes (some 4900 s for the low ones).\n"
    "Placed beside Gyrotalk.exe as Zenitrak.exe, it is the\n"
    "program that Gyrotalk starts when it finds no tracking program running.\n";

namespace {

std::string_view Trim(std::string_view Text) {
    while (!Text.empty() && (Text.front() == ' ' || Text.front() == '\t'))
        Text.remove_prefix(1);
    while (!Text.empty() && (Text.back() == ' ' || Text.back() == '\t' || Text.back() == '\r'))
        Text.remove_suffix(1);
    return Text;
}

std::optional<int> ParseMilliseconds(std::string_view Text) {
    int Value = 0;
    auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    if (Error != std::errc() || End != Text.data() + Text.size() || Value < 0)
        return std::nullopt;
    return Value;
}

std::optional<int> ParseSwitch(std::string_view Text) {
    std::string Word = AsciiUpperCase(Text);
    if (Word == "ON")
        return 1;
    if (Word == "OFF")
        return 0;
    return std::nullopt;
}

std::vector<std::string> SplitPassNames(std::string_view Text) {
    std::vector<std::string> Names;
    while (!Text.empty()) {
        size_t Comma = Text.find(',');
        std::string Name(Trim(Text.substr(0, Comma)));
        if (std::find(std::begin(kPassNames), std::end(kPassNames), Name) == std::end(kPassNames))
            throw std::invalid_argument("unknown pass: " + Name);
        Names.push_back(Name);
        Text.remove_prefix(Comma == std::string_view::npos ? Text.size() : Comma + 1);
    }
    return Names;
}

double PositiveNumber(const std::string& Option, const std::string& Text) {
    double Value = 0;
    auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    if (Error != std::errc() || End != Text.data() + Text.size() || !(Value > 0))
        throw std::invalid_argument(Option + ": not a positive number: " + Text);
    return Value;
}

// The sky of an observer on a round earth, x east, y north, z up; the
// satellite on a circular orbit whose track comes closest at ApproachAzimuth,
// turning clockwise (Turn +1) or anticlockwise (-1) as seen from below.
struct TPassGeometry {
    double Culmination, ApproachAzimuth;
    int Turn;
    double Altitude = 420;  // km

    static constexpr double kEarth = 6371, kMu = 398600.4418;

    // Azimuth and elevation, degrees, Seconds after culmination.
    std::pair<double, double> At(double Seconds) const {
        using std::numbers::pi;
        const double E = Culmination * pi / 180, A = ApproachAzimuth * pi / 180, H = A + Turn * pi / 2;
        const double Orbit = kEarth + Altitude;
        const double Beta = std::acos(kEarth / Orbit * std::cos(E)) - E;  // observer to closest point, at the centre
        const double Theta = std::sqrt(kMu / (Orbit * Orbit * Orbit)) * Seconds;
        const double C = std::cos(Theta), S = std::sin(Theta);
        const double X = Orbit * (std::sin(Beta) * std::sin(A) * C + std::sin(H) * S);
        const double Y = Orbit * (std::sin(Beta) * std::cos(A) * C + std::cos(H) * S);
        const double Z = Orbit * std::cos(Beta) * C - kEarth;
        const double Azimuth = std::fmod(std::atan2(X, Y) * 180 / pi + 360, 360);
        return {Azimuth, std::asin(Z / std::sqrt(X * X + Y * Y + Z * Z)) * 180 / pi};
    }
    double Period() const { return 2 * std::numbers::pi * std::sqrt(std::pow(kEarth + Altitude, 3) / kMu); }
    double HalfPass() const {
        double Seconds = 0;
        while (At(Seconds).second > 0)
            Seconds += 0.5;
        return Seconds;
    }
};

}  // namespace

std::optional<TSimCommand> ParseSimCommand(std::string_view Text) {
    Text = Trim(Text);
    std::string_view Argument;
    size_t Blank = Text.find(' ');
    if (Blank != std::string_view::npos)
        Argument = Trim(Text.substr(Blank + 1));
    const std::string Verb = AsciiUpperCase(Text.substr(0, Blank));

    TSimCommand Command;
    std::optional<int> Value = 0;
    if (Verb == "LINE") {
        Command.Kind = TSimCommand::scLine;
        Command.Text = std::string(Argument);
        return Command;
    }
    if (Verb == "EMPTY" || Verb == "PING" || Verb == "QUIT" || Verb == "IGNORE-NEXT" || Verb == "MISNAME-NEXT") {
        if (!Argument.empty())
            return std::nullopt;
        Command.Kind = Verb == "EMPTY"         ? TSimCommand::scEmpty
                       : Verb == "PING"        ? TSimCommand::scPing
                       : Verb == "QUIT"        ? TSimCommand::scQuit
                       : Verb == "IGNORE-NEXT" ? TSimCommand::scIgnoreNext
                                               : TSimCommand::scMisnameNext;
        return Command;
    }
    if (Verb == "SLOW" || Verb == "REFUSE-NEXT" || Verb == "INTERVAL") {
        Command.Kind = Verb == "SLOW"          ? TSimCommand::scSlow
                       : Verb == "REFUSE-NEXT" ? TSimCommand::scRefuseNext
                                               : TSimCommand::scInterval;
        Value = ParseMilliseconds(Argument);
        if (Value && Command.Kind == TSimCommand::scInterval && *Value < 1)
            return std::nullopt;
    } else if (Verb == "REFUSE" || Verb == "STAMP" || Verb == "PAUSE") {
        Command.Kind = Verb == "REFUSE"  ? TSimCommand::scRefuse
                       : Verb == "STAMP" ? TSimCommand::scStamp
                                         : TSimCommand::scPause;
        Value = ParseSwitch(Argument);
    } else {
        return std::nullopt;
    }
    if (!Value)
        return std::nullopt;
    Command.Value = *Value;
    return Command;
}

TSimOptions ParseSimOptions(const std::vector<std::string>& Args) {
    TSimOptions Options;
    for (size_t I = 0; I < Args.size(); ++I) {
        const std::string& Arg = Args[I];
        auto Next = [&]() -> const std::string& {
            if (I + 1 >= Args.size())
                throw std::invalid_argument(Arg + " needs a value");
            return Args[++I];
        };
        auto Milliseconds = [&]() {
            const std::string& Text = Next();
            std::optional<int> Value = ParseMilliseconds(Text);
            if (!Value)
                throw std::invalid_argument(Arg + ": not a number of milliseconds: " + Text);
            return *Value;
        };
        if (Arg == "--help" || Arg == "-h" || Arg == "/?")
            Options.Help = true;
        else if (Arg == "--script")
            Options.Script = Next();
        else if (Arg == "--line")
            Options.Line = Next();
        else if (Arg == "--interval")
            Options.IntervalMs = std::max(1, Milliseconds());
        else if (Arg == "--once")
            Options.Once = true;
        else if (Arg == "--quit-after")
            Options.QuitAfterMs = Milliseconds();
        else if (Arg == "--pass")
            Options.Passes = SplitPassNames(Next());
        else if (Arg == "--scale")
            Options.Scale = PositiveNumber(Arg, Next());
        else if (Arg == "--before")
            Options.BeforeSeconds = PositiveNumber(Arg, Next());
        else if (Arg == "--trace")
            Options.Trace = true;
        else if (Arg == "--send")
            Options.Send = Next();
        else if (Arg == "--refuse-advise")
            Options.Initial.push_back({TSimCommand::scRefuse, {}, 1});
        else if (Arg == "--slow")
            Options.Initial.push_back({TSimCommand::scSlow, {}, Milliseconds()});
        else if (Arg == "--empty")
            Options.Initial.push_back({TSimCommand::scEmpty, {}, 0});
        else if (Arg == "--stamp")
            Options.Initial.push_back({TSimCommand::scStamp, {}, 1});
        else if (Arg == "--paused")
            Options.Initial.push_back({TSimCommand::scPause, {}, 1});
        else
            throw std::invalid_argument("unknown option: " + Arg);
    }
    return Options;
}

std::vector<TScriptStep> ParseScript(std::string_view Text) {
    std::vector<TScriptStep> Steps;
    int LineNumber = 0;
    while (!Text.empty()) {
        size_t End = Text.find('\n');
        std::string_view Line = Trim(Text.substr(0, End));
        Text.remove_prefix(End == std::string_view::npos ? Text.size() : End + 1);
        ++LineNumber;
        if (Line.empty() || Line.front() == '#')
            continue;
        TScriptStep Step;
        if (Line.front() == '!') {
            std::optional<TSimCommand> Command = ParseSimCommand(Line.substr(1));
            if (!Command)
                throw std::invalid_argument("line " + std::to_string(LineNumber) + ": unknown command " +
                                            std::string(Line));
            Step.IsCommand = true;
            Step.Command = *Command;
        } else {
            Step.Line = std::string(Line);
        }
        Steps.push_back(std::move(Step));
    }
    return Steps;
}

std::vector<std::string> NamedPass(std::string_view Name, double StepSeconds, double BeforeSeconds) {
    constexpr double kAfter = 20;
    const TPassGeometry Geometry = Name == "north"      ? TPassGeometry{35, 0, 1}
                                   : Name == "overhead" ? TPassGeometry{85, 90, -1}
                                   : Name == "south"    ? TPassGeometry{20, 180, 1}
                                   : Name == "end"      ? TPassGeometry{40, 6, -1}
                                   : Name == "high85"   ? TPassGeometry{85, 225, 1}
                                   : Name == "high88"   ? TPassGeometry{88, 180, 1}
                                   : Name == "high89.5" ? TPassGeometry{89.5, 135, -1}
                                   : Name == "meo"      ? TPassGeometry{55, 200, 1, 20200}
                                                   : throw std::invalid_argument("unknown pass: " + std::string(Name));
    const double Half = Geometry.HalfPass();
    // The orbit's track repeats every turn: a longer lead would start in the pass before.
    if (BeforeSeconds > Geometry.Period() - 2 * Half)
        throw std::invalid_argument("--before: the " + std::string(Name) + " satellite is below the horizon for " +
                                    std::to_string(std::lround(Geometry.Period() - 2 * Half)) +
                                    " s between its passes");
    std::vector<std::string> Lines;
    for (double Seconds = -Half - BeforeSeconds; Seconds <= Half + kAfter; Seconds += StepSeconds) {
        auto [Azimuth, Elevation] = Geometry.At(Seconds);
        Lines.push_back("SNISS AZ" + FormatFixed(Azimuth, 4, 1) + " EL" + FormatFixed(Elevation, 4, 1) +
                        " UP145990000 DN437800000 UMFM DMFM");
    }
    return Lines;
}

std::vector<std::string> BuiltInPass(int Steps) {
    // Azimuth sweeps 180 degrees through the south; elevation follows a sine
    // arc from just below the horizon. The Doppler shift is largest at the
    // horizons and changes sign at culmination; the uplink is pre-corrected
    // the other way.
    constexpr double kRiseAzimuth = 140, kSweep = 180, kPeak = 57, kBelow = 2;
    constexpr double kUplink = 145990000, kDownlink = 437800000, kUplinkShift = 3400, kDownlinkShift = 10200;
    std::vector<std::string> Lines;
    for (int I = 0; I < Steps; ++I) {
        const double T = static_cast<double>(I) / (Steps - 1);
        const double Closing = std::cos(std::numbers::pi * T);
        const double Azimuth = kRiseAzimuth + kSweep * T;
        const double Elevation = kPeak * std::sin(std::numbers::pi * T) - kBelow;
        Lines.push_back("SNISS AZ" + FormatFixed(Azimuth, 4, 1) + " EL" + FormatFixed(Elevation, 4, 1) + " UP" +
                        FormatFixed(kUplink - kUplinkShift * Closing, 12, 0) + " DN" +
                        FormatFixed(kDownlink + kDownlinkShift * Closing, 12, 0) + " UMFM DMFM");
    }
    return Lines;
}
