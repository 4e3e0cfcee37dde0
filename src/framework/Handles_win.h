#pragma once
// Move-only owners for the Windows handles the components hold.
#include <windows.h>

#include <utility>

template <typename THandle, typename TTraits>
class TUniqueHandle {
public:
    TUniqueHandle() = default;
    explicit TUniqueHandle(THandle Value) : FValue(Value) {}
    ~TUniqueHandle() { Reset(); }
    TUniqueHandle(TUniqueHandle&& Other) noexcept : FValue(Other.Release()) {}
    TUniqueHandle& operator=(TUniqueHandle&& Other) noexcept {
        if (this != &Other)
            Reset(Other.Release());
        return *this;
    }
    TUniqueHandle(const TUniqueHandle&) = delete;
    TUniqueHandle& operator=(const TUniqueHandle&) = delete;

    THandle Get() const { return FValue; }
    bool Valid() const { return FValue != TTraits::Invalid(); }
    explicit operator bool() const { return Valid(); }
    THandle Release() { return std::exchange(FValue, TTraits::Invalid()); }
    void Reset(THandle Value = TTraits::Invalid()) {
        if (Valid())
            TTraits::Close(FValue);
        FValue = Value;
    }

private:
    THandle FValue = TTraits::Invalid();
};

struct TKernelHandleTraits {  // events, threads, mutexes: null when absent
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE H) { ::CloseHandle(H); }
};
struct TFileHandleTraits {  // CreateFile results: INVALID_HANDLE_VALUE when absent
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE H) { ::CloseHandle(H); }
};
struct TWindowHandleTraits {
    static HWND Invalid() { return nullptr; }
    static void Close(HWND H) { ::DestroyWindow(H); }
};
struct TKeyHandleTraits {
    static HKEY Invalid() { return nullptr; }
    static void Close(HKEY H) { ::RegCloseKey(H); }
};

template <typename TGdiObject>
struct TGdiObjectTraits {  // fonts, brushes: null when absent
    static TGdiObject Invalid() { return nullptr; }
    static void Close(TGdiObject H) { ::DeleteObject(H); }
};

using TEventHandle = TUniqueHandle<HANDLE, TKernelHandleTraits>;
using TThreadHandle = TUniqueHandle<HANDLE, TKernelHandleTraits>;
using TMutexHandle = TUniqueHandle<HANDLE, TKernelHandleTraits>;
using TFileHandle = TUniqueHandle<HANDLE, TFileHandleTraits>;
using TWindowHandle = TUniqueHandle<HWND, TWindowHandleTraits>;
using TKeyHandle = TUniqueHandle<HKEY, TKeyHandleTraits>;
using TFontHandle = TUniqueHandle<HFONT, TGdiObjectTraits<HFONT>>;
