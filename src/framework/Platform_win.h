#pragma once
// Facts about the system the program runs on.
#include <windows.h>

// Whether Wine runs the program (its ntdll exports wine_get_version).
inline bool RunsOnWine() {
    static const bool OnWine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    return OnWine;
}
