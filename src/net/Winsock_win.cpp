#include "net/Winsock_win.h"

#include "framework/Exceptions.h"

TWinsock::TWinsock() {
    WSADATA Data;
    if (int Error = WSAStartup(MAKEWORD(2, 2), &Data))
        throw Exception("Winsock cannot start (error " + std::to_string(Error) + ")");
}

std::string AddressText(const std::string& Address, uint16_t Port) {
    return (Address.find(':') == std::string::npos ? Address : "[" + Address + "]") + ":" + std::to_string(Port);
}
