// Process entry: the DDE manager, one window, its message loop.
#include <windows.h>

#include "dde/DdeMgr_win.h"
#include "framework/Application_win.h"
#include "main/Main_win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Number texts use "." whatever the user's locale: the formatting and
    // parsing code never consults the C locale.
    try {
        DdeManager();  // before the window, whose conversation needs it
        TFMain FMain;
        Application().HoldErrors = true;  // start-up runs to its end, and says what failed after
        FMain.Show();
        Application().HoldErrors = false;
        Application().ShowHeldError();
        Application().WaitUntil([&] { return !FMain.Handle(); });
    } catch (const std::exception& Error) {
        Application().HandleException(Error);
        return 1;
    }
    return 0;
}
