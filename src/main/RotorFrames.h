#pragma once
// The rotator controller's frames and reply. Angles travel as the angle plus
// 360 degrees; a SET frame carries (angle + 360) x divider as four ASCII
// digits, a reply carries degrees and tenths as plain numbers.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr size_t kFrameSize = 13;
inline constexpr size_t kReplySize = 12;

using TRotorFrame = std::array<char, kFrameSize>;

inline constexpr TRotorFrame StopFrame = {'W', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0F, ' '};
inline constexpr TRotorFrame StateFrame = {'W', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x1F, ' '};
inline constexpr TRotorFrame SetFrameTemplate = {'W', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x2F, ' '};

// The largest number four digits hold; a set point beyond the controller's
// range is sent as the nearest end of that range.
inline constexpr int kMaxSetPoint = 9999;

// (Angle + 360) x Divider truncated toward zero, limited to 0..9999.
int SetPointValue(double Angle, int Divider);

// Writes the eight digit bytes of Frame for the given set point; bytes 6
// and 11 (1-based) stay as they are.
void FillSetFrame(TRotorFrame& Frame, double Azimuth, double Elevation, int Divider);

std::string FrameBytes(const TRotorFrame& Frame);

// Last-command texts.
inline constexpr char kStopText[] = "STOP";
inline constexpr char kStateText[] = "STATE";
std::string SetCommandText(double Azimuth, double Elevation);

// Where the rotor stands, as it counts: the azimuth below 0 and beyond a
// turn too, the elevation beyond 90 over the top.
struct TRotorReading {
    double Azimuth = 0, Elevation = 0;
    std::optional<int> Divider;  // a reply's resolution factor; none from a rotor without one
};

// What the window shows of the rotor: azimuth and elevation with their
// colour (red: outside the rotor's first turn, or below the horizon) and
// the divider ("-" for a rotor without one).
struct TRotorState {
    double Azimuth = 0;
    bool AzimuthRed = false;
    double Elevation = 0;
    bool ElevationRed = false;
    std::optional<int> Divider = 1;
    double RotorAzimuth = 0;  // as the rotor counts it (less the offset): below 0 and beyond 360 too
    std::string AzimuthText() const;
    std::string ElevationText() const;
    std::string DividerText() const;
};

// Whether Bytes are a reply: 12 bytes, the first "W", the last a space,
// and a plain number 0 to 9 in each of the eight digit bytes.
bool IsReply(std::string_view Bytes);

// What the window shows of a reading, the offsets (what the rotor reads at
// true north and at the horizon) taken off its angles.
TRotorState RotorStateOf(const TRotorReading& Reading, double AzimuthOffset = 0, double ElevationOffset = 0);

// The reading a reply carries. A reply too short to hold the ten bytes read
// gives none: the caller treats it as a failed exchange.
std::optional<TRotorReading> ReplyReading(std::string_view Reply);

// ReplyReading, as the window shows it.
std::optional<TRotorState> DecodeReply(std::string_view Reply, double AzimuthOffset = 0, double ElevationOffset = 0);
