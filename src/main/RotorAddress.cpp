#include "main/RotorAddress.h"

#include <algorithm>
#include <charconv>

#include "framework/Numbers.h"

namespace {

bool IsNameChar(char Char) {
    return (Char >= 'a' && Char <= 'z') || (Char >= 'A' && Char <= 'Z') || (Char >= '0' && Char <= '9') ||
           Char == '-' || Char == '.' || Char == '_';
}

bool IsIPv6Char(char Char) {
    return (Char >= '0' && Char <= '9') || (Char >= 'a' && Char <= 'f') || (Char >= 'A' && Char <= 'F') ||
           Char == ':' || Char == '.';
}

}  // namespace

std::optional<TRotorAddress> ParseRotorAddress(std::string_view Text) {
    Text = Trimmed(Text);
    const bool Rotctld = AsciiUpperCase(Text.substr(0, kRotctldScheme.size())) == AsciiUpperCase(kRotctldScheme);
    if (Rotctld)
        Text.remove_prefix(kRotctldScheme.size());
    const size_t Colon = Text.rfind(':');
    if (Colon == std::string_view::npos)
        return std::nullopt;
    std::string_view Host = Text.substr(0, Colon);
    const std::string_view Port = Text.substr(Colon + 1);
    const bool Bracketed = Host.size() > 2 && Host.front() == '[' && Host.back() == ']';
    if (Bracketed) {
        Host = Host.substr(1, Host.size() - 2);
        if (!std::ranges::all_of(Host, IsIPv6Char) || Host.find(':') == std::string_view::npos)
            return std::nullopt;
    } else if (Host.empty() || !std::ranges::all_of(Host, IsNameChar)) {
        return std::nullopt;  // an IPv6 address without brackets among them: its last group would be the port
    }
    unsigned Number = 0;
    const auto [End, Error] = std::from_chars(Port.data(), Port.data() + Port.size(), Number);
    if (Port.empty() || Error != std::errc() || End != Port.data() + Port.size() || Number < 1 || Number > 65535)
        return std::nullopt;
    return TRotorAddress{std::string(Host), static_cast<uint16_t>(Number), Rotctld};
}
