#pragma once
// What a port and its event thread share, so that the thread needs nothing of
// the port's header.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>

#include "cport/ComTypes.h"
#include "cport/RxArrivals.h"
#include "framework/Platform_win.h"
#include "framework/WindowIds.h"

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

// The message by which the event thread hands one event to the port's
// notification window: the event's mask bit as first parameter, 0 as second.
inline constexpr UINT PortEventMessage = kPortEventMessage;

// What the thread needs of its port, handed over when it is made. The port
// ends the thread before any of it goes.
struct TComThreadPort {
    HANDLE Device;
    TComEvents Events;
    int32_t InputSize;  // of the device's input queue
    int Priority;
    TSyncMethod SyncMethod;
    HWND NotifyWindow;  // receives the events under smWindowSync
    const TComDeviceCalls& Calls;
    TRxArrivals& Arrivals;
    std::atomic<uint32_t>& TakenErrors;           // error flags that a look took, owed to the port's TakeLineErrors
    const std::atomic<uint32_t>& Writes;          // writes started
    std::function<DWORD(COMSTAT&)> ClearErrors;   // the port's queue-and-errors look; raises EComPort
    std::function<void(TComEvent)> ProcessEvent;  // gathers an event's argument and fires it
};
