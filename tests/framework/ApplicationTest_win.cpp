#include <windows.h>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "framework/Application_win.h"
#include "framework/MessageWindow_win.h"

namespace {

constexpr UINT kWorkMessage = WM_APP + 1;

// The serial port's event thread hands its events over with SendMessage: a
// wait must end on what such a handler did, though no message is posted.
TEST(Application, AWaitEndsOnWhatASentMessageDid) {
    bool Delivered = false;
    TMessageWindow Window([&](HWND W, UINT Message, WPARAM Wp, LPARAM Lp) -> LRESULT {
        if (Message != kWorkMessage)
            return DefWindowProcA(W, Message, Wp, Lp);
        Delivered = true;
        return 0;
    });
    std::atomic<bool> Finished = false, Rescued = false;
    std::thread Sender([&] {
        Sleep(50);
        SendMessageA(Window.Handle(), kWorkMessage, 0, 0);
        // A wait that missed it would sleep for good: wake it after a
        // generous while, and say so.
        for (int I = 0; I < 100 && !Finished; ++I)
            Sleep(50);
        if (!Finished) {
            Rescued = true;
            PostMessageA(Window.Handle(), WM_NULL, 0, 0);
        }
    });
    EXPECT_TRUE(Application().WaitUntil([&] { return Delivered; }));
    Finished = true;
    Sender.join();
    EXPECT_FALSE(Rescued) << "the wait went on sleeping after the sent message was handled";
}

}  // namespace
