#include "main/Pointing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "main/RotorFrames.h"

namespace {

// A rotor farther than this from every candidate is still on its way to the
// pass; the room ahead then matters more than the way back.
constexpr double kNear = 90;
// Lines further apart than this belong to no common stretch of track.
constexpr double kTrackGapMs = 10000;
// The track's motion is taken over the last few seconds of lines: long
// enough that lines rounded to a tenth of a degree give a steady rate, short
// enough to follow the turn of a pass.
constexpr double kTrackWindowMs = 3000;
constexpr double kShortestSpanMs = 400;
// No satellite's track moves this fast on the sky (a low one moves about
// 2 degrees per second; a simulator may run a pass some ten times faster).
constexpr double kFastestSkyRate = 0.05;  // degrees per ms
// A line this far from where the track said it would be is another track.
constexpr double kJump = 2;
// When lines stop coming for three of their intervals (at least a second),
// the tracking program has stopped: its last line is not extrapolated.
constexpr double kOverdue = 3, kShortestOverdueMs = 1000;
// The travel that point-ahead allows for: a rotor farther away has other worries.
constexpr double kLongestTravelMs = 5000;
// A SET frame's 13 bytes at 600 baud: the rotor starts when it has them.
constexpr double kFrameMs = 13 * 10 * 1000.0 / 600;
// Until the rotor has shown its rates: those of common rotators, and for
// the way to a rise point, where arriving early costs nothing, slow ones.
constexpr double kAssumedAzimuthRate = 0.006, kAssumedElevationRate = 0.003;  // degrees per ms
constexpr double kSlowAzimuthRate = 0.001, kSlowElevationRate = 0.0005;
// A move shorter than this between two replies may have ended early: it
// tells nothing of the rotor's rate.
constexpr double kRateSample = 5;
// Above this elevation an azimuth that lags by up to 90 degrees costs at
// most half its angle on the sky.
constexpr double kHigh = 60;
// The climb towards the mask is fitted over this long: long enough that
// lines rounded to a tenth of a degree give a steady rate, short enough
// that a climb that quickens is not taken for a much slower one.
constexpr double kClimbWindowMs = 10000, kShortestClimbMs = 4000;
// Going to the rise point: the travel it takes at the rotor's rates, this
// many times over, and a SET step's wait and a few seconds besides.
constexpr double kRiseTravelMargin = 1.5, kRiseMarginMs = 5000;
// A rotor at the rise point moves again only for a better estimate that far
// off, and farther while the rise is still far: the estimate is rough then.
constexpr double kRiseSlack = 1, kRiseSlackPerMs = 1.0 / 30000;

using TVector = std::array<double, 3>;  // x east, y north, z up

double Radians(double Degrees) {
    return Degrees * std::numbers::pi / 180;
}

double Degrees(double Radians) {
    return Radians * 180 / std::numbers::pi;
}

// Also for a pose over the top: an elevation beyond 90 turns the horizontal part round.
TVector Direction(double Azimuth, double Elevation) {
    const double A = Radians(Azimuth), E = Radians(Elevation);
    return {std::cos(E) * std::sin(A), std::cos(E) * std::cos(A), std::sin(E)};
}

double Dot(const TVector& A, const TVector& B) {
    return A[0] * B[0] + A[1] * B[1] + A[2] * B[2];
}

TVector Cross(const TVector& A, const TVector& B) {
    return {A[1] * B[2] - A[2] * B[1], A[2] * B[0] - A[0] * B[2], A[0] * B[1] - A[1] * B[0]};
}

double Length(const TVector& A) {
    return std::sqrt(Dot(A, A));
}

double Angle(const TVector& A, const TVector& B) {
    return Degrees(std::atan2(Length(Cross(A, B)), Dot(A, B)));
}

// V turned by Degrees about the unit axis Axis.
TVector Turned(const TVector& V, const TVector& Axis, double Turn) {
    const double C = std::cos(Radians(Turn)), S = std::sin(Radians(Turn)), D = Dot(Axis, V) * (1 - C);
    const TVector Across = Cross(Axis, V);
    return {V[0] * C + Across[0] * S + Axis[0] * D, V[1] * C + Across[1] * S + Axis[1] * D,
            V[2] * C + Across[2] * S + Axis[2] * D};
}

double Wrapped(double Azimuth) {
    const double A = std::fmod(Azimuth, 360.0);
    return A < 0 ? A + 360 : A;
}

TPose PoseOf(const TVector& V) {
    return {Wrapped(Degrees(std::atan2(V[0], V[1]))), Degrees(std::asin(std::clamp(V[2], -1.0, 1.0)))};
}

// The elevation, 0 to 180, that looks closest to Target from Azimuth: the
// target's own below 90 when Azimuth is the target's, 180 minus it when
// Azimuth is opposite. Below the horizon, the horizon on Azimuth's side.
double ElevationFrom(double Azimuth, const TVector& Target) {
    const double Along = Target[0] * std::sin(Radians(Azimuth)) + Target[1] * std::cos(Radians(Azimuth));
    if (Target[2] <= 0)
        return Along >= 0 ? 0 : 180;
    return Degrees(std::atan2(Target[2], Along));
}

// Whether the rotor can take an azimuth on the sky, counting it Offset more.
bool Fits(double Angle, const TRotorRangeInfo& Range, int Divider, double Offset) {
    const double Counted = Angle + Offset, Value = (Counted + 360.0) * Divider;
    return Counted >= Range.Lowest && Counted <= Range.Highest && Value >= 0 && Value <= kMaxSetPoint;
}

// No pose looks below the mask: over the top the antenna looks half a turn
// round. The elevation stays inside its range as the rotor counts it.
TPose Held(const TSettings& Settings, TPose Pose) {
    const THorizonMask& Mask = Settings.HorizonMask;
    Pose.Elevation = Pose.Elevation <= 90 ? std::max(Pose.Elevation, Mask.At(Pose.Azimuth))
                                          : std::min(Pose.Elevation, 180 - Mask.At(Pose.Azimuth + 180));
    const TRotorRangeInfo& Range = kElevationRanges[Settings.ElevationRange];
    Pose.Elevation =
        std::clamp(Pose.Elevation, Range.Lowest - Settings.ElevationOffset, Range.Highest - Settings.ElevationOffset);
    return Pose;
}

double RoomAhead(double Angle, int Direction, const TRotorRangeInfo& Range) {
    return Direction > 0 ? Range.Highest - Angle : Angle - Range.Lowest;
}

}  // namespace

bool IsDirection(double Azimuth, double Elevation) {
    return std::isfinite(Azimuth) && std::isfinite(Elevation) && Elevation >= -90 && Elevation <= 90 &&
           Azimuth >= -360 && Azimuth <= 720;
}

double SkyAngle(TPose A, TPose B) {
    return Angle(Direction(A.Azimuth, A.Elevation), Direction(B.Azimuth, B.Elevation));
}

TPose RotorPose(const TSettings& Settings, TPose Sky) {
    return {Sky.Azimuth + Settings.AzimuthOffset, Sky.Elevation + Settings.ElevationOffset};
}

TPose SkyPose(const TSettings& Settings, TPose Rotor) {
    return {Rotor.Azimuth - Settings.AzimuthOffset, Rotor.Elevation - Settings.ElevationOffset};
}

bool ParkPossible(const TSettings& Settings) {
    const TSkyPosition& Park = Settings.ParkPosition;
    const TPose Rotor = RotorPose(Settings, {Park.Azimuth, Park.Elevation});
    const TRotorRangeInfo &Azimuth = kAzimuthRanges[Settings.AzimuthRange],
                          &Elevation = kElevationRanges[Settings.ElevationRange];
    return Park.Elevation >= 0 && Park.Elevation <= 90 && Rotor.Azimuth >= Azimuth.Lowest &&
           Rotor.Azimuth <= Azimuth.Highest && Rotor.Elevation >= Elevation.Lowest &&
           Rotor.Elevation <= Elevation.Highest;
}

double ChooseSetPoint(TAzimuthRange Range, double Target, const TSetPointHints& Hints) {
    const TRotorRangeInfo& Info = kAzimuthRanges[Range];
    if (Range == ar360) {
        const double Counted = Target + Hints.Offset;
        if (Target < Info.Lowest || Target > Info.Highest || (Counted >= Info.Lowest && Counted <= Info.Highest))
            return Target;
        return Counted > Info.Highest ? Target - 360 : Target + 360;
    }
    // Every range holds the first turn: a target beyond it still has a set point inside.
    Target = Wrapped(Target);
    std::vector<double> Candidates;
    for (double Angle : {Target - 360, Target, Target + 360})
        if (Fits(Angle, Info, Hints.Divider, Hints.Offset))
            Candidates.push_back(Angle);
    if (Candidates.empty())
        return Target;
    auto Best = [&](auto Score) {
        double Chosen = Candidates.front();
        for (double Angle : Candidates)
            if (Score(Angle) < Score(Chosen))
                Chosen = Angle;
        return Chosen;
    };
    auto Roomiest = [&] { return Best([&](double Angle) { return -RoomAhead(Angle, Hints.Direction, Info); }); };
    if (!Hints.RotorAzimuth)
        return Hints.Direction != 0 ? Roomiest() : Best([&](double Angle) { return std::fabs(Angle - Target); });
    const double Rotor = *Hints.RotorAzimuth;
    const double Nearest = Best([&](double Angle) { return std::fabs(Angle - Rotor); });
    if (Hints.Direction != 0 && (Hints.BeforeRise || std::fabs(Nearest - Rotor) > kNear))
        return Roomiest();
    return Nearest;
}

void TPointing::TargetArrived(double Azimuth, double Elevation, double Ms, bool FromNetwork) {
    if (!IsDirection(Azimuth, Elevation) || FromNetwork != FFromNetwork) {
        FTrack.clear();
        FClimb.clear();
        FRiseAim.reset();
    }
    FFromNetwork = FromNetwork;
    if (!IsDirection(Azimuth, Elevation))
        return;
    if (!FTrack.empty()) {
        const TLine& Last = FTrack.back();
        const double Gap = Ms - Last.Ms;
        const TVector Now = Direction(Azimuth, Elevation);
        const double Step = Angle(Direction(Last.Azimuth, Last.Elevation), Now);
        const auto Expected = FTrack.size() >= 2 && Gap > 0 ? Ahead(Last.Azimuth, Last.Elevation, Ms) : std::nullopt;
        const bool Jump = Gap <= 0 || Gap > kTrackGapMs || Step > kFastestSkyRate * Gap ||
                          (Expected && Angle(Direction(Expected->Azimuth, Expected->Elevation), Now) > kJump);
        if (Jump) {
            FTrack.clear();
            FClimb.clear();
            FRiseAim.reset();
        }
    }
    FTrack.push_back({Ms, Azimuth, Elevation});
    while (FTrack.size() > 2 && Ms - FTrack[1].Ms >= kTrackWindowMs)
        FTrack.pop_front();
    FClimb.push_back(FTrack.back());
    while (FClimb.size() > 2 && Ms - FClimb[1].Ms >= kClimbWindowMs)
        FClimb.pop_front();
}

std::optional<TPose> TPointing::Ahead(double Azimuth, double Elevation, double AtMs) const {
    if (FTrack.size() < 2)
        return std::nullopt;
    const TLine &First = FTrack.front(), &Last = FTrack.back();
    const double Span = Last.Ms - First.Ms;
    // Only the track's own target is extrapolated.
    if (Span < kShortestSpanMs || Last.Azimuth != Azimuth || Last.Elevation != Elevation)
        return std::nullopt;
    const TVector From = Direction(First.Azimuth, First.Elevation), To = Direction(Last.Azimuth, Last.Elevation);
    const TVector Axis = Cross(From, To);
    const double Size = Length(Axis);
    if (Size == 0)
        return PoseOf(To);
    const TVector Unit = {Axis[0] / Size, Axis[1] / Size, Axis[2] / Size};
    return PoseOf(Turned(To, Unit, Angle(From, To) / Span * (AtMs - Last.Ms)));
}

bool TPointing::LinesCome(double NowMs) const {
    if (FTrack.size() < 2)
        return false;
    const double Interval = (FTrack.back().Ms - FTrack.front().Ms) / static_cast<double>(FTrack.size() - 1);
    return NowMs - FTrack.back().Ms <= std::max(kShortestOverdueMs, kOverdue * Interval);
}

void TPointing::RotorReported(double Azimuth, double Elevation, double Ms) {
    const TReply Reply{Ms, {Azimuth, Elevation}};
    if (FRotor)
        LearnRates(*FRotor, Reply);
    FRotor = Reply;
}

void TPointing::LearnRates(const TReply& Earlier, const TReply& Later) {
    const double Span = Later.Ms - Earlier.Ms;
    if (Span <= 0)
        return;
    auto Learn = [Span](std::optional<double>& Rate, double Moved) {
        if (std::fabs(Moved) >= kRateSample)
            Rate = std::max(Rate.value_or(0), std::fabs(Moved) / Span);
    };
    Learn(FAzimuthRate, Later.Pose.Azimuth - Earlier.Pose.Azimuth);
    Learn(FElevationRate, Later.Pose.Elevation - Earlier.Pose.Elevation);
}

double TPointing::TravelMs(TPose From, TPose To, bool Cautious) const {
    return std::max(
        std::fabs(To.Azimuth - From.Azimuth) / FAzimuthRate.value_or(Cautious ? kSlowAzimuthRate : kAssumedAzimuthRate),
        std::fabs(To.Elevation - From.Elevation) /
            FElevationRate.value_or(Cautious ? kSlowElevationRate : kAssumedElevationRate));
}

void TPointing::Restart() {
    FSent.reset();
}

bool TPointing::WorthSending(const TSettings& Settings, TPose Pose) const {
    return Settings.Tolerance <= 0 || !FSent || SkyAngle(Pose, *FSent) > Settings.Tolerance;
}

void TPointing::Sent(TPose Pose) {
    FSent = Pose;
}

std::optional<TPose> TPointing::Reference() const {
    if (FSent)
        return FSent;
    if (FRotor)
        return FRotor->Pose;
    return std::nullopt;
}

std::optional<TPose> TPointing::SetPoint(const TSettings& Settings, const TPointingRequest& Request) {
    if (Request.Pose)
        return TPose{Request.Azimuth, Request.Elevation};
    if (FLastTarget && *FLastTarget != Request.Azimuth) {
        // The shorter way round: 359 to 1 turns up.
        const double Step = std::remainder(Request.Azimuth - *FLastTarget, 360.0);
        FDirection = Step > 0 ? 1 : Step < 0 ? -1 : FDirection;
    }
    FLastTarget = Request.Azimuth;
    // After it has set, the target is left where it went down: no turn for a pass that may never come.
    if (FLastElevation && *FLastElevation != Request.Elevation)
        FClimbing = Request.Elevation > *FLastElevation;
    FLastElevation = Request.Elevation;

    if (Settings.BetweenPasses != bpFollow && !FFromNetwork &&
        Request.Elevation < Settings.HorizonMask.At(Request.Azimuth))
        return Resting(Settings, Request);
    FRiseAim.reset();

    TPose Aim{Request.Azimuth, Request.Elevation};
    if (Settings.PointAhead) {
        // Continuity comes from the last set point, where the rotor is going:
        // the rotor's own position may still be far behind it.
        const std::optional<TPose> From = Reference();
        double Travel = 0;
        if (From) {
            // To the line's target, the shorter way round, and over the top if that is shorter.
            const double Elevation = std::max(0.0, Request.Elevation);
            auto To = [&](double Azimuth, double Up) {
                return TravelMs(*From, {From->Azimuth + std::remainder(Azimuth - From->Azimuth, 360.0), Up});
            };
            Travel = To(Request.Azimuth, Elevation);
            if (Settings.ElevationRange == er180)
                Travel = std::min(Travel, To(Request.Azimuth + 180, 180 - Elevation));
            Travel = std::min(Travel, kLongestTravelMs);
        }
        // The middle of the time the rotor holds the set point: from its
        // arrival to the next SET's.
        const double Lead = kFrameMs + (Travel + Request.CycleMs) / 2;
        if (auto Later = LinesCome(Request.NowMs) ? Ahead(Request.Azimuth, Request.Elevation, Request.NowMs + Lead)
                                                  : std::nullopt)
            Aim = *Later;
    }
    return Aimed(Settings, Request, Aim, Request.Elevation < 0 && FClimbing);
}

std::optional<TPose> TPointing::Resting(const TSettings& Settings, const TPointingRequest& Request) {
    if (const std::optional<TRise> Rise = this->Rise(Settings.HorizonMask, Request.NowMs)) {
        const TPose Point = Aimed(Settings, Request, Rise->At, true);
        const std::optional<TPose> From = FRotor ? std::optional(FRotor->Pose) : Reference();
        // Not knowing where the rotor stands, allow for the longest way.
        const double Travel = From ? TravelMs(*From, Point, true)
                                   : TravelMs({0, 0}, {kAzimuthRanges[Settings.AzimuthRange].Highest, 90}, true);
        const double Lead = kRiseTravelMargin * Travel + Request.CycleMs + kFrameMs + kRiseMarginMs;
        // A rotor already waiting at a rise point moves for a better estimate
        // only once it is time to: far below the horizon the estimate is rough
        // and changes from line to line.
        if (Rise->InMs <= Lead && (!FRiseAim || SkyAngle(Point, *FRiseAim) > kRiseSlack + kRiseSlackPerMs * Rise->InMs))
            FRiseAim = Point;
    }
    if (FRiseAim)
        return FRiseAim;
    // Parked once the satellite has set; one that only dips behind the mask is waited for.
    if (Settings.BetweenPasses == bpPark && Request.Elevation < 0 && ParkPossible(Settings))
        return TPose{Settings.ParkPosition.Azimuth, Settings.ParkPosition.Elevation};
    return std::nullopt;
}

std::optional<TPointing::TRise> TPointing::Rise(const THorizonMask& Mask, double NowMs) const {
    if (FClimb.size() < 2 || !LinesCome(NowMs) || FClimb.back().Ms - FClimb.front().Ms < kShortestClimbMs)
        return std::nullopt;
    // Straight lines fitted to the elevation and the azimuth (unwound from
    // the last line's) against time: their values now and their rates.
    const TLine& Last = FClimb.back();
    auto Fit = [&](auto Of) {
        double T = 0, A = 0, TT = 0, TA = 0;
        for (const TLine& Line : FClimb) {
            const double Ms = Line.Ms - Last.Ms, Value = Of(Line);
            T += Ms, A += Value, TT += Ms * Ms, TA += Ms * Value;
        }
        const double N = static_cast<double>(FClimb.size()), Rate = (N * TA - T * A) / (N * TT - T * T);
        return std::pair{(A - Rate * T) / N + Rate * (NowMs - Last.Ms), Rate};
    };
    const auto [Elevation, Climb] = Fit([](const TLine& Line) { return Line.Elevation; });
    const auto [Unwound, Turn] =
        Fit([&](const TLine& Line) { return std::remainder(Line.Azimuth - Last.Azimuth, 360.0); });
    if (Climb <= 0)
        return std::nullopt;
    // Where the mask stands depends on where the target crosses it: a few
    // rounds settle both.
    double Azimuth = Last.Azimuth + Unwound, InMs = 0;
    for (int Round = 0; Round < 4; ++Round) {
        InMs = std::max(0.0, (Mask.At(Azimuth) - Elevation) / Climb);
        Azimuth = Wrapped(Last.Azimuth + Unwound + Turn * InMs);
    }
    return TRise{{Azimuth, Mask.At(Azimuth)}, InMs};
}

TPose TPointing::Aimed(const TSettings& Settings, const TPointingRequest& Request, TPose Aim, bool BeforeRise) const {
    const std::optional<TPose> From = Reference();
    const TSetPointHints Hints{From ? std::optional(From->Azimuth) : std::nullopt, FDirection, BeforeRise,
                               Request.Divider, Settings.AzimuthOffset};
    const TPose Plain{ChooseSetPoint(Settings.AzimuthRange, Aim.Azimuth, Hints), std::max(0.0, Aim.Elevation)};
    if (Settings.ElevationRange == er90 || BeforeRise || !From)
        return Held(Settings, Plain);

    // Over the top: every pose that looks at the aim, the one the rotor reaches soonest.
    const TVector Target = Direction(Aim.Azimuth, Aim.Elevation);
    const TRotorRangeInfo& Range = kAzimuthRanges[Settings.AzimuthRange];
    std::optional<TPose> Best;
    for (int Half = -3; Half <= 4; ++Half) {
        const double Azimuth = Wrapped(Aim.Azimuth) + 180.0 * Half;
        const TPose Pose{Azimuth, ElevationFrom(Azimuth, Target)};
        if (Fits(Azimuth, Range, Request.Divider, Settings.AzimuthOffset) &&
            (!Best || TravelMs(*From, Pose) < TravelMs(*From, *Best)))
            Best = Pose;
    }
    if (!Best)
        return Held(Settings, Plain);
    // High up, the azimuth may have to swing faster than the rotor turns:
    // it goes as far as the rotor gets in a cycle, and the elevation looks
    // as close to the aim as that azimuth allows (near the zenith an
    // azimuth that lags costs little on the sky).
    if (FAzimuthRate && Aim.Elevation >= kHigh) {
        const double Reach = *FAzimuthRate * Request.CycleMs;
        if (std::fabs(Best->Azimuth - From->Azimuth) > Reach) {
            const double Azimuth = From->Azimuth + std::copysign(Reach, Best->Azimuth - From->Azimuth);
            Best = TPose{Azimuth, ElevationFrom(Azimuth, Target)};
        }
    }
    return Held(Settings, *Best);
}
