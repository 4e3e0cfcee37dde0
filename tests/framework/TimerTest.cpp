#include "framework/Timers_win.h"

#include <gtest/gtest.h>

#include "support/Messages_win.h"
#include "framework/Exceptions.h"

namespace {

TEST(Timer, EnablingADisabledTimerStartsItsIntervalAfresh) {
    TTimer Timer(nullptr);
    ULONGLONG TickedAt = 0;
    Timer.OnTimer = [&] { TickedAt = GetTickCount64(); };
    Timer.SetInterval(1000);
    Timer.SetEnabled(true);
    PumpFor(600);
    ASSERT_EQ(TickedAt, 0u) << "ticked before its interval";
    Timer.SetEnabled(false);
    Timer.SetEnabled(true);
    ULONGLONG RestartedAt = GetTickCount64();
    ASSERT_TRUE(PumpUntil([&] { return TickedAt != 0; }, 10000));
    // Had the first interval gone on, the tick would come ~400 ms after the restart.
    EXPECT_GE(TickedAt - RestartedAt, 900u);
}

TEST(Timer, ADisabledTimerDoesNotTick) {
    TTimer Timer(nullptr);
    int Ticks = 0;
    Timer.OnTimer = [&] { ++Ticks; };
    Timer.SetInterval(20);
    Timer.SetEnabled(true);
    ASSERT_TRUE(PumpUntil([&] { return Ticks >= 2; }));
    Timer.SetEnabled(false);
    int Seen = Ticks;
    PumpFor(300);
    EXPECT_EQ(Ticks, Seen);
}

TEST(Timer, ATickArrivesInsideAHandlerThatHandlesMessages) {
    TTimer Timer(nullptr);
    int Depth = 0, Deepest = 0;
    Timer.OnTimer = [&] {
        ++Depth;
        Deepest = std::max(Deepest, Depth);
        if (Depth == 1)
            PumpUntil([&] { return Deepest >= 2; }, 5000);  // the wait of an exchange
        --Depth;
    };
    Timer.SetInterval(30);
    Timer.SetEnabled(true);
    ASSERT_TRUE(PumpUntil([&] { return Deepest >= 2; }));
}

// The error dialog is modal: it handles messages until the user answers, so
// the failing timer fires again while it is open.
int gDialogs = 0, gOpenDialogs = 0, gMostOpen = 0, gTicksDuringDialog = 0;
int gTicks = 0;

void ModalDialog(const std::string&, const std::string&) {
    ++gDialogs;
    gMostOpen = std::max(gMostOpen, ++gOpenDialogs);
    int Start = gTicks;
    PumpUntil([&] { return gTicks >= Start + 5; }, 5000);
    gTicksDuringDialog += gTicks - Start;
    --gOpenDialogs;
}

TEST(Timer, AnErrorOnEveryTickShowsOneDialogAtATimeAndTheTimerGoesOn) {
    TErrorRecorder Restore;
    Application().ErrorDialog = &ModalDialog;
    TTimer Timer(nullptr);
    Timer.OnTimer = [] {
        ++gTicks;
        throw Exception("Write error");
    };
    Timer.SetInterval(20);
    Timer.SetEnabled(true);
    ASSERT_TRUE(PumpUntil([] { return gDialogs >= 2; }));
    EXPECT_EQ(gMostOpen, 1);
    EXPECT_GE(gTicksDuringDialog, 5);  // errors during the dialog were dropped, not stacked
}

}  // namespace
