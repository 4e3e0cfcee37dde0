#pragma once
// The DDE library and process-start calls of the client conversation, as a
// seam. It exists for what a real server cannot show: how many connects are
// tried and whether the server's program is started (a start that reports
// success but brings no server), and the moment a transaction gives up.
// Defaults to the real calls; tests wrap or replace them. Main thread only.
#include <windows.h>
#include <ddeml.h>

struct TDdeCalls {
    HCONV(WINAPI* Connect)(DWORD, HSZ, HSZ, PCONVCONTEXT) = ::DdeConnect;
    HDDEDATA(WINAPI* ClientTransaction)
    (LPBYTE, DWORD, HCONV, HSZ, UINT, UINT, DWORD, LPDWORD) = ::DdeClientTransaction;
    UINT(WINAPI* WinExec)(LPCSTR, UINT) = ::WinExec;
};

extern TDdeCalls DdeCalls;
