#pragma once
// How far the rotator may turn: the ranges a user can choose, with their
// stored texts and menu items.

enum TAzimuthRange { ar360, ar450, ar540 };
enum TElevationRange { er90, er180 };

struct TRotorRangeInfo {
    const char* Value;       // as stored in the registry
    const wchar_t* Item;     // the system menu's item text
    double Lowest, Highest;  // rotor angles, degrees
};

inline constexpr TRotorRangeInfo kAzimuthRanges[] = {
    {"0-360", L"0\u00B0\u2013360\u00B0", 0, 360},
    {"0-450", L"0\u00B0\u2013450\u00B0", 0, 450},
    {"-180-540", L"\u2212180\u00B0\u2013540\u00B0", -180, 540},
};

// With 0-180 the rotor can point over the top: the pose (az + 180,
// 180 - el) looks where (az, el) does.
inline constexpr TRotorRangeInfo kElevationRanges[] = {
    {"0-90", L"0\u00B0\u201390\u00B0", 0, 90},
    {"0-180", L"0\u00B0\u2013180\u00B0", 0, 180},
};
