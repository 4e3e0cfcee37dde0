#include "main/RotorProtocol.h"

#include "main/FrameProtocol.h"
#include "main/RotctldProtocol.h"
#include "main/RotorAddress.h"

std::unique_ptr<TRotorProtocol> RotorProtocolFor(std::string_view Address) {
    const auto Parsed = ParseRotorAddress(Address);
    if (Parsed && Parsed->Rotctld)
        return std::make_unique<TRotctldProtocol>();
    return std::make_unique<TFrameProtocol>();
}
