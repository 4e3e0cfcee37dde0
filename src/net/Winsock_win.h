#pragma once
// Winsock for the program's own sockets: started while a user of it lives,
// and a socket's owner. Main thread only.
#include <winsock2.h>

#include <cstdint>
#include <string>

#include "framework/Handles_win.h"

class TWinsock {
public:
    TWinsock();  // raises Exception when Winsock cannot start
    ~TWinsock() { WSACleanup(); }
    TWinsock(const TWinsock&) = delete;
    TWinsock& operator=(const TWinsock&) = delete;
};

struct TSocketTraits {
    static SOCKET Invalid() { return INVALID_SOCKET; }
    static void Close(SOCKET S) { ::closesocket(S); }
};
using TSocket = TUniqueHandle<SOCKET, TSocketTraits>;

// A numeric address and port as a user writes them: "[::1]:4533" for IPv6.
std::string AddressText(const std::string& Address, uint16_t Port);
