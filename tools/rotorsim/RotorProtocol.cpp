#include "RotorProtocol.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace {

constexpr uint8_t kStart = 'W';
constexpr uint8_t kEnd = ' ';
constexpr size_t kCommandByte = 11;
constexpr size_t kSeparators[] = {5, 10};

std::optional<TCommand> CommandOfByte(uint8_t Byte) {
    switch (Byte) {
        case 0x0F:
            return TCommand::cmStop;
        case 0x1F:
            return TCommand::cmState;
        case 0x2F:
            return TCommand::cmSet;
        default:
            return std::nullopt;
    }
}

// Whether Bytes (up to a frame's length) can still grow into a frame.
bool CouldBeFrame(std::span<const uint8_t> Bytes) {
    const size_t Count = std::min(Bytes.size(), kCommandSize);
    if (Count == 0 || Bytes[0] != kStart)
        return false;
    for (size_t Index : kSeparators)
        if (Index < Count && Bytes[Index] != 0)
            return false;
    if (Count > kCommandSize - 1 && Bytes[kCommandSize - 1] != kEnd)
        return false;
    if (Count <= kCommandByte)
        return true;
    const auto Command = CommandOfByte(Bytes[kCommandByte]);
    if (!Command)
        return false;
    return *Command == TCommand::cmSet ||
           std::all_of(Bytes.begin() + 1, Bytes.begin() + kCommandByte, [](uint8_t Byte) { return Byte == 0; });
}

std::optional<double> DigitsValue(std::span<const uint8_t> Digits) {
    double Value = 0;
    for (uint8_t Digit : Digits) {
        if (Digit < '0' || Digit > '9')
            return std::nullopt;
        Value = Value * 10 + (Digit - '0');
    }
    return Value;
}

// Hundreds, tens, units and tenths of angle + 360.
void PutAngle(uint8_t* Out, double Angle) {
    const long Tenths = std::lround((std::clamp(Angle, kLowestAngle, kHighestAngle) + 360.0) * 10.0);
    Out[0] = static_cast<uint8_t>(Tenths / 1000);
    Out[1] = static_cast<uint8_t>(Tenths / 100 % 10);
    Out[2] = static_cast<uint8_t>(Tenths / 10 % 10);
    Out[3] = static_cast<uint8_t>(Tenths % 10);
}

}  // namespace

const char* CommandName(TCommand Command) {
    switch (Command) {
        case TCommand::cmStop:
            return "STOP";
        case TCommand::cmState:
            return "STATE";
        case TCommand::cmSet:
            return "SET";
        case TCommand::cmGarbage:
            break;
    }
    return "garbage";
}

std::vector<TReceived> TFrameReader::Feed(std::span<const uint8_t> Bytes) {
    FBuffer.insert(FBuffer.end(), Bytes.begin(), Bytes.end());
    std::vector<TReceived> Found;
    TBytes Junk;
    const auto FlushJunk = [&] {
        if (!Junk.empty())
            Found.push_back({TCommand::cmGarbage, std::exchange(Junk, {})});
    };
    size_t Used = 0;
    while (Used < FBuffer.size()) {
        const std::span<const uint8_t> Rest(FBuffer.begin() + Used, FBuffer.end());
        if (!CouldBeFrame(Rest)) {
            Junk.push_back(Rest[0]);
            ++Used;
        } else if (Rest.size() >= kCommandSize) {
            FlushJunk();
            Found.push_back({*CommandOfByte(Rest[kCommandByte]), TBytes(Rest.begin(), Rest.begin() + kCommandSize)});
            Used += kCommandSize;
        } else {
            break;
        }
    }
    FlushJunk();
    FBuffer.erase(FBuffer.begin(), FBuffer.begin() + Used);
    return Found;
}

std::vector<TReceived> TFrameReader::Drop() {
    if (FBuffer.empty())
        return {};
    return {{TCommand::cmGarbage, std::exchange(FBuffer, {})}};
}

std::optional<TAngles> DecodeSetPoint(std::span<const uint8_t> Frame, int Divider) {
    if (Frame.size() < kCommandSize || Divider <= 0)
        return std::nullopt;
    const auto Azimuth = DigitsValue(Frame.subspan(1, 4));
    const auto Elevation = DigitsValue(Frame.subspan(6, 4));
    if (!Azimuth || !Elevation)
        return std::nullopt;
    return TAngles{*Azimuth / Divider - 360.0, *Elevation / Divider - 360.0};
}

std::array<uint8_t, kReplySize> EncodeReply(TAngles Position, uint8_t Divider) {
    std::array<uint8_t, kReplySize> Reply{};
    Reply[0] = kStart;
    PutAngle(&Reply[1], Position.Azimuth);
    Reply[5] = Divider;
    PutAngle(&Reply[6], Position.Elevation);
    Reply[10] = Divider;
    Reply[11] = kEnd;
    return Reply;
}

std::string HexBytes(std::span<const uint8_t> Bytes) {
    std::string Text;
    for (uint8_t Byte : Bytes) {
        char Hex[4];
        std::snprintf(Hex, sizeof Hex, "%02X", Byte);
        if (!Text.empty())
            Text += ' ';
        Text += Hex;
    }
    return Text;
}
