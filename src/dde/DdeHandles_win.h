#pragma once
// Owners of DDE library handles: a string handle remembers the instance it
// belongs to and frees itself there.
#include <windows.h>
#include <ddeml.h>

#include <string>
#include <utility>

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

// A data handle that a transaction returned: the caller frees it.
class TDdeData {
public:
    explicit TDdeData(HDDEDATA Handle) : FHandle(Handle) {}
    ~TDdeData() {
        if (FHandle)
            DdeFreeDataHandle(FHandle);
    }
    TDdeData(const TDdeData&) = delete;
    TDdeData& operator=(const TDdeData&) = delete;

    HDDEDATA Get() const { return FHandle; }

private:
    HDDEDATA FHandle;
};
