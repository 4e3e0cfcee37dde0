#include "main/RotorExchange.h"

#include <algorithm>
#include <utility>

void TRotorExchange::SendRotorCommand(int Command, double Azimuth, double Elevation) {
    if (!FPort.Connected())
        return;
    switch (Command) {
        case rcStop:
            LastAzimuth = kForceSet;
            Exchange(StopFrame, kStopText);
            break;
        case rcState:
            Exchange(StateFrame, kStateText);
            break;
        case rcSet:
            FLink.ShowLastCommand(SetCommandText(Azimuth, Elevation));
            FillSetFrame(FSetFrame, Azimuth, Elevation, Divider);
            LastAzimuth = Azimuth;
            LastElevation = Elevation;
            // No wait: an answer to SET is read and dropped by CPRxChar.
            FPort.Write(FrameBytes(FSetFrame));
            FPasses.SetSent();
            break;
        default:
            break;
    }
}

void TRotorExchange::Exchange(const TRotorFrame& Frame, const char* Text) {
    FLink.ShowLastCommand(Text);
    // What the controller still had to say (the rest of a stalled reply, a
    // late answer to SET) is no part of this reply.
    FPort.DropInput();
    ReplyText.clear();
    FSkipped = 0;
    AwaitedBytes = kReplySize;
    TransmissionError = false;
    FLink.EnableTimeOut(true);
    FPort.Write(FrameBytes(Frame));
    WaitForExchange();
    // A port closed during the wait (given up as gone) shows "Closed" alone.
    if (!FLink.PortWanted() || !FPort.Connected())
        return;
    FLink.ShowTransmissionError(TransmissionError);
    if (!TransmissionError)
        ShowReply();
    CountFailure(TransmissionError);
}

void TRotorExchange::CountFailure(bool Failed) {
    if (Failed) {
        FPasses.ExchangeFailed();
        if (FFailedExchanges++ == 0)
            FLink.TransmissionErrorBegan();
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
    const auto State =
        DecodeReply(ReplyText, FSettings.AzimuthOffset, FSettings.ElevationOffset);  // checked as it came
    if (!State)
        return;
    Divider = State->Divider;
    RotorState = State;
    FPointing.RotorReported(State->RotorAzimuth, State->Elevation, FLink.NowMs());
    FPasses.RotorReported({State->RotorAzimuth, State->Elevation}, FLink.NowMs());
    FLink.ShowRotorState(*State);
}

void TRotorExchange::TimerTimer(const TSatData& Target, bool AsPose) {
    int Step = CycleStep++;
    if (FStopWanted && AwaitedBytes == 0) {
        FStopWanted = false;
        SendRotorCommand(rcStop);
    } else if (Step == 0) {
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
    const std::optional<TPose> Sky =
        FPointing.SetPoint(FSettings, {Target.Azimuth, Target.Elevation, FLink.NowMs(), CycleMs, Divider, AsPose});
    if (!Sky)
        return;  // resting between passes
    const TPose Pose = RotorPose(FSettings, *Sky);
    const bool Moved =
        LastAzimuth != Pose.Azimuth || LastElevation != (ComparesTheLine() ? Target.Elevation : Pose.Elevation);
    if (!Moved || !FPointing.WorthSending(FSettings, *Sky))
        return;
    SendRotorCommand(rcSet, Pose.Azimuth, Pose.Elevation);
    FPointing.Sent(*Sky);
    FSetFor = Target.SatName;
}

bool TRotorExchange::ComparesTheLine() const {
    // Where the set point's elevation is the line's own, limited to the
    // horizon, the line's own is compared: below the horizon a SET goes out
    // every cycle, as it always did. Every other choice compares what it sends.
    return FSettings.ElevationRange == er90 && !FSettings.PointAhead && FSettings.ElevationOffset == 0 &&
           FSettings.HorizonMask.Flat0() && FSettings.BetweenPasses == bpFollow;
}

bool TRotorExchange::SequenceKnown() const {
    return SequenceIndex >= 0 && SequenceIndex < static_cast<int>(std::size(kSequences));
}

void TRotorExchange::TimeOutTimer() {
    TransmissionError = true;
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
    while (Count >= AwaitedBytes) {
        ReplyText += FPort.Read(AwaitedBytes);
        Count -= AwaitedBytes;
        const bool Complete = IsReply(ReplyText);
        if (!Complete && SkipToNextReply()) {
            AwaitedBytes = static_cast<int>(kReplySize - ReplyText.size());
            continue;
        }
        if (!Complete)
            TimeOutTimer();  // bytes that are no reply: failed, as if none had come
        // Bytes beyond the reply came with it; left waiting, they would be
        // read as the start of the next reply and shift every later one.
        if (Count > 0)
            FPort.Read(Count);
        AwaitedBytes = 0;
        return;
    }
    FLink.EnableTimeOut(true);  // a full second again from this byte
}

bool TRotorExchange::SkipToNextReply() {
    // A late answer to SET can straddle the frame: its rest arrives first.
    // What comes before the next "W" is dropped, up to a reply's length.
    const size_t Next = ReplyText.find('W', 1);
    const size_t Skip = Next == std::string::npos ? ReplyText.size() : Next;
    FSkipped += static_cast<int>(Skip);
    if (Next == std::string::npos || FSkipped >= static_cast<int>(kReplySize))
        return false;
    ReplyText.erase(0, Skip);
    return true;
}

void TRotorExchange::CPAfterOpen() {
    FLink.ShowTransmissionError(false);
    FFailedExchanges = 0;
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
