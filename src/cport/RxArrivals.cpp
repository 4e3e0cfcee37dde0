#include "cport/RxArrivals.h"

#include <algorithm>

void TRxArrivals::Consumed(int32_t Count) {
    int32_t Announced = FAnnounced.load();
    while (!FAnnounced.compare_exchange_weak(Announced, std::max(Announced - std::max(Count, 0), 0))) {
    }
}
