#pragma once
// What a network client's commands mean for the rotor: set_pos and park
// make a target just as a tracking line does (the window takes it through
// the same entry, and the next SET step sends it); stop clears the target
// and asks the exchange for a STOP; get_pos is the latest STATE reply's
// position. Nothing here writes a frame. No Windows call here.
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
    using TTargetArrived = std::function<void(const TSatData& Target)>;

    // None of the references is owned; Info is what get_info answers.
    TNetworkRotator(TRotorExchange& Rotor, TRotorPort& Port, const TSettings& Settings, std::string Info,
                    TTargetArrived TargetArrived)
        : FRotor(Rotor),
          FPort(Port),
          FSettings(Settings),
          FInfo(std::move(Info)),
          FTargetArrived(std::move(TargetArrived)) {}

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
};
