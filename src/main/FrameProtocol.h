#pragma once
// The controller family's frames (RotorFrames.h): STOP and STATE are
// answered by a 12-byte reply, SET by nothing the cycle waits for. What
// comes before a reply (the rest of a late answer to SET) is passed over,
// up to a reply's length; twelve bytes that are no reply fail the exchange.
// No Windows call here.
#include "main/RotorProtocol.h"

class TFrameProtocol : public TRotorProtocol {
public:
    std::string Request(TRotorRequest Request, double Azimuth, double Elevation, int Divider) const override;
    bool Answered(TRotorRequest Request) const override { return Request != rqSet; }
    TRotorAnswer Scan(TRotorRequest Request, std::string_view Received) const override;
};
