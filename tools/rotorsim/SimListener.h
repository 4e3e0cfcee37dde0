#pragma once
// The simulator's TCP side, alike on Linux and Windows: the socket it
// listens on, and addresses as a user writes them.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using TSocketHandle = SOCKET;
#else
#include <sys/socket.h>
using TSocketHandle = int;
#endif

#include <cstdint>
#include <string>

struct TListening {
    TSocketHandle Socket;  // non-blocking; the caller closes it
    std::string Where;     // "ADDRESS:PORT" as taken ("[::1]:4001")
};

// Listens on Address (a numeric IPv4 or IPv6 address) and Port (0: a free
// one); a port that a run just left may be taken again at once. Raises
// std::runtime_error with the system's reason.
TListening ListenTcp(const std::string& Address, uint16_t Port);

// The numeric address of a client.
std::string PeerText(const sockaddr_storage& Peer);
