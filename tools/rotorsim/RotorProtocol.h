#pragma once
// The controller's side of the serial protocol: 13-byte command frames in,
// 12-byte replies out. Written apart from the program's own frame code, so
// that a fault there shows up against the simulator instead of being shared.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

using TBytes = std::vector<uint8_t>;

inline constexpr size_t kCommandSize = 13;
inline constexpr size_t kReplySize = 12;

enum class TCommand { cmStop, cmState, cmSet, cmGarbage };

// "STOP", "STATE", "SET" or "garbage".
const char* CommandName(TCommand Command);

struct TReceived {
    TCommand Kind = TCommand::cmGarbage;
    TBytes Bytes;
};

// Cuts the byte stream from the line into frames. A frame is "W", ten
// bytes, the command byte (0x0F STOP, 0x1F STATE, 0x2F SET) and a space;
// STOP and STATE carry zeros, SET carries zeros in its two separator bytes.
// Bytes that cannot be part of a frame are reported as one garbage run, and
// reading resumes at the next "W" after them.
class TFrameReader {
public:
    std::vector<TReceived> Feed(std::span<const uint8_t> Bytes);
    // Gives up an incomplete frame (after a pause no real sender makes
    // within a frame) and reports its bytes as garbage.
    std::vector<TReceived> Drop();
    bool Pending() const { return !FBuffer.empty(); }

private:
    TBytes FBuffer;
};

struct TAngles {
    double Azimuth = 0;
    double Elevation = 0;
};

// The set point of a SET frame: each angle is four ASCII digits holding
// (angle + 360) x Divider. None when a digit byte is no digit or the divider
// is 0.
std::optional<TAngles> DecodeSetPoint(std::span<const uint8_t> Frame, int Divider);

// The reply to STOP and STATE: "W", azimuth + 360 as hundreds, tens, units
// and tenths (plain numbers 0 to 9), the divider, the elevation likewise,
// the divider again and a space. Angles beyond what the digits hold are
// sent as the nearest end of that range.
std::array<uint8_t, kReplySize> EncodeReply(TAngles Position, uint8_t Divider);

// The lowest and highest angle a reply can carry: raw 0.0 and 999.9.
inline constexpr double kLowestAngle = -360.0;
inline constexpr double kHighestAngle = 639.9;

// "57 00 1F" style, upper-case, one blank between bytes.
std::string HexBytes(std::span<const uint8_t> Bytes);
