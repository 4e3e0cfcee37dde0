#pragma once
// Which received bytes OnRxChar has already announced.
//
// Windows reports EV_RXCHAR once per arrival; Wine reports it for as long as
// received bytes sit unread. So that a port raises OnRxChar alike on both,
// only when bytes arrived since it was last raised or since the last read,
// the port keeps the count of waiting bytes that were announced: a count of
// waiting bytes above it means that bytes arrived.
//
// Thread-safe: the event thread asks, the thread that raises OnRxChar or
// reads updates.
#include <atomic>
#include <cstdint>

class TRxArrivals {
public:
    // Did bytes arrive that were not announced, with Waiting bytes in the queue?
    bool Arrived(int32_t Waiting) const { return Waiting > FAnnounced.load(); }
    // OnRxChar told of Waiting bytes.
    void Announce(int32_t Waiting) { FAnnounced.store(Waiting); }
    // A read took Count bytes off the front of the queue: announced ones first.
    void Consumed(int32_t Count);
    // The queue is empty again (a port that opens).
    void Reset() { FAnnounced.store(0); }

private:
    std::atomic<int32_t> FAnnounced{0};
};
