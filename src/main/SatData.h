#pragma once
// The tracking record and the parser of the tracking program's line.
// Text is 8-bit; positions are 1-based, 0 meaning "not found".
#include <string>
#include <string_view>

struct TSatData {
    std::string SatName = "?";  // "?" marks a record that holds no satellite
    double Azimuth = 0;
    double Elevation = 0;
    double Uplink = 0;
    double Downlink = 0;
    std::string UplinkMode;
    std::string DownlinkMode;
};

// The one record of the process. Main thread only.
extern TSatData SatData;

// Fills every field of Data from Text; empty text clears the record. Never fails.
void ParseSatData(std::string_view Text, TSatData& Data);

// The value behind the first unquoted word that starts with Key, or empty.
std::string GetKeyValue(std::string_view Text, std::string_view Key);
// Position of the first occurrence of Key outside double-quoted stretches, or 0.
size_t PosUnquoted(std::string_view Text, std::string_view Key);
// Replaces every occurrence of Search; nothing when Search is empty or equals Replacement.
void ReplaceAll(std::string& Text, std::string_view Search, std::string_view Replacement);
// The decimal number the whole text spells, or 0.
double TextToFloat(std::string_view Text);

// The seven texts that the window shows for a record, in label order.
struct TSatDataTexts {
    std::string Name, Azimuth, Elevation, Uplink, Downlink, UplinkMode, DownlinkMode;
};
TSatDataTexts SatDataTexts(const TSatData& Data);
