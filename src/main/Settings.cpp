#include "main/Settings.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>

#include "framework/Numbers.h"
#include "main/RotorAddress.h"

namespace {

constexpr char kAzimuthRangeValue[] = "AzimuthRange";
constexpr char kElevationRangeValue[] = "ElevationRange";
constexpr char kPointAheadValue[] = "PointAhead";
constexpr char kToleranceValue[] = "Tolerance";
constexpr char kUnattendedValue[] = "Unattended";
constexpr char kNetworkPortValue[] = "NetworkPort";
constexpr char kNetworkAddressValue[] = "NetworkAddress";
constexpr char kParkPositionValue[] = "ParkPosition";
constexpr char kAzimuthOffsetValue[] = "AzimuthOffset";
constexpr char kElevationOffsetValue[] = "ElevationOffset";
constexpr char kHorizonMaskValue[] = "HorizonMask";
constexpr char kBetweenPassesValue[] = "BetweenPasses";
constexpr char kRotorAddressValue[] = "RotorAddress";
constexpr char kBaudRateValue[] = "BaudRate";

// Dashes and degree signs as the menu shows them: code page 1252 (and its
// neighbours) turns the en dash into 0x96 and the minus sign into "-";
// the UTF-8 forms come from files written elsewhere.
constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kSpellings{{
    {"\xE2\x80\x93", "-"},  // en dash
    {"\xE2\x88\x92", "-"},  // minus sign
    {"\xC2\xB0", ""},       // degree sign
    {"\x96", "-"},
    {"\x97", "-"},  // em dash
    {"\xB0", ""},
}};

// Lower case, no blanks, the menu's dashes as "-", no degree signs.
std::string Folded(std::string_view Text) {
    std::string Result;
    for (size_t I = 0; I < Text.size();) {
        bool Replaced = false;
        for (const auto& [From, To] : kSpellings)
            if (Text.substr(I, From.size()) == From) {
                Result += To;
                I += From.size();
                Replaced = true;
                break;
            }
        if (Replaced)
            continue;
        const auto Char = static_cast<unsigned char>(Text[I++]);
        if (Char > ' ')
            Result += static_cast<char>(Char >= 'A' && Char <= 'Z' ? Char + ('a' - 'A') : Char);
    }
    return Result;
}

template <typename TRange, size_t N>
TRange RangeOf(std::string_view Text, const TRotorRangeInfo (&Ranges)[N]) {
    const std::string Key = Folded(Text);
    for (size_t I = 0; I < N; ++I)
        if (Key == Ranges[I].Value)
            return static_cast<TRange>(I);
    return static_cast<TRange>(0);
}

// A decimal comma reads as a point.
std::optional<double> DegreesOf(std::string Text) {
    for (char& Char : Text)
        if (Char == ',')
            Char = '.';
    const std::optional<double> Value = ParseDecimal(Text);
    return Value && std::isfinite(*Value) ? Value : std::nullopt;
}

std::optional<double> DegreesWithin(std::string_view Text, double Lowest, double Highest) {
    const std::optional<double> Degrees = DegreesOf(Folded(Text));
    return Degrees && *Degrees >= Lowest && *Degrees <= Highest ? Degrees : std::nullopt;
}

uint16_t NetworkPortOf(std::string_view Text) {
    const std::optional<int32_t> Port = ParseInteger(Folded(Text));
    return Port && *Port >= 1 && *Port <= 65535 ? static_cast<uint16_t>(*Port) : 0;
}

std::string AddressOf(std::string_view Text) {
    const std::string Address = Folded(Text);
    return Address.empty() ? TSettings().NetworkAddress : Address;
}

// Two numbers apart by blanks; whether the ranges can hold them is asked
// when the rotor is to go there.
std::optional<TSkyPosition> ParkPositionOf(std::string_view Text) {
    const size_t Start = Text.find_first_not_of(" \t");
    const size_t Gap = Text.find_first_of(" \t", Start);
    if (Start == std::string_view::npos || Gap == std::string_view::npos)
        return std::nullopt;
    const auto Azimuth = DegreesOf(Folded(Text.substr(Start, Gap - Start)));
    const auto Elevation = DegreesOf(Folded(Text.substr(Gap)));
    if (!Azimuth || !Elevation)
        return std::nullopt;
    return TSkyPosition{*Azimuth, *Elevation};
}

}  // namespace

TAzimuthRange AzimuthRangeOf(std::string_view Text) {
    return RangeOf<TAzimuthRange>(Text, kAzimuthRanges);
}

TElevationRange ElevationRangeOf(std::string_view Text) {
    return RangeOf<TElevationRange>(Text, kElevationRanges);
}

double ToleranceOf(std::string_view Text) {
    const std::optional<double> Degrees = DegreesOf(Folded(Text));
    return Degrees && *Degrees >= 0 && *Degrees <= kMaxTolerance ? *Degrees : 0;
}

std::optional<double> AzimuthOffsetOf(std::string_view Text) {
    return DegreesWithin(Text, -kMaxAzimuthOffset, kMaxAzimuthOffset);
}

std::optional<double> ElevationOffsetOf(std::string_view Text) {
    return DegreesWithin(Text, -kMaxElevationOffset, kMaxElevationOffset);
}

std::optional<THorizonMask> HorizonMaskOf(std::string_view Text) {
    std::vector<std::string_view> Words;
    for (size_t At = Text.find_first_not_of(" \t"); At != std::string_view::npos;
         At = Text.find_first_not_of(" \t", At)) {
        const size_t End = std::min(Text.find_first_of(" \t", At), Text.size());
        Words.push_back(Text.substr(At, End - At));
        At = End;
    }
    if (Words.size() == 1 && Words[0].find(':') == std::string_view::npos) {
        const auto Elevation = DegreesWithin(Words[0], 0, 90);
        return Elevation ? std::optional(THorizonMask({{0, *Elevation}})) : std::nullopt;
    }
    std::vector<THorizonMask::TPoint> Points;
    for (std::string_view Word : Words) {
        const size_t Colon = Word.find(':');
        if (Colon == std::string_view::npos)
            return std::nullopt;
        const auto Azimuth = DegreesWithin(Word.substr(0, Colon), 0, 360);
        const auto Elevation = DegreesWithin(Word.substr(Colon + 1), 0, 90);
        if (!Azimuth || !Elevation)
            return std::nullopt;
        const double North = std::fmod(*Azimuth, 360.0);
        if (std::ranges::any_of(Points, [&](const auto& Point) { return Point.Azimuth == North; }))
            return std::nullopt;
        Points.push_back({North, *Elevation});
    }
    if (Points.empty())
        return std::nullopt;
    return THorizonMask(std::move(Points));
}

TBetweenPasses BetweenPassesOf(std::string_view Text) {
    const std::string Key = Folded(Text);
    for (size_t I = 0; I < std::size(kBetweenPasses); ++I)
        if (Key == kBetweenPasses[I].Value)
            return static_cast<TBetweenPasses>(I);
    return bpFollow;
}

THorizonMask::THorizonMask(std::vector<TPoint> Points) : FPoints(std::move(Points)) {
    std::ranges::sort(FPoints, {}, &TPoint::Azimuth);
}

double THorizonMask::At(double Azimuth) const {
    if (FPoints.size() == 1)
        return FPoints[0].Elevation;
    Azimuth = std::fmod(Azimuth, 360.0);
    if (Azimuth < 0)
        Azimuth += 360;
    // The neighbours on either side, the last and the first across north.
    const auto Next = std::ranges::upper_bound(FPoints, Azimuth, {}, &TPoint::Azimuth);
    const TPoint& Before = Next == FPoints.begin() ? FPoints.back() : *(Next - 1);
    const TPoint& After = Next == FPoints.end() ? FPoints.front() : *Next;
    const double Width = std::fmod(After.Azimuth - Before.Azimuth + 360, 360.0);
    const double Into = std::fmod(Azimuth - Before.Azimuth + 360, 360.0);
    return Before.Elevation + (After.Elevation - Before.Elevation) * Into / Width;
}

std::string THorizonMask::Text() const {
    if (FPoints.size() == 1)
        return DegreesText(FPoints[0].Elevation);
    std::string Text;
    for (const TPoint& Point : FPoints)
        Text += (Text.empty() ? "" : " ") + DegreesText(Point.Azimuth) + ":" + DegreesText(Point.Elevation);
    return Text;
}

uint32_t BaudRateOf(std::string_view Text) {
    const std::string Digits = Folded(Text);
    const std::optional<int32_t> Rate =
        Digits.find_first_not_of("0123456789") == std::string::npos ? ParseInteger(Digits) : std::nullopt;
    return Rate && *Rate >= static_cast<int32_t>(kLowestBaudRate) && *Rate <= static_cast<int32_t>(kHighestBaudRate)
               ? static_cast<uint32_t>(*Rate)
               : TSettings().BaudRate;
}

std::string RotorAddressOf(std::string_view Text) {
    if (!ParseRotorAddress(Text))
        return {};
    return std::string(Trimmed(Text));
}

std::string DegreesText(double Degrees) {
    char Text[32];
    const auto End = std::to_chars(Text, Text + sizeof Text, Degrees + 0.0).ptr;  // no "-0"
    return std::string(Text, End);
}

TSettings ReadSettings(const TSettingReader& Read) {
    TSettings Settings;
    Settings.AzimuthRange = AzimuthRangeOf(Read(kAzimuthRangeValue));
    Settings.ElevationRange = ElevationRangeOf(Read(kElevationRangeValue));
    Settings.PointAhead = Folded(Read(kPointAheadValue)) == "1";
    Settings.Tolerance = ToleranceOf(Read(kToleranceValue));
    Settings.Unattended = Folded(Read(kUnattendedValue)) == "1";
    Settings.NetworkPort = NetworkPortOf(Read(kNetworkPortValue));
    Settings.NetworkAddress = AddressOf(Read(kNetworkAddressValue));
    const std::string Park = Read(kParkPositionValue);
    const std::optional<TSkyPosition> Position = ParkPositionOf(Park);
    Settings.ParkPosition = Position.value_or(TSkyPosition());
    Settings.ParkPositionKept = !Position && !Folded(Park).empty();
    Settings.AzimuthOffset = AzimuthOffsetOf(Read(kAzimuthOffsetValue)).value_or(0);
    Settings.ElevationOffset = ElevationOffsetOf(Read(kElevationOffsetValue)).value_or(0);
    Settings.HorizonMask = HorizonMaskOf(Read(kHorizonMaskValue)).value_or(THorizonMask());
    Settings.BetweenPasses = BetweenPassesOf(Read(kBetweenPassesValue));
    Settings.RotorAddress = RotorAddressOf(Read(kRotorAddressValue));
    Settings.BaudRate = BaudRateOf(Read(kBaudRateValue));
    return Settings;
}

void WriteSettings(const TSettings& Settings, const TSettingWriter& Write) {
    Write(kAzimuthRangeValue, kAzimuthRanges[Settings.AzimuthRange].Value);
    Write(kElevationRangeValue, kElevationRanges[Settings.ElevationRange].Value);
    Write(kPointAheadValue, Settings.PointAhead ? "1" : "0");
    Write(kToleranceValue, DegreesText(Settings.Tolerance));
    Write(kUnattendedValue, Settings.Unattended ? "1" : "0");
    Write(kNetworkPortValue, std::to_string(Settings.NetworkPort));
    Write(kNetworkAddressValue, Settings.NetworkAddress);
    if (!Settings.ParkPositionKept)
        Write(kParkPositionValue,
              DegreesText(Settings.ParkPosition.Azimuth) + " " + DegreesText(Settings.ParkPosition.Elevation));
    Write(kAzimuthOffsetValue, DegreesText(Settings.AzimuthOffset));
    Write(kElevationOffsetValue, DegreesText(Settings.ElevationOffset));
    Write(kHorizonMaskValue, Settings.HorizonMask.Text());
    Write(kBetweenPassesValue, kBetweenPasses[Settings.BetweenPasses].Value);
    Write(kRotorAddressValue, Settings.RotorAddress);
    Write(kBaudRateValue, std::to_string(Settings.BaudRate));
}
