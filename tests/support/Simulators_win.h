#pragma once
// Ends the tracking simulators that are running: a test that failed
// half-way may have left one, and it would take the next test's connects.
#include <windows.h>

#include "Simulation.h"
#include "support/Messages_win.h"

inline void EndRunningSimulators() {
    while (HWND Window = FindWindowA(kSimWindowClass, nullptr)) {
        DWORD ProcessId = 0;
        GetWindowThreadProcessId(Window, &ProcessId);
        const HANDLE Process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, ProcessId);
        PostMessageA(Window, WM_CLOSE, 0, 0);
        if (!Process)
            return;
        // Handles our side of its conversations' ends while it goes.
        if (!PumpUntilSignalled(Process, 10000))
            TerminateProcess(Process, 1);
        WaitForSingleObject(Process, 10000);
        CloseHandle(Process);
    }
}
