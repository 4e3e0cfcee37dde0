#include "cport/ComEvents.h"

uint32_t EventSetToCommMask(TComEvents Events) {
    uint32_t Mask = 0;
    for (int Event = evRxChar; Event <= evRx80Full; ++Event)
        if (Events.Contains(static_cast<TComEvent>(Event)))
            Mask |= kEventMaskBits[Event];
    return Mask;
}

TComEvents CommMaskToEventSet(uint32_t Mask) {
    TComEvents Events;
    for (int Event = evRxChar; Event <= evRx80Full; ++Event)
        if (Mask & kEventMaskBits[Event])
            Events.Include(static_cast<TComEvent>(Event));
    return Events;
}

std::optional<TComEvent> EventOfMaskBit(uint32_t Bit) {
    for (int Event = evRxChar; Event <= evRx80Full; ++Event)
        if (kEventMaskBits[Event] == Bit)
            return static_cast<TComEvent>(Event);
    return std::nullopt;
}

TComErrors ErrorWordToComErrors(uint32_t ErrorWord, bool ParityCheck) {
    TComErrors Errors;
    for (int Error = ceFrame; Error <= ceTxFull; ++Error)
        if (ErrorWord & kErrorWordBits[Error])
            Errors.Include(static_cast<TComError>(Error));
    if (!ParityCheck)
        Errors.Exclude(ceRxParity);
    return Errors;
}

TComSignals ModemStatusToSignals(uint32_t Status) {
    return TComSignals::FromBits(static_cast<uint8_t>((Status >> 4) & 0x0F));
}
