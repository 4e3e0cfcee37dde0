// Event, error and signal words; the delivery order; announced arrivals;
// the error texts.
#include <gtest/gtest.h>

#include <set>

#include "cport/ComError.h"
#include "cport/ComEvents.h"
#include "cport/RxArrivals.h"

namespace {

TEST(ComEvents, EveryEventMapsToItsOwnMaskBitAndBack) {
    const uint32_t Bits[] = {0x0001, 0x0004, 0x0002, 0x0100, 0x0040, 0x0008, 0x0010, 0x0080, 0x0020, 0x0400};
    for (int Event = evRxChar; Event <= evRx80Full; ++Event) {
        const TComEvents One{static_cast<TComEvent>(Event)};
        EXPECT_EQ(EventSetToCommMask(One), Bits[Event]) << Event;
        EXPECT_EQ(CommMaskToEventSet(Bits[Event]), One) << Event;
        EXPECT_EQ(EventOfMaskBit(Bits[Event]), static_cast<TComEvent>(Event));
    }
    EXPECT_EQ(EventSetToCommMask(kAllComEvents), 0x05FFu);
    EXPECT_EQ(EventSetToCommMask({}), 0u);
}

TEST(ComEvents, UnknownMaskBitsAreIgnored) {
    EXPECT_EQ(CommMaskToEventSet(0xFFFFFA00), TComEvents{});
    EXPECT_EQ(CommMaskToEventSet(0x0201), TComEvents{evRxChar});  // 0x0200 is no event of ours
    EXPECT_FALSE(EventOfMaskBit(0x0200));
    EXPECT_FALSE(EventOfMaskBit(0x0003));  // two events are not one
    EXPECT_FALSE(EventOfMaskBit(0));
}

TEST(ComEvents, DeliveryOrderNamesEachEventOnceErrorsFirst) {
    const std::set<TComEvent> Seen(kEventDeliveryOrder.begin(), kEventDeliveryOrder.end());
    EXPECT_EQ(Seen.size(), 10u);
    EXPECT_EQ(kEventDeliveryOrder.front(), evError);
    EXPECT_EQ(kEventDeliveryOrder[1], evRxChar);
    // A batch of bytes, a CTS change and an error: OnError, OnRxChar, OnCTSChange.
    std::vector<TComEvent> Batch;
    const TComEvents Received{evCTS, evRxChar, evError};
    for (TComEvent Event : kEventDeliveryOrder)
        if (Received.Contains(Event))
            Batch.push_back(Event);
    EXPECT_EQ(Batch, (std::vector<TComEvent>{evError, evRxChar, evCTS}));
}

TEST(ComEvents, ErrorWordMapsEachFlagAndParityOnlyWhileChecked) {
    const uint32_t Flags[] = {0x0008, 0x0004, 0x0002, 0x0010, 0x0400, 0x8000, 0x0001, 0x0100};
    for (int Error = ceFrame; Error <= ceTxFull; ++Error)
        EXPECT_EQ(ErrorWordToComErrors(Flags[Error], true), TComErrors{static_cast<TComError>(Error)}) << Error;
    EXPECT_EQ(ErrorWordToComErrors(0x0004, false), TComErrors{});
    EXPECT_EQ(ErrorWordToComErrors(0x000C, false), TComErrors{ceFrame});
    EXPECT_EQ(ErrorWordToComErrors(0x0004, true).Bits(), 0x02);
    EXPECT_EQ(ErrorWordToComErrors(0x7200, true), TComErrors{});  // flags of no error of ours
}

TEST(ComEvents, ModemStatusBitsShiftDownByFour) {
    EXPECT_EQ(ModemStatusToSignals(0x10), TComSignals{csCTS});
    EXPECT_EQ(ModemStatusToSignals(0x20), TComSignals{csDSR});
    EXPECT_EQ(ModemStatusToSignals(0x40), TComSignals{csRing});
    EXPECT_EQ(ModemStatusToSignals(0x80), TComSignals{csRLSD});
    EXPECT_EQ(ModemStatusToSignals(0x0F), TComSignals{});
    EXPECT_EQ(ModemStatusToSignals(0xFFF0).Bits(), 0x0F);
}

TEST(RxArrivals, OnlyBytesBeyondTheAnnouncedOnesAreArrivals) {
    TRxArrivals Rx;
    EXPECT_FALSE(Rx.Arrived(0));
    EXPECT_TRUE(Rx.Arrived(5));
    Rx.Announce(5);
    EXPECT_FALSE(Rx.Arrived(5));  // the same 5 bytes still sitting unread
    EXPECT_TRUE(Rx.Arrived(6));
    Rx.Announce(20);
    Rx.Consumed(12);              // 8 announced bytes left
    EXPECT_FALSE(Rx.Arrived(8));
    EXPECT_TRUE(Rx.Arrived(9));
    Rx.Consumed(30);              // more than was announced
    EXPECT_TRUE(Rx.Arrived(1));
    Rx.Announce(3);
    Rx.Reset();
    EXPECT_TRUE(Rx.Arrived(1));
}

TEST(ComError, MessagesByteForByte) {
    const char* Texts[] = {
        "Unable to open com port", "WriteFile function failed", "ReadFile function failed",
        "Invalid Async parameter", "PurgeComm function failed", "Unable to get async status",
        "SetCommState function failed", "SetCommTimeouts failed", "SetupComm function failed",
        "ClearCommError function failed", "GetCommModemStatus function failed",
        "EscapeCommFunction function failed", "TransmitCommChar function failed",
        "Cannot set property while connected", "EnumPorts function failed", "Failed to store settings",
        "Failed to load settings", "Link (un)registration failed",
        "Cannot change led state if ComPort is selected", "Cannot wait for event if event thread is created",
        "WaitForEvent method failed", "A component is linked to OnRxBuf event", "Registry error"};
    for (int Code = ecOpen; Code <= ecRegistry; ++Code) {
        const EComPort Plain(static_cast<TComErrorCode>(Code));
        EXPECT_STREQ(Plain.what(), Texts[Code - 1]);
        EXPECT_EQ(Plain.ErrorCode(), Code);
        EXPECT_EQ(Plain.SystemErrorCode(), -1);
    }
    const EComPort Open(ecOpen, 2);
    EXPECT_STREQ(Open.what(), "Unable to open com port (win error code: 2)");
    EXPECT_EQ(Open.SystemErrorCode(), 2);
    EXPECT_EQ(Open.ErrorCode(), 1);
    EXPECT_STREQ(EComPort(ecSetState, 87).what(), "SetCommState function failed (win error code: 87)");
    EXPECT_STREQ(EComPort(ecRegistry, -5).what(), "Registry error (win error code: -5)");
    EXPECT_STREQ(ComErrorText(0), "");
    EXPECT_STREQ(ComErrorText(24), "");
}

}  // namespace
