#pragma once
// Where a rotor on the network is reached: "HOST:PORT", HOST a name, an
// IPv4 address or an IPv6 address in brackets ("[::1]:4001"), for a
// controller of the family; "rotctld://HOST:PORT" for Hamlib's rotator
// daemon, whatever rotor it drives. No Windows call here.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct TRotorAddress {
    std::string Host;  // without brackets
    uint16_t Port = 0;
    bool Rotctld = false;  // Hamlib's daemon, not a controller
};

inline constexpr std::string_view kRotctldScheme = "rotctld://";

// None for a text that is no such address; blanks around it are ignored.
std::optional<TRotorAddress> ParseRotorAddress(std::string_view Text);
