#pragma once
// The conversation with the rotor: a 500 ms cycle timer steps through a
// sequence (STATE and its answer, SET when the target moved, idle steps); a
// time-out timer bounds the wait for an answer. What the rotor speaks (the
// controller's frames, Hamlib's daemon) is its protocol's business; the
// cycle is the same for every rotor.
//
// Everything runs on the main thread. A wait for an answer keeps handing
// window messages to their handlers, so timer ticks, serial events and user
// clicks re-enter this class; AwaitedBytes keeps the re-entries orderly.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "main/PassReport.h"
#include "main/Pointing.h"
#include "main/RotorFrames.h"
#include "main/RotorPort.h"
#include "main/RotorProtocol.h"
#include "main/SatData.h"
#include "main/Settings.h"

// What the exchange needs of the window. Main thread only.
class TRotorLink {
public:
    virtual ~TRotorLink() = default;
    virtual void EnableCycleTimer(bool Enabled) = 0;
    virtual void EnableTimeOut(bool Enabled) = 0;  // enabling restarts the interval
    // Handles window messages until Done() holds, blocking while none is waiting.
    virtual void WaitUntil(const std::function<bool()>& Done) = 0;
    virtual double NowMs() = 0;     // a steady clock, milliseconds from any origin
    virtual bool PortWanted() = 0;  // the "Open port" button is down
    virtual bool WindowVisible() = 0;
    virtual void ShowLastCommand(const std::string& Text) = 0;
    virtual void ShowTransmissionError(bool Visible) = 0;
    virtual void ShowPortState(const std::string& Text) = 0;
    virtual void ShowRotorState(const TRotorState& State) = 0;
    // A run of failed exchanges (no reply, a stalled or short one, a set
    // point refused) begins, Why the first one failed (empty: no answer at
    // all); and it ends with an answer after FailedExchanges of them.
    virtual void TransmissionErrorBegan(const std::string& Why) = 0;
    virtual void TransmissionErrorEnded(int FailedExchanges) = 0;
    // A satellite of the tracking lines has set (or another was named).
    virtual void PassEnded(const TPassReport& Pass) = 0;
    // What a rotor that can tell its limits told after connecting; none: nothing usable.
    virtual void LimitsLearnt(const std::optional<TRotatorLimits>& Limits) = 0;
};

enum TRotorCommand { rcStop = 1, rcState = 2, rcSet = 3 };

struct TTimingSequence {
    const char* Name;  // the item text of the sequence selector
    int Steps;         // 500 ms ticks per cycle
};
inline constexpr TTimingSequence kSequences[] = {{"G-500, S-2500", 6}, {"G-500, S-1000", 3}};

inline constexpr int kCycleInterval = 500;  // ms
inline constexpr int kReplyTimeOut = 1000;  // ms, from the frame or the last byte
inline constexpr double kForceSet = 999;    // as LastAzimuth: the next SET step sends

class TRotorExchange {
public:
    // Settings are the user's choices, read at every SET step; not owned.
    TRotorExchange(TRotorPort& Port, TRotorLink& Link, const TSettings& Settings)
        : FPort(Port), FLink(Link), FSettings(Settings), FProtocol(RotorProtocolFor("")) {}

    // What the rotor speaks from now on (the frames until then). Call it
    // while the port is closed.
    void Speak(std::unique_ptr<TRotorProtocol> Protocol) { FProtocol = std::move(Protocol); }

    // Unknown codes do nothing. Every command that is answered (STOP and
    // STATE; SET too where the protocol answers it) returns when the
    // exchange has ended (answer read or time-out). Raises what the port's
    // write raises.
    void SendRotorCommand(int Command, double Azimuth = 0, double Elevation = 0);
    // Waits, handling messages, until no exchange is under way.
    void WaitForExchange();

    // A new target arrived (a tracking line's or a network client's, with
    // the clock's time of its arrival): the track that the set point
    // follows, and the passes that are reported.
    void TargetArrived(const TSatData& Target, bool FromNetwork, double Ms);
    // The choices that shape the set point changed: the next SET step sends it.
    void ChoicesChanged() { LastAzimuth = kForceSet; }

    // AsPose: the target's angles are the pose to take (a park position).
    void TimerTimer(const TSatData& Target, bool AsPose = false);
    void TimeOutTimer();
    void CPRxChar(int Count);
    void CPAfterOpen();
    void CPAfterClose();

    // STOP at the next tick that finds no exchange under way, in place of
    // what that tick would send; nothing while the port is closed.
    void RequestStop() { FStopWanted = FPort.Connected(); }

    int AwaitedBytes = 0;  // at least, while an answer is awaited
    bool TransmissionError = false;
    std::string ReplyText;  // what came since the request
    double LastAzimuth = 0;
    double LastElevation = 0;
    int Divider = 1;
    int CycleStep = 0;
    int SequenceIndex = 0;
    // The latest reply's rotor state; none before the first reply after the
    // port opened and while it is closed.
    std::optional<TRotorState> RotorState;
    // What the rotor told of its limits since the port opened.
    std::optional<TRotatorLimits> RotorLimits;

private:
    void Exchange(TRotorRequest Request, double Azimuth = 0, double Elevation = 0);
    // Sends Request and waits for its answer; false when the port was
    // closed or released meanwhile.
    bool Await(TRotorRequest Request, const std::string& Bytes);
    void AskLimits();
    void Fail(const std::string& Why);
    void ShowReply();
    void CountFailure(bool Failed);
    void SetStep(const TSatData& Target, bool AsPose);
    bool ComparesTheLine() const;
    bool SequenceKnown() const;

    TRotorPort& FPort;
    TRotorLink& FLink;
    const TSettings& FSettings;
    std::unique_ptr<TRotorProtocol> FProtocol;
    TRotorRequest FRequest = rqState;  // the one answered last, or awaited
    TRotorAnswer FAnswer;              // its answer
    std::string FWhy;                  // why the last exchange failed
    bool FLimitsAsked = false;         // since the port opened
    bool FSetRefused = false;          // the last SET was: it goes again
    TPointing FPointing;
    TPassRecorder FPasses;
    std::string FSetFor;       // the satellite the last SET was for
    int FFailedExchanges = 0;  // in a row, since the port opened
    bool FStopWanted = false;
};
