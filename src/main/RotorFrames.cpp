#include "main/RotorFrames.h"

#include "framework/Numbers.h"

namespace {

void PutDigits(TRotorFrame& Frame, size_t First, int Value) {
    Frame[First] = static_cast<char>('0' + Value / 1000);
    Frame[First + 1] = static_cast<char>('0' + Value % 1000 / 100);
    Frame[First + 2] = static_cast<char>('0' + Value % 100 / 10);
    Frame[First + 3] = static_cast<char>('0' + Value % 10);
}

std::string AngleText(double Angle) {
    return FormatFixed(Angle, 5, 1);
}

}  // namespace

int SetPointValue(double Angle, int Divider) {
    double V = (Angle + 360.0) * Divider;
    // Clamp before converting: a double beyond int's range does not convert.
    if (!(V >= 0.0))
        return 0;
    if (V >= kMaxSetPoint)
        return kMaxSetPoint;
    return static_cast<int>(V);
}

void FillSetFrame(TRotorFrame& Frame, double Azimuth, double Elevation, int Divider) {
    PutDigits(Frame, 1, SetPointValue(Azimuth, Divider));
    PutDigits(Frame, 6, SetPointValue(Elevation, Divider));
}

std::string FrameBytes(const TRotorFrame& Frame) {
    return std::string(Frame.data(), Frame.size());
}

std::string SetCommandText(double Azimuth, double Elevation) {
    return "SET(" + AngleText(Azimuth) + ";" + AngleText(Elevation) + ")";
}

bool IsReply(std::string_view Bytes) {
    if (Bytes.size() != kReplySize || Bytes.front() != 'W' || Bytes.back() != ' ')
        return false;
    for (size_t Digit : {1, 2, 3, 4, 6, 7, 8, 9})
        if (static_cast<uint8_t>(Bytes[Digit]) > 9)
            return false;
    return true;
}

TRotorState RotorStateOf(const TRotorReading& Reading, double AzimuthOffset, double ElevationOffset) {
    TRotorState State;
    State.RotorAzimuth = Reading.Azimuth - AzimuthOffset;
    // As the controller's reply carries it: 360 is the rotor's zero.
    const double A = State.RotorAzimuth + 360;
    if (A < 360) {
        State.Azimuth = A;
        State.AzimuthRed = true;
    } else if (A >= 720) {
        State.Azimuth = A - 720;
        State.AzimuthRed = true;
    } else {
        State.Azimuth = A - 360;
    }
    State.Divider = Reading.Divider;
    State.Elevation = Reading.Elevation - ElevationOffset;
    State.ElevationRed = State.Elevation < 0;
    return State;
}

std::optional<TRotorReading> ReplyReading(std::string_view Reply) {
    if (Reply.size() < 10)
        return std::nullopt;
    auto B = [&](size_t N) { return static_cast<double>(static_cast<uint8_t>(Reply[N - 1])); };
    return TRotorReading{B(2) * 100 + B(3) * 10 + B(4) + B(5) / 10 - 360, B(7) * 100 + B(8) * 10 + B(9) + B(10) / 10 - 360,
                         static_cast<uint8_t>(Reply[5])};
}

std::optional<TRotorState> DecodeReply(std::string_view Reply, double AzimuthOffset, double ElevationOffset) {
    const std::optional<TRotorReading> Reading = ReplyReading(Reply);
    if (!Reading)
        return std::nullopt;
    return RotorStateOf(*Reading, AzimuthOffset, ElevationOffset);
}

std::string TRotorState::AzimuthText() const {
    return AngleText(Azimuth);
}

std::string TRotorState::ElevationText() const {
    return AngleText(Elevation);
}

std::string TRotorState::DividerText() const {
    return Divider ? std::to_string(*Divider) : "-";
}
