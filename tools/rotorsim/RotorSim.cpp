#include "RotorSim.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <stdexcept>

const char kSimUsage[] =
#ifdef _WIN32
    "usage: RotorSimulator --tcp PORT [OPTIONS]\n"
    "Plays a rotator controller (13-byte frames, 12-byte replies) on a TCP port,\n"
    "as a controller's own network port or a serial server does: one client at a\n"
    "time, raw bytes both ways. Prints ADDRESS:PORT once it listens; Ctrl+C ends it.\n"
    "\n"
    "  --tcp PORT         the TCP port to answer on (0: a free one)\n"
#else
    "usage: rotorsim [OPTIONS] [-- COMMAND [ARG...]]\n"
    "Plays a rotator controller (13-byte frames, 12-byte replies) on a\n"
    "pseudo-terminal. Prints the terminal's device path on its first output line.\n"
    "With COMMAND, runs it while the controller exists and exits with its status.\n"
    "\n"
    "  --link PATH        link PATH to the terminal, e.g. $WINEPREFIX/dosdevices/com7\n"
    "  --device PATH      use an existing terminal instead of making one\n"
    "  --tcp PORT         answer on TCP PORT instead of a terminal, one client at a\n"
    "                     time, raw bytes (as a controller's network port or a\n"
    "                     serial server does; 0: a free port); prints ADDRESS:PORT\n"
    "                     first\n"
    "  --control PATH     read control lines from the FIFO PATH (made if missing)\n"
#endif
    "  --address ADDR     where --tcp listens (default 127.0.0.1; 0.0.0.0: everywhere)\n"
    "  --log PATH         log file (default: standard error)\n"
    "  --position AZ EL   starting position in degrees (default 0 0)\n"
    "  --rate AZ EL       slew rates in degrees per second (default 6 3)\n"
    "  --divider N        divider in replies and for reading SET frames (default 1)\n"
    "  --range RANGE      azimuth end stops: 0-360, 0-450 or -180-540; a set point\n"
    "                     beyond them is held at the stop (default: none)\n"
    "  --elevation-range RANGE  elevation end stops: 0-90, or 0-180 for a rotor that\n"
    "                     turns over the top (default: none)\n"
    "  --baud N           the controller's line speed (default 600): a frame that\n"
    "                     comes at another speed is garbage to it\n"
    "  --pace             the line at that speed: a reply starts when the frame's\n"
    "                     last byte would have arrived and goes out byte by byte\n"
    "                     (16.7 ms a byte at 600 baud; default: at once)\n"
    "  --answer-set MS    answer SET too, with the position, MS ms later (as newer\n"
    "                     controllers do; default: no answer)\n"
    "  --delay MS         further pause between a frame and its reply (default 0)\n"
    "  --fault FAULT      start with a fault, e.g. --fault \"stall 5\"\n"
    "  --help             this text\n"
    "\n"
    "Faults (they combine: extra bytes are appended, the stall cuts, the split\n"
    "divides what is left):\n"
    "  silent                      STOP and STATE get no reply\n"
    "  scrambled                   STOP and STATE get 12 bytes that are no reply\n"
    "  split [K [MS]]              reply in two parts: K bytes (5), MS ms pause (300)\n"
    "  stall [K]                   send only the first K bytes (5) of each reply\n"
    "  garbage [N [MS]]            send N unsolicited bytes (3) every MS ms (1000)\n"
    "  extra [N]                   append N bytes 0xEE (2) to each reply\n"
#ifndef _WIN32
    "\n"
    "Control lines (FIFO):\n"
    "  fault FAULT | fault none | fault NAME off   a fault as above; clear all; clear one\n"
    "  divider N | baud N | pace on|off | delay MS | answer-set MS|off\n"
    "  rate AZ EL | range RANGE | elevation-range RANGE\n"
    "  position AZ EL              put the rotor there at once, standing\n"
    "  send HEX...                 send these bytes now, e.g. send 57 00 20\n"
    "  quit\n"
#endif
    "\n"
    "Log, one line per event, monotonic milliseconds first, bytes in hex:\n"
    "  12345.678 rx STATE 57 00 00 00 00 00 00 00 00 00 00 1F 20\n"
    "  12345.679 tx STATE 57 03 06 00 00 01 03 06 00 00 01 20\n"
    "  rx STOP|STATE|SET|garbage BYTES   a frame received, or bytes that are none\n"
    "  tx STOP|STATE|SET BYTES           (part of) the reply to that frame; a split\n"
    "                                    reply gives two lines, a stall fewer bytes\n"
    "  tx GARBAGE|RAW BYTES              unsolicited bytes, bytes of \"send\"\n"
    "  tx-lost N                         bytes nobody took (no client, a full line)\n"
    "  silent STOP|STATE                 a reply left out\n"
    "  target AZ EL [stop] | target invalid  the set point of a SET frame (\"stop\":\n"
    "                                    held at an end stop)\n"
    "  stop AZ EL | arrived AZ EL        where the rotor halted\n"
    "  speed N                           the terminal set to N baud\n"
    "  rx garbage BYTES (speed N)        bytes at another speed than the controller's\n"
    "  start AZ EL DIVIDER | ctl LINE | ctl-error LINE\n"
    "  connected ADDRESS | disconnected | refused ADDRESS   TCP clients\n"
    "\n"
#ifdef _WIN32
    "Trying Gyrotalk without a controller: start\n"
    "  RotorSimulator --tcp 4001 --pace\n"
    "and give Gyrotalk the address 127.0.0.1:4001 under \"Rotor on the network...\"\n"
    "in its system menu.\n";
#else
    "Under Wine: link the port's dosdevices entry, list the port in\n"
    "HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM and preload the modem shim, e.g.\n"
    "  rotorsim --link $WINEPREFIX/dosdevices/com5 --pace --control /tmp/rotor.fifo \\\n"
    "      -- env LD_PRELOAD=/path/to/libmodemshim.so wine Gyrotalk.exe\n"
    "  echo 'fault stall 5' > /tmp/rotor.fifo\n";
#endif

namespace {

constexpr uint8_t kExtraByte = 0xEE;
constexpr size_t kDefaultSplitAt = 5;
constexpr double kDefaultSplitPauseMs = 300;
constexpr size_t kDefaultStallAfter = 5;
constexpr size_t kDefaultGarbageCount = 3;
constexpr double kDefaultGarbagePeriodMs = 1000;
constexpr size_t kDefaultExtra = 2;
// What a reply turns into on its way: no "W", no closing space.
constexpr uint8_t kScrambledByte = 0xC3;
constexpr size_t kMaxBytes = 4096;
constexpr double kMaxMs = 600000;

std::vector<std::string> SplitWords(std::string_view Text) {
    std::vector<std::string> Words;
    size_t At = 0;
    while (At < Text.size()) {
        while (At < Text.size() && std::isspace(static_cast<unsigned char>(Text[At])))
            ++At;
        size_t End = At;
        while (End < Text.size() && !std::isspace(static_cast<unsigned char>(Text[End])))
            ++End;
        if (End > At)
            Words.emplace_back(Text.substr(At, End - At));
        At = End;
    }
    return Words;
}

std::string Lower(std::string Word) {
    std::transform(Word.begin(), Word.end(), Word.begin(),
                   [](unsigned char Char) { return static_cast<char>(std::tolower(Char)); });
    return Word;
}

template <typename T>
std::optional<T> Number(const std::string& Word, int Base = 10) {
    T Value{};
    const char* End = Word.data() + Word.size();
    std::from_chars_result Result;
    if constexpr (std::is_floating_point_v<T>)
        Result = std::from_chars(Word.data(), End, Value);
    else
        Result = std::from_chars(Word.data(), End, Value, Base);
    if (Word.empty() || Result.ec != std::errc() || Result.ptr != End)
        return std::nullopt;
    return Value;
}

// The word at Index as a number within [Low, High]; Default when absent.
template <typename T>
std::optional<T> Argument(const std::vector<std::string>& Words, size_t Index, T Low, T High,
                          std::optional<T> Default = std::nullopt) {
    if (Index >= Words.size())
        return Default;
    const auto Value = Number<T>(Words[Index]);
    if (!Value || *Value < Low || *Value > High)
        return std::nullopt;
    return Value;
}

std::optional<TAngles> AnglesArgument(const std::vector<std::string>& Words) {
    const auto Azimuth = Argument<double>(Words, 1, kLowestAngle, kHighestAngle);
    const auto Elevation = Argument<double>(Words, 2, kLowestAngle, kHighestAngle);
    if (Words.size() != 3 || !Azimuth || !Elevation)
        return std::nullopt;
    return TAngles{*Azimuth, *Elevation};
}

std::optional<TSlewRates> RatesArgument(const std::vector<std::string>& Words) {
    const auto Azimuth = Argument<double>(Words, 1, 0.001, 1000.0);
    const auto Elevation = Argument<double>(Words, 2, 0.001, 1000.0);
    if (Words.size() != 3 || !Azimuth || !Elevation)
        return std::nullopt;
    return TSlewRates{*Azimuth, *Elevation};
}

bool ClearFault(const std::string& Name, TFaults& Faults) {
    if (Name == "silent")
        Faults.Silent = false;
    else if (Name == "scrambled")
        Faults.Scrambled = false;
    else if (Name == "split")
        Faults.SplitAt.reset();
    else if (Name == "stall")
        Faults.StallAfter.reset();
    else if (Name == "garbage")
        Faults.GarbageCount.reset();
    else if (Name == "extra")
        Faults.Extra = 0;
    else
        return false;
    return true;
}

// "fault NAME [ARG...]" and "fault NAME off". The fault's arguments start at
// word 2; Faults changes only when the whole line is understood.
bool ApplyFault(const std::vector<std::string>& Words, TFaults& Faults) {
    if (Words.size() < 2)
        return false;
    const std::string Name = Lower(Words[1]);
    const size_t Count = Words.size() - 2;
    if (Count == 1 && Lower(Words[2]) == "off")
        return ClearFault(Name, Faults);
    TFaults New = Faults;
    if (Name == "none" && Count == 0) {
        New = TFaults{};
    } else if (Name == "silent" && Count == 0) {
        New.Silent = true;
    } else if (Name == "scrambled" && Count == 0) {
        New.Scrambled = true;
    } else if (Name == "split" && Count <= 2) {
        const auto At = Argument<size_t>(Words, 2, 1, kMaxBytes, kDefaultSplitAt);
        const auto Pause = Argument<double>(Words, 3, 0, kMaxMs, kDefaultSplitPauseMs);
        if (!At || !Pause)
            return false;
        New.SplitAt = *At;
        New.SplitPauseMs = *Pause;
    } else if (Name == "stall" && Count <= 1) {
        New.StallAfter = Argument<size_t>(Words, 2, 0, kMaxBytes, kDefaultStallAfter);
        if (!New.StallAfter)
            return false;
    } else if (Name == "garbage" && Count <= 2) {
        const auto Bytes = Argument<size_t>(Words, 2, 1, kMaxBytes, kDefaultGarbageCount);
        const auto Period = Argument<double>(Words, 3, 10, kMaxMs, kDefaultGarbagePeriodMs);
        if (!Bytes || !Period)
            return false;
        New.GarbageCount = *Bytes;
        New.GarbagePeriodMs = *Period;
    } else if (Name == "extra" && Count <= 1) {
        const auto Extra = Argument<size_t>(Words, 2, 0, kMaxBytes, kDefaultExtra);
        if (!Extra)
            return false;
        New.Extra = *Extra;
    } else {
        return false;
    }
    Faults = New;
    return true;
}

std::optional<bool> OnOff(const std::vector<std::string>& Words) {
    if (Words.size() != 2)
        return std::nullopt;
    const std::string Word = Lower(Words[1]);
    if (Word == "on")
        return true;
    if (Word == "off")
        return false;
    return std::nullopt;
}

std::optional<TBytes> HexArguments(const std::vector<std::string>& Words) {
    if (Words.size() < 2)
        return std::nullopt;
    TBytes Bytes;
    for (size_t Index = 1; Index < Words.size(); ++Index) {
        const auto Byte = Words[Index].size() <= 2 ? Number<unsigned>(Words[Index], 16) : std::nullopt;
        if (!Byte)
            return std::nullopt;
        Bytes.push_back(static_cast<uint8_t>(*Byte));
    }
    return Bytes;
}

std::string AnglesText(TAngles Angles) {
    char Text[64];
    std::snprintf(Text, sizeof Text, "%.2f %.2f", Angles.Azimuth, Angles.Elevation);
    return Text;
}

std::optional<TStops> StopsArgument(const std::vector<std::string>& Words, std::initializer_list<TStops> Known) {
    if (Words.size() != 2)
        return std::nullopt;
    for (TStops Stops : Known) {
        char Name[32];
        std::snprintf(Name, sizeof Name, "%g-%g", Stops.Lowest, Stops.Highest);
        if (Words[1] == Name)
            return Stops;
    }
    return std::nullopt;
}

}  // namespace

bool ApplySetting(const std::vector<std::string>& Words, TSimSettings& Settings) {
    if (Words.empty())
        return false;
    const std::string Name = Lower(Words[0]);
    if (Name == "fault")
        return ApplyFault(Words, Settings.Faults);
    if (Name == "divider") {
        const auto Divider = Argument<int>(Words, 1, 0, 255);
        if (Words.size() != 2 || !Divider)
            return false;
        Settings.Divider = *Divider;
    } else if (Name == "baud") {
        const auto Baud = Argument<unsigned>(Words, 1, 50, 4000000);
        if (Words.size() != 2 || !Baud)
            return false;
        Settings.Baud = *Baud;
    } else if (Name == "answer-set") {
        const auto Delay = Argument<double>(Words, 1, 0, kMaxMs);
        if (Words.size() != 2 || (!Delay && Lower(Words[1]) != "off"))
            return false;
        Settings.SetAnswerMs = Delay;
    } else if (Name == "pace") {
        const auto Pace = OnOff(Words);
        if (!Pace)
            return false;
        Settings.Pace = *Pace;
    } else if (Name == "delay") {
        const auto Delay = Argument<double>(Words, 1, 0, kMaxMs);
        if (Words.size() != 2 || !Delay)
            return false;
        Settings.DelayMs = *Delay;
    } else if (Name == "rate") {
        const auto Rates = RatesArgument(Words);
        if (!Rates)
            return false;
        Settings.Rates = *Rates;
    } else if (Name == "range") {
        const auto Stops = StopsArgument(Words, {{0, 360}, {0, 450}, {-180, 540}});
        if (!Stops)
            return false;
        Settings.Stops = *Stops;
    } else if (Name == "elevation-range") {
        const auto Stops = StopsArgument(Words, {{0, 90}, {0, 180}});
        if (!Stops)
            return false;
        Settings.ElevationStops = *Stops;
    } else if (Name == "position") {
        const auto Start = AnglesArgument(Words);
        if (!Start)
            return false;
        Settings.Start = *Start;
    } else {
        return false;
    }
    return true;
}

TRotorSim::TRotorSim(const TSimSettings& Settings, TLog Log, double NowMs)
    : FSettings(Settings),
      FLog(std::move(Log)),
      FRotor(Settings.Start, Settings.Rates),
      FMotionMs(NowMs),
      FLastRxMs(NowMs),
      FLineFreeMs(NowMs),
      FNextGarbageMs(NowMs) {
    Write(NowMs, "start " + AnglesText(FRotor.Position()) + " " + std::to_string(FSettings.Divider));
}

void TRotorSim::Write(double NowMs, const std::string& Text) const {
    char Stamp[32];
    std::snprintf(Stamp, sizeof Stamp, "%.3f ", NowMs);
    FLog(Stamp + Text);
}

void TRotorSim::MoveTo(double NowMs) {
    if (NowMs <= FMotionMs)
        return;
    const bool WasMoving = FRotor.Moving();
    FRotor.Advance((NowMs - FMotionMs) / 1000.0);
    FMotionMs = NowMs;
    if (WasMoving && !FRotor.Moving())
        Write(NowMs, "arrived " + AnglesText(FRotor.Position()));
}

void TRotorSim::LineSpeed(unsigned Baud, double NowMs) {
    if (Baud != FLineBaud)
        Write(NowMs, "speed " + std::to_string(Baud));
    FLineBaud = Baud;
}

void TRotorSim::Receive(std::span<const uint8_t> Bytes, double NowMs) {
    MoveTo(NowMs);
    if (FLineBaud && FLineBaud != FSettings.Baud) {
        Write(NowMs, "rx garbage " + HexBytes(Bytes) + " (speed " + std::to_string(FLineBaud) + ")");
        return;
    }
    FLastRxMs = NowMs;
    for (const TReceived& Received : FReader.Feed(Bytes))
        Handle(Received, NowMs);
}

void TRotorSim::Handle(const TReceived& Received, double NowMs) {
    Write(NowMs, std::string("rx ") + CommandName(Received.Kind) + " " + HexBytes(Received.Bytes));
    switch (Received.Kind) {
        case TCommand::cmStop:
            FRotor.Stop();
            Write(NowMs, "stop " + AnglesText(FRotor.Position()));
            Answer(Received.Kind, NowMs, FSettings.DelayMs);
            break;
        case TCommand::cmState:
            Answer(Received.Kind, NowMs, FSettings.DelayMs);
            break;
        case TCommand::cmSet:
            if (auto Target = DecodeSetPoint(Received.Bytes, FSettings.Divider)) {
                const TAngles Asked = *Target;
                if (FSettings.Stops)
                    Target->Azimuth = std::clamp(Asked.Azimuth, FSettings.Stops->Lowest, FSettings.Stops->Highest);
                if (FSettings.ElevationStops)
                    Target->Elevation = std::clamp(Asked.Elevation, FSettings.ElevationStops->Lowest,
                                                   FSettings.ElevationStops->Highest);
                FRotor.SetTarget(*Target);
                const bool Held = Target->Azimuth != Asked.Azimuth || Target->Elevation != Asked.Elevation;
                Write(NowMs, "target " + AnglesText(FRotor.Target()) + (Held ? " stop" : ""));
            } else {
                Write(NowMs, "target invalid");
            }
            if (FSettings.SetAnswerMs)
                Answer(Received.Kind, NowMs, *FSettings.SetAnswerMs);
            break;
        case TCommand::cmGarbage:
            break;
    }
}

void TRotorSim::Answer(TCommand Command, double NowMs, double DelayMs) {
    const TFaults& Faults = FSettings.Faults;
    const std::string Label = CommandName(Command);
    if (Faults.Silent) {
        Write(NowMs, "silent " + Label);
        return;
    }
    const auto Reply = EncodeReply(FRotor.Position(), static_cast<uint8_t>(FSettings.Divider));
    TBytes Bytes(Reply.begin(), Reply.end());
    if (Faults.Scrambled)
        Bytes.assign(kReplySize, kScrambledByte);
    Bytes.insert(Bytes.end(), Faults.Extra, kExtraByte);
    if (Faults.StallAfter && *Faults.StallAfter < Bytes.size())
        Bytes.resize(*Faults.StallAfter);
    // A paced line delivers the frame's last byte only a frame's time after
    // its first, and the reply cannot start before that.
    const double StartMs =
        NowMs + DelayMs + (FSettings.Pace ? static_cast<double>(kCommandSize) * ByteMs(FSettings.Baud) : 0.0);
    if (Faults.SplitAt && *Faults.SplitAt < Bytes.size()) {
        TBytes Rest(Bytes.begin() + static_cast<std::ptrdiff_t>(*Faults.SplitAt), Bytes.end());
        Bytes.resize(*Faults.SplitAt);
        Queue(std::move(Bytes), Label, StartMs);
        Queue(std::move(Rest), Label, FLineFreeMs + Faults.SplitPauseMs);
    } else {
        Queue(std::move(Bytes), Label, StartMs);
    }
}

void TRotorSim::Queue(TBytes Bytes, std::string Label, double EarliestMs) {
    const double StartMs = std::max(EarliestMs, FLineFreeMs);
    FLineFreeMs = StartMs + (FSettings.Pace ? static_cast<double>(Bytes.size()) * ByteMs(FSettings.Baud) : 0.0);
    FOutgoing.push_back({StartMs, std::move(Bytes), std::move(Label)});
}

double TRotorSim::ByteDueMs(const TOutgoing& Outgoing) const {
    return Outgoing.StartMs + (FSettings.Pace ? static_cast<double>(Outgoing.Sent) * ByteMs(FSettings.Baud) : 0.0);
}

void TRotorSim::LineChanged(const std::string& Event, double NowMs) {
    MoveTo(NowMs);
    FReader = TFrameReader();
    FOutgoing.clear();
    FLineFreeMs = NowMs;
    Write(NowMs, Event);
}

bool TRotorSim::Control(std::string_view Line, double NowMs) {
    const std::vector<std::string> Words = SplitWords(Line);
    const std::string Name = Words.empty() ? "" : Lower(Words[0]);
    bool Understood = true;
    if (Name == "quit" && Words.size() == 1) {
        FQuit = true;
    } else if (Name == "send") {
        const auto Bytes = HexArguments(Words);
        if (Bytes)
            Queue(*Bytes, "RAW", NowMs);
        Understood = Bytes.has_value();
    } else if (Name == "position") {
        const auto Position = AnglesArgument(Words);
        if (Position) {
            MoveTo(NowMs);
            FRotor.Place(*Position);
        }
        Understood = Position.has_value();
    } else {
        MoveTo(NowMs);  // motion so far ran at the old rates
        const bool HadGarbage = FSettings.Faults.GarbageCount.has_value();
        Understood = ApplySetting(Words, FSettings);
        FRotor.SetRates(FSettings.Rates);
        if (!HadGarbage && FSettings.Faults.GarbageCount)
            FNextGarbageMs = NowMs;
    }
    Write(NowMs, (Understood ? "ctl " : "ctl-error ") + std::string(Line));
    return Understood;
}

TBytes TRotorSim::Poll(double NowMs) {
    MoveTo(NowMs);
    if (FReader.Pending() && NowMs - FLastRxMs >= kFrameGapMs)
        for (const TReceived& Received : FReader.Drop())
            Handle(Received, NowMs);
    const TFaults& Faults = FSettings.Faults;
    if (Faults.GarbageCount && NowMs >= FNextGarbageMs) {
        TBytes Garbage;
        for (size_t Index = 0; Index < *Faults.GarbageCount; ++Index)
            Garbage.push_back(static_cast<uint8_t>(0xA0 + FGarbageSerial++ % 16));
        Queue(std::move(Garbage), "GARBAGE", NowMs);
        FNextGarbageMs = NowMs + Faults.GarbagePeriodMs;
    }
    TBytes Due;
    while (!FOutgoing.empty()) {
        TOutgoing& Next = FOutgoing.front();
        if (ByteDueMs(Next) > NowMs)
            break;
        if (Next.Sent == 0)
            Write(NowMs, "tx " + Next.Label + (Next.Bytes.empty() ? "" : " " + HexBytes(Next.Bytes)));
        while (Next.Sent < Next.Bytes.size() && ByteDueMs(Next) <= NowMs)
            Due.push_back(Next.Bytes[Next.Sent++]);
        if (Next.Sent < Next.Bytes.size())
            break;
        FOutgoing.pop_front();
    }
    return Due;
}

std::optional<double> TRotorSim::NextWakeMs() const {
    std::optional<double> Wake;
    const auto Consider = [&Wake](double Ms) { Wake = Wake ? std::min(*Wake, Ms) : Ms; };
    if (!FOutgoing.empty())
        Consider(ByteDueMs(FOutgoing.front()));
    if (FSettings.Faults.GarbageCount)
        Consider(FNextGarbageMs);
    if (FReader.Pending())
        Consider(FLastRxMs + kFrameGapMs);
    if (FRotor.Moving())
        Consider(FMotionMs + FRotor.SecondsToTarget() * 1000.0);
    return Wake;
}

TSimOptions ParseSimOptions(const std::vector<std::string>& Args) {
    TSimOptions Options;
    const auto Fail = [](const std::string& Message) { throw std::invalid_argument(Message); };
    size_t Index = 0;
    // The words of an option and its Count values, as a setting would read them.
    const auto Take = [&](size_t Count) {
        if (Index + Count >= Args.size())
            Fail(Args[Index] + " needs " + std::to_string(Count) + " value(s)");
        std::vector<std::string> Words(Args.begin() + static_cast<std::ptrdiff_t>(Index),
                                       Args.begin() + static_cast<std::ptrdiff_t>(Index + Count + 1));
        Index += Count;
        return Words;
    };
    const auto Setting = [&](std::vector<std::string> Words) {
        const std::string Text = Words[0];
        Words[0] = Words[0].substr(2);
        if (!ApplySetting(Words, Options.Settings))
            Fail("bad value for " + Text);
    };
    for (; Index < Args.size(); ++Index) {
        const std::string& Arg = Args[Index];
        if (Arg == "--help") {
            Options.Help = true;
        } else if (Arg == "--link") {
            Options.Link = Take(1)[1];
        } else if (Arg == "--device") {
            Options.Device = Take(1)[1];
        } else if (Arg == "--tcp") {
            const auto Port = Argument<unsigned>(Take(1), 1, 0, 65535);
            if (!Port)
                Fail("bad value for --tcp");
            Options.TcpPort = static_cast<uint16_t>(*Port);
        } else if (Arg == "--address") {
            Options.Address = Take(1)[1];
        } else if (Arg == "--control") {
            Options.Control = Take(1)[1];
        } else if (Arg == "--log") {
            Options.Log = Take(1)[1];
        } else if (Arg == "--position" || Arg == "--rate") {
            Setting(Take(2));
        } else if (Arg == "--divider" || Arg == "--delay" || Arg == "--range" || Arg == "--elevation-range" ||
                   Arg == "--baud" || Arg == "--answer-set") {
            Setting(Take(1));
        } else if (Arg == "--pace") {
            Options.Settings.Pace = true;
        } else if (Arg == "--fault") {
            std::vector<std::string> Words = SplitWords(Take(1)[1]);
            Words.insert(Words.begin(), "fault");
            if (!ApplySetting(Words, Options.Settings))
                Fail("bad fault: " + Args[Index]);
        } else if (Arg == "--") {
            Options.Command.assign(Args.begin() + static_cast<std::ptrdiff_t>(Index + 1), Args.end());
            break;
        } else {
            Fail("unknown option: " + Arg);
        }
    }
    if ((!Options.Link.empty()) + (!Options.Device.empty()) + Options.TcpPort.has_value() > 1)
        Fail("--link, --device and --tcp exclude each other");
    return Options;
}
