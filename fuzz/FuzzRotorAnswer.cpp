// Whatever a rotor sends, in whatever pieces, to whatever request: every
// answer is done or failed before it is longer than any answer can be, a
// position it gives is a number, and nothing is read past what came.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "main/FrameProtocol.h"
#include "main/RotctldProtocol.h"

namespace {

// Bytes after which every answer has ended: a reply after as many that are none;
// the daemon's longest answer in lines of the longest length, their ends included.
constexpr size_t kFramesBound = 2 * kReplySize;
constexpr size_t kRotctldBound = 65 * (kMaxRotctldLine + 1);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size < 2)
        return 0;
    // The first byte chooses the protocol and the request, the second the size of the pieces.
    const TFrameProtocol Frames;
    const TRotctldProtocol Daemon;
    const bool ToDaemon = Data[0] & 4;
    const TRotorProtocol& Protocol = ToDaemon ? static_cast<const TRotorProtocol&>(Daemon) : Frames;
    const auto Request = static_cast<TRotorRequest>(Data[0] % 4);
    const size_t Piece = Data[1] % 64 + 1;
    const std::string_view Bytes(reinterpret_cast<const char*>(Data) + 2, Size - 2);
    for (size_t Received = 0;; Received = std::min(Received + Piece, Bytes.size())) {
        const TRotorAnswer Answer = Protocol.Scan(Request, Bytes.substr(0, Received));
        if (Answer.Kind == TRotorAnswer::akMore && Received > (ToDaemon ? kRotctldBound : kFramesBound))
            std::abort();
        if (Answer.Reading && (!std::isfinite(Answer.Reading->Azimuth) || !std::isfinite(Answer.Reading->Elevation)))
            std::abort();
        if (Answer.Kind != TRotorAnswer::akMore || Received == Bytes.size())
            return 0;
    }
}
