#pragma once
// The main window's layout: one row per control, positions in client pixels.
#include <span>

#include "framework/Forms_win.h"

extern const TFormLayout kMainForm;
std::span<const TControlRow> MainLayout();
