#pragma once
// What a network client's commands mean for the rotor: set_pos and park
// make a target just as a tracking line does (the window takes it through
// the same entry, and the next SET step sends it); stop clears the target
// and asks the exchange for a STOP; get_pos is where the latest STATE
// reply's pose looks. A park position is a pose, taken as it stands, and
// refused when the ranges cannot hold it. Nothing here writes a frame. No
// Windows call here.
#include <functional>
#include <string>

#include "main/RotorExchange.h"
#include "main/SatData.h"
#include "main/Settings.h"
#include "net/RotatorProtocol.h"

// Where a network target came from, as the window's satellite name shows it.
inline constexpr char kNetworkTargetName[] = "network";
inline constexpr char kParkTargetName[] = "network park";

class TNetworkRotator : public TRotatorHandler {
public:
    // Pose: the target's angles are the rotor's pose (the park position),
    // not a direction to choose a pose for.
    using TTargetArrived = std::function<void(const TSatData& Target, bool Pose)>;
    // An event worth a line in the station's log.
    using TReport = std::function<void(const std::string& Event)>;

    // None of the references is owned; Info is what get_info answers.
    TNetworkRotator(TRotorExchange& Rotor, TRotorPort& Port, const TSettings& Settings, std::string Info,
                    TTargetArrived TargetArrived, TReport Report)
        : FRotor(Rotor),
          FPort(Port),
          FSettings(Settings),
          FInfo(std::move(Info)),
          FTargetArrived(std::move(TargetArrived)),
          FReport(std::move(Report)) {}

    std::optional<TRotatorPosition> Position() override;
    TRotatorStatus SetPosition(const TRotatorPosition& Target) override;
    TRotatorStatus Stop() override;
    TRotatorStatus Park() override;
    TRotatorLimits Limits() override;
    std::string Info() override { return FInfo; }

private:
    TRotorExchange& FRotor;
    TRotorPort& FPort;
    const TSettings& FSettings;
    std::string FInfo;
    TTargetArrived FTargetArrived;
    TReport FReport;
};
