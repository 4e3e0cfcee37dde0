// A program that only creates the DDE manager and ends, as the driver does
// after its window is gone: the manager test watches its service name go.
#include <windows.h>

#include "dde/DdeMgr_win.h"

int main() {
    DdeManager();
    return 0;
}
