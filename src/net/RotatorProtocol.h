#pragma once
// The text protocol of Hamlib's rotator daemon, as its network client and
// the trackers that drive rotators over TCP speak it: one command per line,
// a short name ("p") or a long one ("\get_pos") with its arguments apart by
// blanks. Values are answered one per line; a command without values, and
// every failure, by "RPRT n" with 0 or a negative error code. A punctuation
// mark before the command asks for the extended form: the command's long
// name and arguments first, each value as "Key: value", "RPRT n" last, the
// records ending with a newline ("+") or that mark (all on one line).
// No Windows call here.
#include <optional>
#include <string>
#include <string_view>

// Hamlib's error codes, as the protocol carries them.
enum TRotatorStatus : int {
    rsOk = 0,
    rsInvalid = -1,         // bad arguments, a set point outside the limits
    rsConfiguration = -2,   // a stored choice that cannot be carried out (a park position out of range)
    rsNotImplemented = -4,  // a command this rotator does not know
    rsIo = -6,              // the rotor cannot be reached: port closed, no reply yet
    rsProtocol = -8,        // a line too long to be a command
};

struct TRotatorPosition {
    double Azimuth = 0, Elevation = 0;  // degrees
};

struct TRotatorLimits {
    double MinAzimuth = 0, MaxAzimuth = 360, MinElevation = 0, MaxElevation = 90;
};

// What the protocol asks of the rotator. Calls never raise. Main thread only.
class TRotatorHandler {
public:
    virtual ~TRotatorHandler() = default;
    // The rotor's position, none while it is not known.
    virtual std::optional<TRotatorPosition> Position() = 0;
    // Called only with a position inside Limits().
    virtual TRotatorStatus SetPosition(const TRotatorPosition& Target) = 0;
    virtual TRotatorStatus Stop() = 0;
    virtual TRotatorStatus Park() = 0;
    virtual TRotatorLimits Limits() = 0;
    virtual std::string Info() = 0;  // one line: what answers
};

struct TRotatorAnswer {
    std::string Text;   // every line of the answer, each ending in "\n"; empty for a blank line
    bool Quit = false;  // "q" or "Q": the client is done and is to be disconnected
};

// The answer to one line, given without its line end.
TRotatorAnswer AnswerLine(std::string_view Line, TRotatorHandler& Rotator);

// The answer to a line longer than a command can be.
std::string LineTooLongAnswer();
