#pragma once
// Translations between the family's event, error and signal sets and the
// words of the Windows communications API, and the fixed order in which one
// batch of events is raised.
#include <array>
#include <cstdint>
#include <optional>

#include "cport/ComTypes.h"

// Bits of the communications event mask (EV_RXCHAR and the rest).
inline constexpr uint32_t kEventMaskBits[] = {
    0x0001,  // evRxChar: EV_RXCHAR
    0x0004,  // evTxEmpty: EV_TXEMPTY
    0x0002,  // evRxFlag: EV_RXFLAG
    0x0100,  // evRing: EV_RING
    0x0040,  // evBreak: EV_BREAK
    0x0008,  // evCTS: EV_CTS
    0x0010,  // evDSR: EV_DSR
    0x0080,  // evError: EV_ERR
    0x0020,  // evRLSD: EV_RLSD
    0x0400,  // evRx80Full: EV_RX80FULL
};

// Error flags of ClearCommError, bit n of TComErrors standing for entry n.
inline constexpr uint32_t kErrorWordBits[] = {
    0x0008,  // ceFrame: CE_FRAME
    0x0004,  // ceRxParity: CE_RXPARITY
    0x0002,  // ceOverrun: CE_OVERRUN
    0x0010,  // ceBreak: CE_BREAK
    0x0400,  // ceIO: CE_IOE
    0x8000,  // ceMode: CE_MODE
    0x0001,  // ceRxOver: CE_RXOVER
    0x0100,  // ceTxFull: CE_TXFULL
};

// The order in which the events of one batch are raised: errors first, so
// that they are taken before the rx-char step clears the device's error word.
inline constexpr std::array<TComEvent, 10> kEventDeliveryOrder = {
    evError, evRxChar, evTxEmpty, evBreak, evRing, evCTS, evDSR, evRxFlag, evRLSD, evRx80Full};

uint32_t EventSetToCommMask(TComEvents Events);
// Bits outside the ten events are ignored.
TComEvents CommMaskToEventSet(uint32_t Mask);
// The event whose mask bit is exactly Bit; none for any other value.
std::optional<TComEvent> EventOfMaskBit(uint32_t Bit);

// The parity error counts only while the port checks parity; flags outside
// the eight errors are dropped.
TComErrors ErrorWordToComErrors(uint32_t ErrorWord, bool ParityCheck);
// GetCommModemStatus's word: MS_CTS_ON (0x10) becomes csCTS, and so on.
TComSignals ModemStatusToSignals(uint32_t Status);
