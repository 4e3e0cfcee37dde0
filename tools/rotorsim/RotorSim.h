#pragma once
// The simulated rotator controller, free of any device: bytes from the line
// and control lines go in with the time they arrived, the bytes for the line
// come out when they are due, and every event goes to the log. The program
// around it (RotorSimMain.cpp) only moves bytes between this and a terminal.
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "RotorMotion.h"
#include "RotorProtocol.h"

// One byte on the line: start bit, eight data bits, stop bit.
inline double ByteMs(unsigned Baud) {
    return 10.0 * 1000.0 / Baud;
}
// No sender pauses this long inside a frame: what came before is dropped.
inline constexpr double kFrameGapMs = 1000.0;

// Misbehaviour on demand. Faults combine: extra bytes are appended first,
// the stall then cuts the reply, the split then divides what is left.
struct TFaults {
    bool Silent = false;            // STOP and STATE get no reply
    bool Scrambled = false;         // STOP and STATE get 12 bytes that are no reply
    std::optional<size_t> SplitAt;  // reply sent as [0, SplitAt) and, SplitPauseMs later, the rest
    double SplitPauseMs = 0;
    std::optional<size_t> StallAfter;    // only this many bytes of each reply are sent
    size_t Extra = 0;                    // bytes appended to each reply
    std::optional<size_t> GarbageCount;  // unsolicited bytes sent every GarbagePeriodMs
    double GarbagePeriodMs = 0;
};

// How far an axis turns between its end stops; none: as far as a reply can
// carry.
struct TStops {
    double Lowest, Highest;
};

struct TSimSettings {
    TAngles Start;
    std::optional<TStops> Stops;           // azimuth
    std::optional<TStops> ElevationStops;  // 0-180: a rotor that turns over the top
    TSlewRates Rates;
    int Divider = 1;
    unsigned Baud = 600;  // the controller's line speed: a frame at another is not understood
    bool Pace = false;    // send at Baud instead of all at once
    double DelayMs = 0;   // from a frame to the first byte of its reply
    // A newer controller answers SET too, with its position, this much later.
    std::optional<double> SetAnswerMs;
    TFaults Faults;
};

class TRotorSim {
public:
    using TLog = std::function<void(const std::string& Line)>;

    TRotorSim(const TSimSettings& Settings, TLog Log, double NowMs);

    void Receive(std::span<const uint8_t> Bytes, double NowMs);
    // Applies a control line (see kSimUsage); false, and a log line, when it
    // is not understood.
    bool Control(std::string_view Line, double NowMs);
    // Moves the rotor on to NowMs and returns the bytes due on the line by
    // then, in order.
    TBytes Poll(double NowMs);
    // When Poll next has something to do; none while all stands still.
    std::optional<double> NextWakeMs() const;

    // Another party on the line (a TCP client came or went): a frame half
    // received and replies still due belong to the one before. Logs Event.
    void LineChanged(const std::string& Event, double NowMs);
    // The speed the terminal was set to (by the program at its other end).
    void LineSpeed(unsigned Baud, double NowMs);
    // Logs an event of the program around the simulator.
    void Note(const std::string& Event, double NowMs) const { Write(NowMs, Event); }

    bool QuitRequested() const { return FQuit; }
    const TRotor& Rotor() const { return FRotor; }
    const TSimSettings& Settings() const { return FSettings; }

private:
    struct TOutgoing {
        double StartMs;
        TBytes Bytes;
        std::string Label;
        size_t Sent = 0;
    };

    void Write(double NowMs, const std::string& Text) const;
    void MoveTo(double NowMs);
    void Answer(TCommand Command, double NowMs, double DelayMs);
    void Queue(TBytes Bytes, std::string Label, double EarliestMs);
    double ByteDueMs(const TOutgoing& Outgoing) const;
    void Handle(const TReceived& Received, double NowMs);

    TSimSettings FSettings;
    TLog FLog;
    TRotor FRotor;
    TFrameReader FReader;
    std::deque<TOutgoing> FOutgoing;
    double FMotionMs;
    double FLastRxMs;
    double FLineFreeMs;
    double FNextGarbageMs;
    unsigned FGarbageSerial = 0;
    unsigned FLineBaud = 0;  // as last seen; 0: not known (TCP)
    bool FQuit = false;
};

// Applies a setting given as words ("divider 2", "fault stall 5", ...): the
// part of the control language that the command line shares. False when the
// words are not understood; Settings is then unchanged.
bool ApplySetting(const std::vector<std::string>& Words, TSimSettings& Settings);

struct TSimOptions {
    TSimSettings Settings;
    std::string Link;                   // symlink to the pseudo-terminal made
    std::string Device;                 // existing terminal to use instead
    std::optional<uint16_t> TcpPort;    // listen on TCP instead, one client at a time; 0: any free port
    std::string Address = "127.0.0.1";  // where it listens
    std::string Control;                // control FIFO
    std::string Log;                    // log file; empty: standard error
    std::vector<std::string> Command;   // run while the simulator runs
    bool Help = false;
};

// Parses the arguments behind the program name. Raises
// std::invalid_argument with a message for the user.
TSimOptions ParseSimOptions(const std::vector<std::string>& Args);

extern const char kSimUsage[];
