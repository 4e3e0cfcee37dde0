// Any tracking line must parse without fault and its texts must format.
// Keys and values are case-blind, so a line and its lower-case twin must
// give the same record.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "main/SatData.h"

namespace {
bool Same(const TSatData& A, const TSatData& B) {
    return A.SatName == B.SatName && A.Azimuth == B.Azimuth && A.Elevation == B.Elevation && A.Uplink == B.Uplink &&
           A.Downlink == B.Downlink && A.UplinkMode == B.UplinkMode && A.DownlinkMode == B.DownlinkMode;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    std::string Text(reinterpret_cast<const char*>(Data), Size);
    TSatData Record;
    ParseSatData(Text, Record);
    (void)SatDataTexts(Record);

    std::string Lower = Text;
    for (char& C : Lower)
        if (C >= 'A' && C <= 'Z')
            C = static_cast<char>(C - 'A' + 'a');
    TSatData Twin;
    ParseSatData(Lower, Twin);
    if (!Same(Record, Twin))
        std::abort();
    return 0;
}
