#pragma once
// How well the station followed each pass, from the rotor's own replies. A
// pass runs from the tracking line that finds the satellite above the mask
// to the one that finds it below, or names another satellite (or none).
// While it is up, every reply gives the angle on the sky between where the
// satellite was (its last two lines carried on to the reply's time) and
// where the rotor pointed; the SET frames, the failed exchanges and the
// degrees the rotor turned are counted. No Windows call here; main thread only.
#include <optional>
#include <string>
#include <vector>

#include "main/Pointing.h"

struct TPassReport {
    std::string Satellite;
    double RiseMs = 0, SetMs = 0;  // the steady clock's
    double RiseAzimuth = 0, SetAzimuth = 0, Highest = 0;
    std::vector<double> Errors;  // degrees, one per reply while the satellite was up
    int SetFrames = 0;
    int FailedExchanges = 0;
    double Travel = 0;  // degrees turned, azimuth and elevation together
};

// The report as one line of text, with the rise and set times as given:
// "ISS pass: rose 19:40:12 at azimuth 141.3, set 19:50:40 at azimuth 322.9,
// highest elevation 57.0; pointing error median 0.4, 95 % 1.2, largest 3.1
// degrees over 212 replies; 95 SET frames; rotor travel 231.4 degrees;
// 0 failed exchanges".
std::string PassReportText(const TPassReport& Pass, const std::string& RiseTime, const std::string& SetTime);

class TPassRecorder {
public:
    // A tracking line's target; Up: at or above the mask. The pass that
    // ended with it, if one did. Angles that are no direction change nothing.
    std::optional<TPassReport> LineArrived(const std::string& Satellite, TPose Target, bool Up, double Ms);
    // Where the rotor pointed on the sky at Ms.
    void RotorReported(TPose Rotor, double Ms);
    void SetSent();
    void ExchangeFailed();

private:
    struct TLine {
        double Ms;
        TPose At;
    };
    // Where the satellite was at Ms, from the pass's last lines.
    TPose TargetAt(double Ms) const;

    std::optional<TPassReport> FPass;  // while a satellite is up
    std::optional<TLine> FLast, FBefore;
    std::optional<TPose> FRotor;  // the last reply of the pass
};
