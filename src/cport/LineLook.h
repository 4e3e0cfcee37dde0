#pragma once
// The line events that two looks at a port's status tell apart, for a
// platform on which waiting for the events themselves costs more than
// looking (Wine: see ComThread_win.h).
//
// Each look reads the device's queues, its error word (which the read
// clears) and, when a line event is watched, its modem lines. Events are
// reported as Windows reports them: received bytes once per arrival, a
// modem line when it changed, ring when it came on, the transmit queue when
// it ran empty after a write, the input queue when it passed 80 %.
#include <cstdint>

#include "cport/ComTypes.h"

// One look at the device.
struct TLineReading {
    int32_t InQueue = 0;       // bytes received and unread
    int32_t OutQueue = 0;      // bytes still to send
    uint32_t ErrorWord = 0;    // ClearCommError's flags (CE_...)
    uint32_t ModemStatus = 0;  // GetCommModemStatus's word (MS_..._ON)
    bool ModemRead = false;    // ModemStatus was read: otherwise the lines count as unchanged
    uint32_t Writes = 0;       // writes started on the port so far
};

class TLineLook {
public:
    // Watched: the port's Events; InputSize: its input queue's size.
    TLineLook(TComEvents Watched, int32_t InputSize) : FWatched(Watched), FInputSize(InputSize) {}

    // Whether a look must read the modem lines.
    bool WatchesModemLines() const;
    // The first look, from which changes count.
    void Start(const TLineReading& Now) { FLast = Now; }
    // The watched events since the last look. RxArrived: the input queue
    // holds bytes that were not reported yet (the port keeps that count).
    TComEvents Next(TLineReading Now, bool RxArrived);

private:
    TComEvents FWatched;
    int32_t FInputSize;
    TLineReading FLast;
};
