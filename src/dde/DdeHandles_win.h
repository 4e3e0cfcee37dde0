#pragma once
// Owners of DDE library handles: the instance, a conversation, a data
// handle, and a string handle, which frees itself in its instance.
#include <windows.h>
#include <ddeml.h>

#include <string>
#include <utility>

#include "framework/Handles_win.h"

struct TDdeInstanceTraits {
    static DWORD Invalid() { return 0; }
    static void Close(DWORD Id) { ::DdeUninitialize(Id); }
};
struct TDdeConvTraits {  // a conversation of our own to end: it is forgotten first, so that no callback finds it
    static HCONV Invalid() { return nullptr; }
    static void Close(HCONV Conv) {
        ::DdeSetUserHandle(Conv, QID_SYNC, 0);
        ::DdeDisconnect(Conv);  // ends the advise loops too
    }
};
struct TDdeDataTraits {  // a data handle that a transaction returned: the caller frees it
    static HDDEDATA Invalid() { return nullptr; }
    static void Close(HDDEDATA Data) { ::DdeFreeDataHandle(Data); }
};
using TDdeInstance = TUniqueHandle<DWORD, TDdeInstanceTraits>;
using TDdeConvHandle = TUniqueHandle<HCONV, TDdeConvTraits>;
using TDdeData = TUniqueHandle<HDDEDATA, TDdeDataTraits>;

class TDdeString {
public:
    TDdeString() = default;
    // Creates the handle of Name in code page CP_WINANSI, the name cut to
    // the library's limit; an empty owner when the library refuses.
    TDdeString(DWORD Instance, const std::string& Name);
    ~TDdeString() { Reset(); }
    TDdeString(TDdeString&& Other) noexcept
        : FInstance(Other.FInstance), FHandle(std::exchange(Other.FHandle, nullptr)) {}
    TDdeString& operator=(TDdeString&& Other) noexcept;
    TDdeString(const TDdeString&) = delete;
    TDdeString& operator=(const TDdeString&) = delete;

    HSZ Get() const { return FHandle; }
    DWORD Instance() const { return FInstance; }
    explicit operator bool() const { return FHandle != nullptr; }
    // Frees the handle in its instance.
    void Reset();
    // Drops the handle without a call: its instance is gone, and the handle
    // with it.
    void Forget() { FHandle = nullptr; }

private:
    DWORD FInstance = 0;
    HSZ FHandle = nullptr;
};
