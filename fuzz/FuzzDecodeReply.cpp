// Any reply, of any length, decodes without reading past its end, and the
// set point that follows never puts a non-digit byte on the wire.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "main/RotorFrames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    std::string_view Reply(reinterpret_cast<const char*>(Data), Size);
    auto State = DecodeReply(Reply);
    if (!State)
        return 0;
    (void)State->AzimuthText();
    (void)State->ElevationText();
    TRotorFrame Frame = SetFrameTemplate;
    FillSetFrame(Frame, State->Azimuth, State->Elevation, *State->Divider);
    for (size_t I : {1, 2, 3, 4, 6, 7, 8, 9})
        if (Frame[I] < '0' || Frame[I] > '9')
            std::abort();
    return 0;
}
