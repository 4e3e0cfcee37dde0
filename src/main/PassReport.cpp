#include "main/PassReport.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "framework/Numbers.h"

namespace {

// Lines further apart than this, or a reply this many intervals after the
// last line, carry no motion on.
constexpr double kLongestLineGapMs = 10000, kStaleIntervals = 2;

std::string Fixed(double Value, int Digits) {
    return FormatFixed(Value, 15, Digits);
}

std::string ErrorText(std::vector<double> Errors) {
    if (Errors.empty())
        return "pointing error not measured (no replies)";
    std::ranges::sort(Errors);
    const size_t N = Errors.size();
    const double Median = (Errors[(N - 1) / 2] + Errors[N / 2]) / 2;
    const double Share95 = Errors[std::min(N - 1, static_cast<size_t>(0.95 * static_cast<double>(N)))];
    return "pointing error median " + Fixed(Median, 2) + ", 95 % " + Fixed(Share95, 2) + ", largest " +
           Fixed(Errors.back(), 2) + " degrees over " + std::to_string(N) + " replies";
}

}  // namespace

std::string PassReportText(const TPassReport& Pass, const std::string& RiseTime, const std::string& SetTime) {
    return Pass.Satellite + " pass: rose " + RiseTime + " at azimuth " + Fixed(Pass.RiseAzimuth, 1) + ", set " +
           SetTime + " at azimuth " + Fixed(Pass.SetAzimuth, 1) + ", highest elevation " + Fixed(Pass.Highest, 1) +
           "; " + ErrorText(Pass.Errors) + "; " + std::to_string(Pass.SetFrames) + " SET frames; rotor travel " +
           Fixed(Pass.Travel, 1) + " degrees; " + std::to_string(Pass.FailedExchanges) + " failed exchanges";
}

std::optional<TPassReport> TPassRecorder::LineArrived(const std::string& Satellite, TPose Target, bool Up, double Ms) {
    const bool Another = FPass && FPass->Satellite != Satellite;
    if (!IsDirection(Target.Azimuth, Target.Elevation) && !Another)
        return std::nullopt;
    std::optional<TPassReport> Ended;
    if (FPass && (Another || !Up)) {
        FPass->SetMs = Ms;
        FPass->SetAzimuth = Another && FLast ? FLast->At.Azimuth : Target.Azimuth;
        Ended = std::exchange(FPass, std::nullopt);
        FLast.reset();
        FBefore.reset();
        FRotor.reset();
    }
    if (!FPass && Up && Satellite != "?" && IsDirection(Target.Azimuth, Target.Elevation)) {
        FPass.emplace();
        FPass->Satellite = Satellite;
        FPass->RiseMs = Ms;
        FPass->RiseAzimuth = Target.Azimuth;
        FPass->Highest = Target.Elevation;
    }
    if (FPass) {
        FPass->Highest = std::max(FPass->Highest, Target.Elevation);
        FBefore = std::exchange(FLast, TLine{Ms, Target});
    }
    return Ended;
}

TPose TPassRecorder::TargetAt(double Ms) const {
    if (!FBefore)
        return FLast->At;
    const double Interval = FLast->Ms - FBefore->Ms, Since = Ms - FLast->Ms;
    if (Interval <= 0 || Interval > kLongestLineGapMs || Since < 0 || Since > kStaleIntervals * Interval)
        return FLast->At;
    const double Share = Since / Interval;
    return {FLast->At.Azimuth + std::remainder(FLast->At.Azimuth - FBefore->At.Azimuth, 360.0) * Share,
            FLast->At.Elevation + (FLast->At.Elevation - FBefore->At.Elevation) * Share};
}

void TPassRecorder::RotorReported(TPose Rotor, double Ms) {
    if (!FPass)
        return;
    FPass->Errors.push_back(SkyAngle(TargetAt(Ms), Rotor));
    if (FRotor)
        FPass->Travel += std::fabs(Rotor.Azimuth - FRotor->Azimuth) + std::fabs(Rotor.Elevation - FRotor->Elevation);
    FRotor = Rotor;
}

void TPassRecorder::SetSent() {
    if (FPass)
        ++FPass->SetFrames;
}

void TPassRecorder::ExchangeFailed() {
    if (FPass)
        ++FPass->FailedExchanges;
}
