#include "net/RotatorProtocol.h"

#include <vector>

#include "framework/Numbers.h"

namespace {

enum TCommandId { ciGetPos, ciSetPos, ciStop, ciPark, ciGetInfo, ciDumpState, ciQuit };

struct TCommand {
    char Short;             // 0: none
    std::string_view Long;  // without the backslash; empty: none
    size_t Arguments;
    TCommandId Id;
};

constexpr TCommand kCommands[] = {
    {'p', "get_pos", 0, ciGetPos},
    {'P', "set_pos", 2, ciSetPos},
    {'S', "stop", 0, ciStop},
    {'K', "park", 0, ciPark},
    {'_', "get_info", 0, ciGetInfo},
    {0, "dump_state", 0, ciDumpState},
    {'q', "", 0, ciQuit},
    {'Q', "", 0, ciQuit},
};

// What dump_state tells the network client, which checks set points
// against the limits itself before it sends them.
constexpr char kProtocolVersion[] = "1";
constexpr char kRotorModel[] = "1";

// A value in both forms: plain ("12.30") and extended ("Azimuth: 12.30").
struct TRecord {
    std::string Plain, Extended;
};

struct TReply {
    TRotatorStatus Status = rsOk;
    std::vector<TRecord> Records;
};

bool IsBlank(char C) {
    return C == ' ' || C == '\t' || C == '\r' || C == '\v' || C == '\f';
}

std::vector<std::string_view> Words(std::string_view Text) {
    std::vector<std::string_view> Found;
    size_t I = 0;
    while (I < Text.size()) {
        while (I < Text.size() && IsBlank(Text[I]))
            ++I;
        const size_t Start = I;
        while (I < Text.size() && !IsBlank(Text[I]))
            ++I;
        if (I > Start)
            Found.push_back(Text.substr(Start, I - Start));
    }
    return Found;
}

// The punctuation marks that ask for the extended form; "\" starts a long
// name, "?" and "_" are commands, "#" starts a comment.
bool IsExtendedMark(char C) {
    const bool Punctuation =
        (C >= '!' && C <= '/') || (C >= ':' && C <= '@') || (C >= '[' && C <= '`') || (C >= '{' && C <= '~');
    return Punctuation && C != '\\' && C != '?' && C != '_' && C != '#';
}

const TCommand* Find(std::string_view Word) {
    for (const TCommand& Command : kCommands) {
        if (Word.size() == 1 && Command.Short == Word[0])
            return &Command;
        if (Word.size() > 1 && Word[0] == '\\' && !Command.Long.empty() && Word.substr(1) == Command.Long)
            return &Command;
    }
    return nullptr;
}

std::string Fixed(double Value, int Digits) {
    return FormatFixed(Value, 15, Digits);
}

TReply GetPos(TRotatorHandler& Rotator) {
    const std::optional<TRotatorPosition> Position = Rotator.Position();
    if (!Position)
        return {rsIo, {}};
    const std::string Azimuth = Fixed(Position->Azimuth, 2), Elevation = Fixed(Position->Elevation, 2);
    return {rsOk, {{Azimuth, "Azimuth: " + Azimuth}, {Elevation, "Elevation: " + Elevation}}};
}

TReply SetPos(TRotatorHandler& Rotator, const std::vector<std::string_view>& Arguments) {
    const auto Azimuth = ParseDecimalOrComma(Arguments[0]), Elevation = ParseDecimalOrComma(Arguments[1]);
    const TRotatorLimits Limits = Rotator.Limits();
    if (!Azimuth || !Elevation || *Azimuth < Limits.MinAzimuth || *Azimuth > Limits.MaxAzimuth ||
        *Elevation < Limits.MinElevation || *Elevation > Limits.MaxElevation)
        return {rsInvalid, {}};
    return {Rotator.SetPosition({*Azimuth, *Elevation}), {}};
}

TReply DumpState(TRotatorHandler& Rotator) {
    const TRotatorLimits Limits = Rotator.Limits();
    auto Limit = [](const char* Plain, const char* Extended, double Value) {
        const std::string Text = Fixed(Value, 6);
        return TRecord{std::string(Plain) + "=" + Text, std::string(Extended) + ": " + Text};
    };
    return {rsOk,
            {{kProtocolVersion, std::string("rotctld Protocol Ver: ") + kProtocolVersion},
             {kRotorModel, std::string("Rotor Model: ") + kRotorModel},
             Limit("min_az", "Minimum Azimuth", Limits.MinAzimuth),
             Limit("max_az", "Maximum Azimuth", Limits.MaxAzimuth),
             Limit("min_el", "Minimum Elevation", Limits.MinElevation),
             Limit("max_el", "Maximum Elevation", Limits.MaxElevation),
             {"south_zero=0", "South Zero: 0"},
             {"rot_type=AzEl", "rot_type=AzEl"},
             {"done", "done"}}};
}

TReply Run(const TCommand& Command, const std::vector<std::string_view>& Arguments, TRotatorHandler& Rotator) {
    if (Arguments.size() != Command.Arguments)
        return {rsInvalid, {}};
    switch (Command.Id) {
        case ciGetPos:
            return GetPos(Rotator);
        case ciSetPos:
            return SetPos(Rotator, Arguments);
        case ciStop:
            return {Rotator.Stop(), {}};
        case ciPark:
            return {Rotator.Park(), {}};
        case ciGetInfo: {
            const std::string Info = Rotator.Info();
            return {rsOk, {{Info, "Info: " + Info}}};
        }
        case ciDumpState:
            return DumpState(Rotator);
        case ciQuit:
            break;
    }
    return {rsNotImplemented, {}};
}

std::string Report(TRotatorStatus Status) {
    return "RPRT " + std::to_string(static_cast<int>(Status));
}

// What the client sent, echoed in the extended form's first record, with
// control bytes shown as "?" so that an echo never breaks the framing.
std::string Echo(const TCommand& Command, const std::vector<std::string_view>& Arguments) {
    std::string Text = std::string(Command.Long) + ":";
    for (std::string_view Argument : Arguments) {
        Text += ' ';
        for (char C : Argument)
            Text += static_cast<unsigned char>(C) < ' ' || C == '\x7F' ? '?' : C;
    }
    return Text;
}

std::string Plain(const TReply& Reply) {
    if (Reply.Status != rsOk || Reply.Records.empty())
        return Report(Reply.Status) + "\n";
    std::string Text;
    for (const TRecord& Record : Reply.Records)
        Text += Record.Plain + "\n";
    return Text;
}

std::string Extended(const TCommand& Command, const std::vector<std::string_view>& Arguments, const TReply& Reply,
                     char Separator) {
    std::string Text = Echo(Command, Arguments) + Separator;
    for (const TRecord& Record : Reply.Records)
        Text += Record.Extended + Separator;
    return Text + Report(Reply.Status) + "\n";
}

}  // namespace

TRotatorAnswer AnswerLine(std::string_view Line, TRotatorHandler& Rotator) {
    std::vector<std::string_view> Arguments = Words(Line);
    if (Arguments.empty() || Arguments[0][0] == '#')
        return {};
    std::optional<char> Separator;
    if (IsExtendedMark(Arguments[0][0])) {
        Separator = Arguments[0][0] == '+' ? '\n' : Arguments[0][0];
        Arguments[0].remove_prefix(1);
        if (Arguments[0].empty())
            Arguments.erase(Arguments.begin());
    }
    const TCommand* Command = Arguments.empty() ? nullptr : Find(Arguments[0]);
    if (!Command)
        return {Report(rsNotImplemented) + "\n"};
    if (Command->Id == ciQuit)
        return {"", true};
    Arguments.erase(Arguments.begin());
    const TReply Reply = Run(*Command, Arguments, Rotator);
    return {Separator ? Extended(*Command, Arguments, Reply, *Separator) : Plain(Reply)};
}

std::string LineTooLongAnswer() {
    return Report(rsProtocol) + "\n";
}
