#include "SimListener.h"

#include <stdexcept>

#ifdef _WIN32
namespace {
void CloseSocket(TSocketHandle Socket) {
    closesocket(Socket);
}
std::string LastError() {
    return "Winsock error " + std::to_string(WSAGetLastError());
}
bool MakeNonBlocking(TSocketHandle Socket) {
    u_long On = 1;
    return ioctlsocket(Socket, FIONBIO, &On) == 0;
}
// There a port is free again at once, and SO_REUSEADDR would let another
// program share it with us.
bool ShareAfterARun(TSocketHandle) {
    return true;
}
constexpr TSocketHandle kNoSocket = INVALID_SOCKET;
}  // namespace
#else
#include <fcntl.h>
#include <netdb.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
void CloseSocket(TSocketHandle Socket) {
    close(Socket);
}
std::string LastError() {
    return std::strerror(errno);
}
bool MakeNonBlocking(TSocketHandle Socket) {
    return fcntl(Socket, F_SETFL, O_NONBLOCK) == 0 && fcntl(Socket, F_SETFD, FD_CLOEXEC) == 0;
}
bool ShareAfterARun(TSocketHandle Socket) {
    const int Reuse = 1;
    return setsockopt(Socket, SOL_SOCKET, SO_REUSEADDR, &Reuse, sizeof Reuse) == 0;
}
constexpr TSocketHandle kNoSocket = -1;
}  // namespace
#endif

namespace {

std::string Numeric(const sockaddr* Address, socklen_t Length, std::string* Port = nullptr) {
    char Host[NI_MAXHOST] = "?", Service[NI_MAXSERV] = "";
    getnameinfo(Address, Length, Host, sizeof Host, Service, sizeof Service, NI_NUMERICHOST | NI_NUMERICSERV);
    if (Port)
        *Port = Service;
    return Host;
}

}  // namespace

TListening ListenTcp(const std::string& Address, uint16_t Port) {
    addrinfo Hints{};
    Hints.ai_family = AF_UNSPEC;
    Hints.ai_socktype = SOCK_STREAM;
    Hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* Found = nullptr;
    if (getaddrinfo(Address.c_str(), std::to_string(Port).c_str(), &Hints, &Found) != 0)
        throw std::runtime_error(Address + " is no numeric address to listen on");
    const TSocketHandle Socket = socket(Found->ai_family, SOCK_STREAM, IPPROTO_TCP);
    const bool Listening = Socket != kNoSocket && MakeNonBlocking(Socket) && ShareAfterARun(Socket) &&
                           bind(Socket, Found->ai_addr, static_cast<int>(Found->ai_addrlen)) == 0 &&
                           listen(Socket, 4) == 0;
    freeaddrinfo(Found);
    if (!Listening) {
        const std::string Why = LastError();
        if (Socket != kNoSocket)
            CloseSocket(Socket);
        throw std::runtime_error("cannot listen on " + Address + ":" + std::to_string(Port) + ": " + Why);
    }
    sockaddr_storage Bound{};
    socklen_t Length = sizeof Bound;
    getsockname(Socket, reinterpret_cast<sockaddr*>(&Bound), &Length);
    std::string Taken;
    const std::string Host = Numeric(reinterpret_cast<const sockaddr*>(&Bound), Length, &Taken);
    return {Socket, (Host.find(':') == std::string::npos ? Host : "[" + Host + "]") + ":" + Taken};
}

std::string PeerText(const sockaddr_storage& Peer) {
    return Numeric(reinterpret_cast<const sockaddr*>(&Peer), sizeof Peer);
}
