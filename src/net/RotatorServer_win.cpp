#include "net/RotatorServer_win.h"

#include <ws2tcpip.h>

#include "framework/Exceptions.h"
#include "framework/WindowIds.h"

namespace {

// A client's events; FD_CLOSE comes once, after which reads find the end.
constexpr long kClientEvents = FD_READ | FD_WRITE | FD_CLOSE;
// Read per event at most, so that a flooding client cannot hold the window;
// Winsock posts FD_READ again while bytes are waiting.
constexpr int kReadPerEvent = 64 * 1024;

[[noreturn]] void CannotListen(const std::string& Address, uint16_t Port, int Error) {
    std::string Why;
    switch (Error) {
        case WSAEADDRINUSE:
        case WSAEACCES:
            Why = "the port is in use by another program";
            break;
        case WSAEADDRNOTAVAIL:
            Why = "the address is not one of this computer's";
            break;
        case WSAHOST_NOT_FOUND:
        case WSANO_DATA:
        case WSAEINVAL:
            Why = "the address is no numeric IP address";
            break;
        default:
            Why = "Winsock error " + std::to_string(Error);
            break;
    }
    throw Exception("Network control cannot listen on " + AddressText(Address, Port) + ": " + Why +
                    ". Gyrotalk runs on without it.");
}

// A socket that takes and refuses connections until it is closed.
TSocket Listener(const std::string& Address, uint16_t Port) {
    addrinfo Hints{};
    Hints.ai_family = AF_UNSPEC;
    Hints.ai_socktype = SOCK_STREAM;
    Hints.ai_protocol = IPPROTO_TCP;
    Hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* Found = nullptr;
    if (int Error = getaddrinfo(Address.c_str(), std::to_string(Port).c_str(), &Hints, &Found))
        CannotListen(Address, Port, Error);
    TSocket Socket(socket(Found->ai_family, Found->ai_socktype, Found->ai_protocol));
    // No other program may take over the port while it is ours.
    const BOOL Exclusive = TRUE;
    const bool Bound = Socket &&
                       setsockopt(Socket.Get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                                  reinterpret_cast<const char*>(&Exclusive), sizeof Exclusive) == 0 &&
                       bind(Socket.Get(), Found->ai_addr, static_cast<int>(Found->ai_addrlen)) == 0 &&
                       listen(Socket.Get(), SOMAXCONN) == 0;
    const int Error = WSAGetLastError();
    freeaddrinfo(Found);
    if (!Bound)
        CannotListen(Address, Port, Error);
    return Socket;
}

bool WouldBlock() {
    return WSAGetLastError() == WSAEWOULDBLOCK;
}

}  // namespace

TRotatorServer::TRotatorServer(TRotatorHandler& Rotator, const std::string& Address, uint16_t Port)
    : FRotator(Rotator),
      FListener(Listener(Address, Port)),
      FWindow([this](HWND Window, UINT Message, WPARAM W, LPARAM L) { return Handle(Window, Message, W, L); }) {
    if (WSAAsyncSelect(FListener.Get(), FWindow.Handle(), kSocketMessage, FD_ACCEPT) != 0)
        CannotListen(Address, Port, WSAGetLastError());
}

LRESULT TRotatorServer::Handle(HWND Window, UINT Message, WPARAM W, LPARAM L) {
    if (Message != kSocketMessage)
        return DefWindowProcA(Window, Message, W, L);
    const auto Socket = static_cast<SOCKET>(W);
    if (Socket == FListener.Get()) {
        AcceptAll();
        return 0;
    }
    // Events of a socket closed since are still queued: they find no client.
    auto Found = FClients.find(Socket);
    if (Found == FClients.end())
        return 0;
    const bool Keep = WSAGETSELECTEVENT(L) == FD_WRITE ? Flush(Found->second) : Serve(Found->second);
    if (!Keep)
        FClients.erase(Found);
    return 0;
}

void TRotatorServer::AcceptAll() {
    for (bool Refused = false;;) {
        TSocket Socket(accept(FListener.Get(), nullptr, nullptr));
        if (!Socket) {
            // Under Wine, closing a refused socket (which had the listener's
            // selection) was seen to leave the listener without its next
            // FD_ACCEPT: selecting again brings it back.
            if (Refused)
                WSAAsyncSelect(FListener.Get(), FWindow.Handle(), kSocketMessage, FD_ACCEPT);
            return;  // none waiting, or one that has gone again
        }
        if (FClients.size() >= kMaxClients) {
            Refused = true;
            continue;  // refused: closed at once
        }
        // Answers are small and awaited: send each at once (best effort: without it they only wait longer).
        const BOOL NoDelay = TRUE;
        setsockopt(Socket.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&NoDelay), sizeof NoDelay);
        if (WSAAsyncSelect(Socket.Get(), FWindow.Handle(), kSocketMessage, kClientEvents) != 0)
            continue;
        const SOCKET Key = Socket.Get();
        auto Client = FClients.emplace(Key, TClient{std::move(Socket), TRotatorSession(FRotator)}).first;
        // A connection that ended before its selection began (reset at
        // once, as by a client that crashed) brings no event: look now.
        if (!Serve(Client->second))
            FClients.erase(Client);
    }
}

bool TRotatorServer::Serve(TClient& Client) {
    char Buffer[4096];
    for (int Total = 0; Total < kReadPerEvent && !Client.Session.Quit();) {
        const int Count = recv(Client.Socket.Get(), Buffer, sizeof Buffer, 0);
        if (Count == 0)
            return false;  // the client has closed its side
        if (Count < 0) {
            if (!WouldBlock())
                return false;
            break;
        }
        Client.Session.Receive(std::string_view(Buffer, Count));
        if (!Flush(Client) || Client.Session.Overflowed())
            return false;
        Total += Count;
    }
    return !Client.Session.Quit();
}

bool TRotatorServer::Flush(TClient& Client) {
    while (!Client.Session.Output().empty()) {
        const std::string& Output = Client.Session.Output();
        const int Count = send(Client.Socket.Get(), Output.data(), static_cast<int>(Output.size()), 0);
        if (Count < 0)
            return WouldBlock();  // the rest goes at FD_WRITE
        Client.Session.Sent(Count);
    }
    return true;
}
