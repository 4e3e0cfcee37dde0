#pragma once
#include <windows.h>

#include "framework/Platform_win.h"

// The device calls whose failures no pseudo-terminal produces, so that
// tests can put fakes here: SetCommState for a setting that the device
// refuses (code 7), PurgeComm for an abort that fails in Close (code 5),
// ClearCommError for a queue query that fails (code 10), CreateEventA for an
// event thread that cannot be started (code 1), WaitCommEvent for
// a device that refuses to report events and for Windows' way of reporting
// received bytes (once per arrival, where Wine reports them while they sit
// unread). LookAtLine picks how the event thread watches the line (see
// ComThread_win.h): by looking under Wine, by waiting on Windows; tests run
// the waiting thread under Wine too. Otherwise a port makes the real calls.
struct TComDeviceCalls {
    decltype(&::SetCommState) SetCommState = &::SetCommState;
    decltype(&::PurgeComm) PurgeComm = &::PurgeComm;
    decltype(&::ClearCommError) ClearCommError = &::ClearCommError;
    decltype(&::CreateEventA) CreateEventA = &::CreateEventA;
    decltype(&::WaitCommEvent) WaitCommEvent = &::WaitCommEvent;
    bool LookAtLine = RunsOnWine();
};
