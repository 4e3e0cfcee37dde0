#include "cport/LineLook.h"

namespace {
constexpr uint32_t kLineErrors = 0x0002 | 0x0004 | 0x0008;  // CE_OVERRUN, CE_RXPARITY, CE_FRAME
constexpr uint32_t kBreak = 0x0010;                         // CE_BREAK
constexpr uint32_t kCts = 0x0010, kDsr = 0x0020, kRing = 0x0040, kRlsd = 0x0080;  // MS_..._ON

bool Changed(uint32_t Before, uint32_t After, uint32_t Bit) {
    return ((Before ^ After) & Bit) != 0;
}
}  // namespace

bool TLineLook::WatchesModemLines() const {
    return FWatched.Contains(evCTS) || FWatched.Contains(evDSR) || FWatched.Contains(evRLSD) ||
           FWatched.Contains(evRing);
}

TComEvents TLineLook::Next(TLineReading Now, bool RxArrived) {
    if (!Now.ModemRead)
        Now.ModemStatus = FLast.ModemStatus;
    TComEvents Events;
    auto Report = [&](TComEvent Event, bool Happened) {
        if (Happened && FWatched.Contains(Event))
            Events.Include(Event);
    };
    Report(evRxChar, RxArrived);
    Report(evError, (Now.ErrorWord & kLineErrors) != 0);
    Report(evBreak, (Now.ErrorWord & kBreak) != 0);
    Report(evCTS, Changed(FLast.ModemStatus, Now.ModemStatus, kCts));
    Report(evDSR, Changed(FLast.ModemStatus, Now.ModemStatus, kDsr));
    Report(evRLSD, Changed(FLast.ModemStatus, Now.ModemStatus, kRlsd));
    Report(evRing, (Now.ModemStatus & ~FLast.ModemStatus & kRing) != 0);
    const int32_t Full = FInputSize - FInputSize / 5;
    Report(evRx80Full, FInputSize > 0 && Now.InQueue >= Full && FLast.InQueue < Full);

    // A write whose bytes are still queued is reported at a later look.
    const bool Drained = Now.Writes != FLast.Writes && Now.OutQueue == 0;
    Report(evTxEmpty, Drained);
    const uint32_t Writes = Drained ? Now.Writes : FLast.Writes;
    FLast = Now;
    FLast.Writes = Writes;
    return Events;
}
