#pragma once
// The stored settings: the registry value names, the choices beyond the
// port and the sequence with their defaults, and how a stored text reads
// and is written back. A choice's text is read ignoring letter case and
// blanks; a missing value, one of another type (read as empty text) and a
// text that names no choice all read as the default. No Windows call here.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "main/RotorRanges.h"

// Current user's hive.
inline constexpr char kSettingsKey[] = "\\Software\\Treml\\Zenitrak\\Gyrotalk";
inline constexpr char kPortValue[] = "ComPort";
inline constexpr char kSequenceValue[] = "ComSeq";

struct TSkyPosition {
    double Azimuth = 0, Elevation = 0;  // degrees
};

// The lowest elevation a set point may have, by azimuth: one elevation all
// round, or points with the mask linear in azimuth between neighbours,
// wrapping at north. 0 all round by default.
class THorizonMask {
public:
    struct TPoint {
        double Azimuth, Elevation;  // the azimuth from 0 to below 360
    };

    THorizonMask() = default;
    // Points in any order; one point is its elevation all round.
    explicit THorizonMask(std::vector<TPoint> Points);

    double At(double Azimuth) const;
    bool Flat0() const { return FPoints.size() == 1 && FPoints[0].Elevation == 0; }
    // "10", or "0:5 90:12 180:5 270:3": reads back as the same mask.
    std::string Text() const;

private:
    std::vector<TPoint> FPoints{{0, 0}};  // by azimuth
};

// What the rotor does while the satellite named is below the mask.
enum TBetweenPasses { bpFollow, bpWait, bpPark };

struct TBetweenPassesInfo {
    const char* Value;    // as stored in the registry
    const wchar_t* Item;  // the system menu's item text
};
inline constexpr TBetweenPassesInfo kBetweenPasses[] = {
    {"follow", L"Follow the satellite"},
    {"wait", L"Wait at the last pass"},
    {"park", L"Park"},
};

struct TSettings {
    TAzimuthRange AzimuthRange = ar360;        // "AzimuthRange"
    TElevationRange ElevationRange = er90;     // "ElevationRange"
    bool PointAhead = false;                   // "PointAhead": aim where the satellite will be
    double Tolerance = 0;                      // "Tolerance": degrees on the sky; 0 sends every move
    bool Unattended = false;                   // "Unattended": no dialogs, recover alone, keep a log
    uint16_t NetworkPort = 0;                  // "NetworkPort": the rotator protocol's TCP port; 0 off
    std::string NetworkAddress = "127.0.0.1";  // "NetworkAddress": where it listens
    TSkyPosition ParkPosition;                 // "ParkPosition": "AZ EL", the pose to park in
    // The stored park position is no "AZ EL" pair: it reads as the default,
    // and its text stays as it is for its owner to mend.
    bool ParkPositionKept = false;
    // What the rotor reads when the antenna points at true north and at the
    // horizon: a set point is the direction plus these, a reply minus them.
    double AzimuthOffset = 0;                 // "AzimuthOffset", degrees
    double ElevationOffset = 0;               // "ElevationOffset", degrees
    THorizonMask HorizonMask;                 // "HorizonMask"
    TBetweenPasses BetweenPasses = bpFollow;  // "BetweenPasses"
    std::string RotorAddress;                 // "RotorAddress": "HOST:PORT", "rotctld://HOST:PORT"; empty: the COM port
    uint32_t BaudRate = 600;                  // "BaudRate": the COM port's bits per second
};

// The line speeds a COM port is given.
inline constexpr uint32_t kLowestBaudRate = 110;
inline constexpr uint32_t kHighestBaudRate = 921600;

// The network port that switching network control on takes when none is stored.
inline constexpr uint16_t kDefaultNetworkPort = 4533;
// Larger tolerances would leave the rotor standing for most of a pass.
inline constexpr double kMaxTolerance = 90;
// Offsets beyond these say nothing that smaller ones do not.
inline constexpr double kMaxAzimuthOffset = 360, kMaxElevationOffset = 90;

// Read gives a value's text, empty when it is missing or not text.
using TSettingReader = std::function<std::string(const char* Name)>;
using TSettingWriter = std::function<void(const char* Name, const std::string& Text)>;

TSettings ReadSettings(const TSettingReader& Read);
// Every choice, as text, whether or not it was stored before; only a kept
// park position is not written.
void WriteSettings(const TSettings& Settings, const TSettingWriter& Write);

// The choices' texts, one by one. A range may be spelled as its menu item
// shows it: with an en dash, a minus sign or degree signs, in the ANSI
// code page (as Windows converts them) or in UTF-8.
TAzimuthRange AzimuthRangeOf(std::string_view Text);
TElevationRange ElevationRangeOf(std::string_view Text);
double ToleranceOf(std::string_view Text);
// None when the text is no such value: the caller decides (a stored one
// reads as the default, a typed one is refused).
std::optional<double> AzimuthOffsetOf(std::string_view Text);
std::optional<double> ElevationOffsetOf(std::string_view Text);
// Elevations from 0 to 90; azimuths from 0 to 360 (360 is north), each once.
std::optional<THorizonMask> HorizonMaskOf(std::string_view Text);
TBetweenPasses BetweenPassesOf(std::string_view Text);
// A whole number of bits per second within the limits; else the default.
uint32_t BaudRateOf(std::string_view Text);
// The address as typed, without the blanks around it; empty for a text
// that is no HOST:PORT or rotctld://HOST:PORT (RotorAddress.h).
std::string RotorAddressOf(std::string_view Text);
// Shortest text that reads back as the same number: "0.5", "1", "2.25".
std::string DegreesText(double Degrees);
