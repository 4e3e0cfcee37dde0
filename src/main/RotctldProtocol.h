#pragma once
// Hamlib's rotator daemon, rotctld, as the rotor. Each request is one of its
// short commands on a line, as Hamlib's own network client sends them:
// STATE "p" (answered by the azimuth and the elevation, a line each), SET
// "P AZ EL" (six decimals) and STOP "S" (answered "RPRT 0"); once connected,
// "\dump_state" (its lines up to "done" tell the daemon's limits). Every
// request is answered; "RPRT n" with n not 0 is a refusal. Numbers go out
// with a decimal point and are read with a point or a comma.
//
// An answer is bounded: a line without end, or more lines than the answer
// can have, fail it. A stray answer to an earlier request that went
// unanswered in time ("RPRT 0" before a position, a position before
// "RPRT 0") is passed over. No Windows call here.
#include "main/RotorProtocol.h"

inline constexpr size_t kMaxRotctldLine = 256;  // bytes, without the line end

class TRotctldProtocol : public TRotorProtocol {
public:
    std::string Request(TRotorRequest Request, double Azimuth, double Elevation, int Divider) const override;
    bool Answered(TRotorRequest) const override { return true; }
    bool AsksLimits() const override { return true; }
    TRotorAnswer Scan(TRotorRequest Request, std::string_view Received) const override;
};
