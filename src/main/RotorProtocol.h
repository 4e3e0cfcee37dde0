#pragma once
// What the rotor speaks: how the cycle's requests become bytes on the line
// and how the bytes that come back are recognised as their answer and
// decoded. The frames of the controller family (FrameProtocol.h) or the
// lines of Hamlib's rotator daemon (RotctldProtocol.h); the cycle itself
// (timers, steps, waits, the set point's choice, recovery) is the same for
// every rotor (RotorExchange.h), and so is the line that carries the bytes
// (RotorPort.h). No Windows call here.
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "main/RotorFrames.h"
#include "net/RotatorProtocol.h"

enum TRotorRequest {
    rqStop,
    rqState,
    rqSet,
    rqLimits,  // once connected: what the rotor accepts, where it can tell
};

// What the bytes received since a request amount to.
struct TRotorAnswer {
    enum TKind { akMore, akDone, akFailed };
    TKind Kind = akMore;
    int Needed = 1;                        // more: bytes still to come, at least
    std::optional<TRotorReading> Reading;  // done: where the rotor stands, when the answer tells
    std::optional<TRotatorLimits> Limits;  // done, for rqLimits: none when the rotor tells none
    std::string Why;                       // failed: what was wrong, for the log; empty for no answer at all

    static TRotorAnswer More(int Needed) {
        TRotorAnswer Answer;
        Answer.Needed = Needed;
        return Answer;
    }
    static TRotorAnswer Done(std::optional<TRotorReading> Reading = std::nullopt) {
        TRotorAnswer Answer;
        Answer.Kind = akDone;
        Answer.Reading = Reading;
        return Answer;
    }
    static TRotorAnswer Failed(std::string Why = "") {
        TRotorAnswer Answer;
        Answer.Kind = akFailed;
        Answer.Why = std::move(Why);
        return Answer;
    }
};

class TRotorProtocol {
public:
    virtual ~TRotorProtocol() = default;

    // The bytes of a request; a SET's for a set point as the rotor counts it.
    virtual std::string Request(TRotorRequest Request, double Azimuth = 0, double Elevation = 0,
                                int Divider = 1) const = 0;
    // Whether an answer to Request is awaited. A protocol that asks no
    // limits never gets rqLimits.
    virtual bool Answered(TRotorRequest Request) const = 0;
    virtual bool AsksLimits() const { return false; }
    // What Received, every byte since Request went out, amounts to. Failed,
    // at the latest, once it is longer than any answer can be.
    virtual TRotorAnswer Scan(TRotorRequest Request, std::string_view Received) const = 0;
};

// What the rotor at Address speaks: "rotctld://HOST:PORT" (RotorAddress.h)
// Hamlib's daemon, anything else (a controller's HOST:PORT, empty for the
// COM port) the frames.
std::unique_ptr<TRotorProtocol> RotorProtocolFor(std::string_view Address);
