#pragma once
// The stored settings: the registry value names, the choices beyond the
// port and the sequence with their defaults, and how a stored text reads
// and is written back. A choice's text is read ignoring letter case and
// blanks; a missing value, one of another type (read as empty text) and a
// text that names no choice all read as the default. No Windows call here.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "main/RotorRanges.h"

// Current user's hive.
inline constexpr char kSettingsKey[] = "\\Software\\Treml\\Zenitrak\\Gyrotalk";
inline constexpr char kPortValue[] = "ComPort";
inline constexpr char kSequenceValue[] = "ComSeq";

struct TSkyPosition {
    double Azimuth = 0, Elevation = 0;  // degrees
};

struct TSettings {
    TAzimuthRange AzimuthRange = ar360;        // "AzimuthRange"
    TElevationRange ElevationRange = er90;     // "ElevationRange"
    bool PointAhead = false;                   // "PointAhead": aim where the satellite will be
    double Tolerance = 0;                      // "Tolerance": degrees on the sky; 0 sends every move
    bool Unattended = false;                   // "Unattended": no dialogs, recover alone, keep a log
    uint16_t NetworkPort = 0;                  // "NetworkPort": the rotator protocol's TCP port; 0 off
    std::string NetworkAddress = "127.0.0.1";  // "NetworkAddress": where it listens
    TSkyPosition ParkPosition;                 // "ParkPosition": "AZ EL"
};

// The network port that switching network control on takes when none is stored.
inline constexpr uint16_t kDefaultNetworkPort = 4533;
// Larger tolerances would leave the rotor standing for most of a pass.
inline constexpr double kMaxTolerance = 90;

// Read gives a value's text, empty when it is missing or not text.
using TSettingReader = std::function<std::string(const char* Name)>;
using TSettingWriter = std::function<void(const char* Name, const std::string& Text)>;

TSettings ReadSettings(const TSettingReader& Read);
// Every choice, as text, whether or not it was stored before.
void WriteSettings(const TSettings& Settings, const TSettingWriter& Write);

// The choices' texts, one by one. A range may be spelled as its menu item
// shows it: with an en dash, a minus sign or degree signs, in the ANSI
// code page (as Windows converts them) or in UTF-8.
TAzimuthRange AzimuthRangeOf(std::string_view Text);
TElevationRange ElevationRangeOf(std::string_view Text);
double ToleranceOf(std::string_view Text);
// Shortest text that reads back as the same number: "0.5", "1", "2.25".
std::string DegreesText(double Degrees);
