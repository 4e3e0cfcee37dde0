#pragma once
// The conversation with the rotator controller: a 500 ms cycle timer steps
// through a sequence (STATE and its reply, SET when the target moved, idle
// steps); a time-out timer bounds the wait for a reply.
//
// Everything runs on the main thread. A wait for a reply keeps handing
// window messages to their handlers, so timer ticks, serial events and user
// clicks re-enter this class; AwaitedBytes keeps the re-entries orderly.
#include <functional>
#include <optional>
#include <string>

#include "main/PassReport.h"
#include "main/Pointing.h"
#include "main/RotorFrames.h"
#include "main/RotorPort.h"
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
    // A run of failed exchanges (no reply, a stalled or short one) begins,
    // and ends with a reply after FailedExchanges of them.
    virtual void TransmissionErrorBegan() = 0;
    virtual void TransmissionErrorEnded(int FailedExchanges) = 0;
    // A satellite of the tracking lines has set (or another was named).
    virtual void PassEnded(const TPassReport& Pass) = 0;
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
        : FPort(Port), FLink(Link), FSettings(Settings) {}

    // Unknown codes do nothing. STOP and STATE return when the exchange has
    // ended (reply read or time-out). Raises what the port's write raises.
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

    int AwaitedBytes = 0;
    bool TransmissionError = false;
    std::string ReplyText;
    double LastAzimuth = 0;
    double LastElevation = 0;
    int Divider = 1;
    int CycleStep = 0;
    int SequenceIndex = 0;
    // The latest reply's rotor state; none before the first reply after the
    // port opened and while it is closed.
    std::optional<TRotorState> RotorState;

private:
    void Exchange(const TRotorFrame& Frame, const char* Text);
    void ShowReply();
    // The bytes read are no reply: true when a reply may still begin
    // within them (they are cut to it), false when the exchange has failed.
    bool SkipToNextReply();
    void CountFailure(bool Failed);
    void SetStep(const TSatData& Target, bool AsPose);
    bool ComparesTheLine() const;
    bool SequenceKnown() const;

    TRotorPort& FPort;
    TRotorLink& FLink;
    const TSettings& FSettings;
    TRotorFrame FSetFrame = SetFrameTemplate;
    TPointing FPointing;
    TPassRecorder FPasses;
    std::string FSetFor;       // the satellite the last SET was for
    int FFailedExchanges = 0;  // in a row, since the port opened
    bool FStopWanted = false;
    int FSkipped = 0;  // bytes of this exchange that were no part of its reply
};
