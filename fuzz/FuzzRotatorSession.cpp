// Whatever a network client sends, in whatever pieces: every set point that
// reaches the rotor is inside its limits, answers stay bounded, and each
// answer is whole lines of printable text (an echo never breaks framing).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "net/RotatorSession.h"

namespace {

class TLimitedRotator : public TRotatorHandler {
public:
    std::optional<TRotatorPosition> Position() override { return TRotatorPosition{-12.5, 91}; }
    TRotatorStatus SetPosition(const TRotatorPosition& Target) override {
        const TRotatorLimits L = Limits();
        if (!std::isfinite(Target.Azimuth) || Target.Azimuth < L.MinAzimuth || Target.Azimuth > L.MaxAzimuth ||
            !(Target.Elevation >= L.MinElevation && Target.Elevation <= L.MaxElevation))
            std::abort();
        return rsOk;
    }
    TRotatorStatus Stop() override { return rsIo; }
    TRotatorStatus Park() override { return rsOk; }
    TRotatorLimits Limits() override { return {0, 450, 0, 90}; }
    std::string Info() override { return "fuzz"; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size == 0)
        return 0;
    TLimitedRotator Rotator;
    TRotatorSession Session(Rotator);
    // The first byte sets the size of the pieces the bytes arrive in.
    const size_t Piece = Data[0] % 64 + 1;
    std::string_view Bytes(reinterpret_cast<const char*>(Data) + 1, Size - 1);
    while (!Bytes.empty()) {
        Session.Receive(Bytes.substr(0, Piece));
        Bytes.remove_prefix(std::min(Piece, Bytes.size()));
        const std::string& Output = Session.Output();
        if (Output.size() > kMaxOutput + 2 * kMaxLineLength || (!Output.empty() && Output.back() != '\n'))
            std::abort();
        for (char C : Output)
            if (static_cast<unsigned char>(C) < ' ' && C != '\n')
                std::abort();
        Session.Sent(Output.size() / 2);
    }
    return 0;
}
