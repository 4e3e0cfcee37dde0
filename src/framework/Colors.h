#pragma once
// Text colours of the window's labels, in the Windows COLORREF layout
// (0x00BBGGRR), so portable logic can choose a colour without <windows.h>.
#include <cstdint>

using TColor = uint32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clGreen = 0x008000;
constexpr TColor clBlue = 0xFF0000;
// Not a colour: the system's window-text colour, whatever the user chose.
constexpr TColor clWindowText = 0xFF000000;
