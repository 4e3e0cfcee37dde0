// The events told apart by two looks at a port's status, as Windows would
// report them.
#include <gtest/gtest.h>

#include "cport/LineLook.h"

namespace {

constexpr uint32_t kCts = 0x10, kDsr = 0x20, kRing = 0x40, kRlsd = 0x80;

TLineReading Modem(uint32_t Status) {
    TLineReading Reading;
    Reading.ModemStatus = Status;
    Reading.ModemRead = true;
    return Reading;
}

TEST(LineLook, ModemLinesAreReportedWhenTheyChangeRingOnlyWhenItComesOn) {
    TLineLook Look(kAllComEvents, 4096);
    Look.Start(Modem(kCts));
    EXPECT_EQ(Look.Next(Modem(kCts), false), TComEvents{});
    EXPECT_EQ(Look.Next(Modem(kDsr | kRing | kRlsd), false), (TComEvents{evCTS, evDSR, evRing, evRLSD}));
    EXPECT_EQ(Look.Next(Modem(kDsr | kRlsd), false), TComEvents{});  // ring went off
    TLineReading Unread;                                              // a failed modem query changes nothing
    EXPECT_EQ(Look.Next(Unread, false), TComEvents{});
    EXPECT_EQ(Look.Next(Modem(kDsr), false), TComEvents{evRLSD});
}

TEST(LineLook, ErrorsBreakArrivalsAndAFullQueueAreReportedOnlyWhenWatched) {
    TLineLook Look({evRxChar, evError, evBreak, evRx80Full}, 100);
    Look.Start({});
    TLineReading Now;
    Now.ErrorWord = 0x0010 | 0x0008;  // CE_BREAK, CE_FRAME
    Now.InQueue = 80;
    EXPECT_EQ(Look.Next(Now, true), (TComEvents{evRxChar, evError, evBreak, evRx80Full}));
    Now.ErrorWord = 0;
    Now.InQueue = 90;  // still above 80 %: no new report
    EXPECT_EQ(Look.Next(Now, false), TComEvents{});

    TLineLook Quiet({evRxChar}, 100);
    Quiet.Start({});
    EXPECT_EQ(Quiet.Next(Modem(kCts), false), TComEvents{});
}

TEST(LineLook, AWriteIsReportedOnceWhenItsBytesHaveLeft) {
    TLineLook Look({evTxEmpty}, 4096);
    Look.Start({});
    TLineReading Now;
    Now.Writes = 1;
    Now.OutQueue = 13;
    EXPECT_EQ(Look.Next(Now, false), TComEvents{});
    Now.OutQueue = 0;
    EXPECT_EQ(Look.Next(Now, false), TComEvents{evTxEmpty});
    EXPECT_EQ(Look.Next(Now, false), TComEvents{});
}

}  // namespace
