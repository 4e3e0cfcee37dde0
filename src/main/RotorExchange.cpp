#include "main/RotorExchange.h"

#include <algorithm>
#include <utility>

#include "main/RotorLimits.h"

void TRotorExchange::SendRotorCommand(int Command, double Azimuth, double Elevation) {
    if (!FPort.Connected())
        return;
    switch (Command) {
        case rcStop:
            LastAzimuth = kForceSet;
            FLink.ShowLastCommand(kStopText);
            Exchange(rqStop);
            break;
        case rcState:
            FLink.ShowLastCommand(kStateText);
            Exchange(rqState);
            break;
        case rcSet:
            FLink.ShowLastCommand(SetCommandText(Azimuth, Elevation));
            LastAzimuth = Azimuth;
            LastElevation = Elevation;
            Exchange(rqSet, Azimuth, Elevation);
            FPasses.SetSent();
            break;
        default:
            break;
    }
}

void TRotorExchange::Exchange(TRotorRequest Request, double Azimuth, double Elevation) {
    const std::string Bytes = FProtocol->Request(Request, Azimuth, Elevation, Divider);
    if (!FProtocol->Answered(Request)) {
        FPort.Write(Bytes);  // no wait: what comes in answer is read and dropped by CPRxChar
        return;
    }
    if (!Await(Request, Bytes))
        return;
    if (Request == rqSet) {
        // A set point the rotor refused goes again at the next SET step.
        FSetRefused = TransmissionError;
        if (FSetRefused)
            LastAzimuth = kForceSet;
    } else if (!TransmissionError) {
        ShowReply();
    }
    const bool Failed = TransmissionError || FSetRefused;
    FLink.ShowTransmissionError(Failed);
    CountFailure(Failed);
}

bool TRotorExchange::Await(TRotorRequest Request, const std::string& Bytes) {
    // What the rotor still had to say (the rest of a stalled reply, a late
    // answer) is no part of this answer.
    FPort.DropInput();
    ReplyText.clear();
    FRequest = Request;
    FAnswer = {};
    AwaitedBytes = FProtocol->Scan(Request, "").Needed;
    TransmissionError = false;
    FLink.EnableTimeOut(true);
    FPort.Write(Bytes);
    WaitForExchange();
    // A port closed during the wait (given up as gone) shows "Closed" alone.
    return FLink.PortWanted() && FPort.Connected();
}

void TRotorExchange::AskLimits() {
    FLimitsAsked = true;
    if (!Await(rqLimits, FProtocol->Request(rqLimits)))
        return;
    RotorLimits = FAnswer.Limits;
    FLink.LimitsLearnt(RotorLimits);
}

void TRotorExchange::CountFailure(bool Failed) {
    if (Failed) {
        FPasses.ExchangeFailed();
        if (FFailedExchanges++ == 0)
            FLink.TransmissionErrorBegan(FWhy);
        return;
    }
    if (FFailedExchanges == 0)
        return;
    FLink.TransmissionErrorEnded(std::exchange(FFailedExchanges, 0));
    // A controller that was off has lost its set point: a station that
    // nobody watches sends it again, though the target has not moved.
    if (FSettings.Unattended)
        LastAzimuth = kForceSet;
}

void TRotorExchange::WaitForExchange() {
    FLink.WaitUntil([this] { return AwaitedBytes <= 0; });
}

void TRotorExchange::ShowReply() {
    if (!FAnswer.Reading)
        return;  // an answer that tells no position
    const TRotorState State = RotorStateOf(*FAnswer.Reading, FSettings.AzimuthOffset, FSettings.ElevationOffset);
    if (State.Divider)
        Divider = *State.Divider;
    RotorState = State;
    FPointing.RotorReported(State.RotorAzimuth, State.Elevation, FLink.NowMs());
    FPasses.RotorReported({State.RotorAzimuth, State.Elevation}, FLink.NowMs());
    FLink.ShowRotorState(State);
}

void TRotorExchange::TimerTimer(const TSatData& Target, bool AsPose) {
    int Step = CycleStep++;
    if (FStopWanted && AwaitedBytes == 0) {
        FStopWanted = false;
        SendRotorCommand(rcStop);
    } else if (Step == 0 && FRequest == rqSet && AwaitedBytes > 0) {
        CycleStep = 0;  // the answer to SET is still awaited: STATE at the next tick, never amid it
    } else if (Step == 0) {
        if (FProtocol->AsksLimits() && !FLimitsAsked)
            AskLimits();
        SendRotorCommand(rcState);
    } else if (Step == 1) {
        if (AwaitedBytes != 0) {
            CycleStep = 1;  // a STATE wait is still under way: try SET at the next tick
        } else if (Target.SatName != "?" && IsDirection(Target.Azimuth, Target.Elevation)) {
            // Angles that are no direction (EL1e300) move nothing: the last set point holds.
            SetStep(Target, AsPose);
        }
    }
    if (SequenceKnown() && CycleStep >= kSequences[SequenceIndex].Steps)
        CycleStep = 0;
}

void TRotorExchange::TargetArrived(const TSatData& Target, bool FromNetwork, double Ms) {
    FPointing.TargetArrived(Target.Azimuth, Target.Elevation, Ms, FromNetwork);
    if (FromNetwork)
        return;  // a network client's targets make no pass
    const bool Up = Target.Elevation >= FSettings.HorizonMask.At(Target.Azimuth);
    if (auto Pass = FPasses.LineArrived(Target.SatName, {Target.Azimuth, Target.Elevation}, Up, Ms))
        FLink.PassEnded(*Pass);
}

void TRotorExchange::SetStep(const TSatData& Target, bool AsPose) {
    if (LastAzimuth == kForceSet || Target.SatName != FSetFor)
        FPointing.Restart();
    const double CycleMs = SequenceKnown() ? kSequences[SequenceIndex].Steps * kCycleInterval : kCycleInterval;
    const TSettings& Chosen = RotorLimits ? WithinLimits(FSettings, *RotorLimits) : FSettings;
    const std::optional<TPose> Sky =
        FPointing.SetPoint(Chosen, {Target.Azimuth, Target.Elevation, FLink.NowMs(), CycleMs, Divider, AsPose});
    if (!Sky)
        return;  // resting between passes
    TPose Pose = RotorPose(Chosen, *Sky);
    if (RotorLimits)
        Pose = HeldWithin(Pose, *RotorLimits);
    const bool Moved =
        LastAzimuth != Pose.Azimuth || LastElevation != (ComparesTheLine() ? Target.Elevation : Pose.Elevation);
    if (!Moved || !FPointing.WorthSending(Chosen, *Sky))
        return;
    SendRotorCommand(rcSet, Pose.Azimuth, Pose.Elevation);
    FPointing.Sent(*Sky);
    FSetFor = Target.SatName;
}

bool TRotorExchange::ComparesTheLine() const {
    // Where the set point's elevation is the line's own, limited to the
    // horizon, the line's own is compared: below the horizon a SET goes out
    // every cycle, as it always did, where a SET costs no wait. Every other
    // choice compares what it sends.
    return !FProtocol->Answered(rqSet) && FSettings.ElevationRange == er90 && !FSettings.PointAhead &&
           FSettings.ElevationOffset == 0 && FSettings.HorizonMask.Flat0() && FSettings.BetweenPasses == bpFollow;
}

bool TRotorExchange::SequenceKnown() const {
    return SequenceIndex >= 0 && SequenceIndex < static_cast<int>(std::size(kSequences));
}

void TRotorExchange::TimeOutTimer() {
    Fail("");
}

void TRotorExchange::Fail(const std::string& Why) {
    TransmissionError = true;
    FWhy = Why;
    AwaitedBytes = 0;
    FLink.EnableTimeOut(false);
    ReplyText.clear();
}

void TRotorExchange::CPRxChar(int Count) {
    FLink.EnableTimeOut(false);
    if (AwaitedBytes <= 0) {
        FPort.Read(Count);
        return;
    }
    // Everything waiting is taken: bytes beyond the answer came with it, and
    // left waiting they would be read as the start of the next one.
    ReplyText += FPort.Read(Count);
    FAnswer = FProtocol->Scan(FRequest, ReplyText);
    switch (FAnswer.Kind) {
        case TRotorAnswer::akMore:
            AwaitedBytes = FAnswer.Needed;
            FLink.EnableTimeOut(true);  // a full second again from this byte
            return;
        case TRotorAnswer::akDone:
            AwaitedBytes = 0;
            return;
        case TRotorAnswer::akFailed:
            Fail(FAnswer.Why);  // no answer: as if none had come
            return;
    }
}

void TRotorExchange::CPAfterOpen() {
    FLink.ShowTransmissionError(false);
    FFailedExchanges = 0;
    FSetRefused = false;
    FLimitsAsked = false;
    RotorLimits.reset();
    CycleStep = 0;
    LastAzimuth = kForceSet;
    FLink.ShowPortState("Opened");
    FLink.EnableCycleTimer(true);
}

void TRotorExchange::CPAfterClose() {
    FLink.EnableCycleTimer(false);
    RotorState.reset();
    FStopWanted = false;
    if (FLink.WindowVisible())
        FLink.ShowTransmissionError(false);
    FLink.ShowLastCommand("");
    FLink.ShowPortState("Closed");
}
