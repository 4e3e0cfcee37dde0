#pragma once
// Where to send the rotor: the set point for a target, chosen once per SET
// step from the user's choices, the target's track (successive tracking
// lines with their times) and the rotor's replies. No Windows call here.
//
// - Azimuth range: a rotor that turns beyond a full circle follows a pass
//   across north without running a whole turn back (the target 5 becomes
//   365 when the rotor stands at 355), and never reverses for a small move.
// - Elevation 0-180: the pose (az + 180, 180 - el) looks where (az, el)
//   does, so a pass near the zenith is followed over the top, and where the
//   azimuth would have to swing faster than the rotor turns, the rotor's
//   azimuth moves as far as it can and the elevation looks as close to the
//   target as that azimuth allows.
// - Point ahead: the set point is where the target will be while the rotor
//   holds it, from the track's motion on the sky; a jump is no motion.
// - Tolerance: a new set point only when it looks more than that angle on
//   the sky away from the last one.
// - Offsets: the chooser works in directions on the sky; the rotor counts
//   each axis the offset more, and its ranges hold for what it counts.
// - Horizon mask: no set point looks below it, over the top neither.
// - Between passes: while the satellite of the tracking lines is below the
//   mask, the rotor rests ("wait": where it is; "park": at the park
//   position once the satellite has set), and goes to where the satellite
//   will cross the mask in time to be there first: judged from the line's
//   climb and the rotor's own rates, with a margin.
#include <deque>
#include <optional>
#include <string>

#include "main/RotorRanges.h"
#include "main/Settings.h"

// A direction of the rotor as it counts it: the azimuth may lie beyond a
// turn, the elevation from 0 to 180 (beyond 90 over the top).
struct TPose {
    double Azimuth = 0, Elevation = 0;
};

// Whether a tracking line's angles can be a direction at all: finite, the
// elevation within +-90, the azimuth within a turn beyond either end of one.
bool IsDirection(double Azimuth, double Elevation);

// The angle on the sky between two poses, degrees.
double SkyAngle(TPose A, TPose B);

// What the azimuth choice is judged by.
struct TSetPointHints {
    std::optional<double> RotorAzimuth;  // where the rotor stands or was last sent, on the sky
    int Direction = 0;                   // the target's azimuth turns up (+1), down (-1), or unknown (0)
    bool BeforeRise = false;             // below the horizon and climbing: time to get ready for the pass
    int Divider = 1;                     // a set point must fit the frame's four digits
    double Offset = 0;                   // the rotor counts the azimuth this much more
};

// The set point's azimuth on the sky for target azimuth Target: with ar360
// Target itself, a turn away only where the offset takes a direction of the
// first turn out of it; otherwise the one of Target - 360, Target,
// Target + 360 that the range holds (as the rotor counts) and that serves
// the pass best: nearest the rotor while the target is up (or has set), and
// the one with the most room ahead in the target's direction before it
// rises or while the rotor is far from every candidate. Target itself when
// the range holds no candidate.
double ChooseSetPoint(TAzimuthRange Range, double Target, const TSetPointHints& Hints);

// What the rotor counts for a direction on the sky, and back.
TPose RotorPose(const TSettings& Settings, TPose Sky);
TPose SkyPose(const TSettings& Settings, TPose Rotor);

// Whether the park position names a pose the rotor can take: a direction
// above the horizon (up to 90, never over the top) whose count the ranges
// hold. Park goes to that pose as it stands, never another that looks the
// same way.
bool ParkPossible(const TSettings& Settings);

// One SET step's question.
struct TPointingRequest {
    double Azimuth = 0, Elevation = 0;  // the target as the last tracking line puts it
    double NowMs = 0;
    double CycleMs = 0;  // from one SET step to the next
    int Divider = 1;
    bool Pose = false;  // the angles are the pose to take as they stand (a park position)
};

// Follows the target and the rotor between SET steps. Main thread only.
class TPointing {
public:
    // A new target, with the time it came (ms, any origin): a tracking
    // line's, or a network client's (never rested from).
    void TargetArrived(double Azimuth, double Elevation, double Ms, bool FromNetwork = false);
    // A reply: where the rotor points on the sky (its count less the offsets), at Ms.
    void RotorReported(double Azimuth, double Elevation, double Ms);
    // The port opened or another satellite is named: the next set point is
    // chosen afresh from where the rotor stands, and always goes.
    void Restart();

    // The set point for this SET step, on the sky (RotorPose gives what
    // goes in the frame); none while the rotor rests. With every choice at
    // its default the target's azimuth as it stands and its elevation, not
    // below 0.
    std::optional<TPose> SetPoint(const TSettings& Settings, const TPointingRequest& Request);
    // Whether Pose is worth a SET after the last one sent, by the tolerance;
    // always after Restart.
    bool WorthSending(const TSettings& Settings, TPose Pose) const;
    void Sent(TPose Pose);

private:
    struct TLine {
        double Ms;
        double Azimuth, Elevation;
    };
    struct TReply {
        double Ms;
        TPose Pose;
    };

    // Where and in how long the target below the mask will cross it.
    struct TRise {
        TPose At;
        double InMs;
    };

    // Where the track's target (Azimuth, Elevation: its last line) will be at
    // AtMs; none without a steady track of that target.
    std::optional<TPose> Ahead(double Azimuth, double Elevation, double AtMs) const;
    // The set point that looks at Aim, on the sky, held above the mask and
    // inside the ranges.
    TPose Aimed(const TSettings& Settings, const TPointingRequest& Request, TPose Aim, bool BeforeRise) const;
    // Below the mask: the rise point when it is time to go there, the park
    // position, or none (the rotor stays).
    std::optional<TPose> Resting(const TSettings& Settings, const TPointingRequest& Request);
    // None while the target does not climb steadily.
    std::optional<TRise> Rise(const THorizonMask& Mask, double NowMs) const;
    std::optional<TPose> Reference() const;
    bool LinesCome(double NowMs) const;
    // At the rates the rotor has shown; Cautious: before it has, slow ones.
    double TravelMs(TPose From, TPose To, bool Cautious = false) const;
    void LearnRates(const TReply& Earlier, const TReply& Later);

    std::deque<TLine> FTrack;  // the current stretch of the target's track, oldest first
    std::deque<TLine> FClimb;  // the same over a longer time: how fast it climbs towards the mask
    bool FFromNetwork = false;
    std::optional<TPose> FRiseAim;  // the rise point the rotor was sent to, while the target is below
    std::optional<TReply> FRotor;
    std::optional<TPose> FSent;                          // the last set point, until Restart
    std::optional<double> FAzimuthRate, FElevationRate;  // degrees per ms, the fastest seen
    // The target's azimuth from one SET step to the next: which way it turns, whether it climbs.
    std::optional<double> FLastTarget, FLastElevation;
    int FDirection = 0;
    bool FClimbing = true;
};
