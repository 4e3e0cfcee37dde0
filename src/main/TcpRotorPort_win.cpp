#include "main/TcpRotorPort_win.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>

#include "framework/Exceptions.h"
#include "framework/WindowIds.h"
#include "main/RotorAddress.h"

namespace {

constexpr long kEvents = FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE;
// Read per event at most, so that a flooding peer cannot hold the window;
// Winsock posts FD_READ again while bytes are waiting.
constexpr int kReadPerEvent = 64 * 1024;
constexpr int kClosedByPeer = -1;

std::string Why(int Error) {
    switch (Error) {
        case kClosedByPeer:
            return "the far end closed the connection";
        case WSAECONNREFUSED:
            return "the connection was refused";
        case WSAETIMEDOUT:
            return "no answer";
        case WSAENETUNREACH:
        case WSAEHOSTUNREACH:
            return "the host cannot be reached";
        case WSAHOST_NOT_FOUND:
        case WSANO_DATA:
        case WSATRY_AGAIN:
            return "no such host";
        case WSAECONNRESET:
        case WSAECONNABORTED:
            return "the connection was reset";
        default:
            return "Winsock error " + std::to_string(Error);
    }
}

}  // namespace

TTcpRotorPort::~TTcpRotorPort() {
    // A look-up still under way writes into its buffer when it ends: left to it.
    for (auto& [Lookup, Buffer] : FLookups)
        (void)Buffer.release();
}

std::string TTcpRotorPort::Where() const {
    return "The rotor at " + FAddress;
}

void TTcpRotorPort::Open(const std::string& Address) {
    if (FState != tsClosed)
        return;
    const auto Parsed = ParseRotorAddress(Address);
    if (!Parsed)
        throw Exception("\"" + Address + "\" is no rotor address of the form HOST:PORT");
    if (!FWinsock)
        FWinsock.emplace();
    if (!FWindow)
        FWindow = std::make_unique<TMessageWindow>(
            [this](HWND Window, UINT Message, WPARAM W, LPARAM L) { return Handle(Window, Message, W, L); });
    FAddress = Address;
    FPort = Parsed->Port;
    addrinfo Hints{};
    Hints.ai_family = AF_UNSPEC;
    Hints.ai_socktype = SOCK_STREAM;
    Hints.ai_protocol = IPPROTO_TCP;
    Hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* Numeric = nullptr;
    int Error = 0;
    if (getaddrinfo(Parsed->Host.c_str(), std::to_string(FPort).c_str(), &Hints, &Numeric) == 0) {
        Error = StartConnect(Numeric->ai_addr, static_cast<int>(Numeric->ai_addrlen));
        freeaddrinfo(Numeric);
    } else {
        // A name: looked up while the message loop runs.
        auto Buffer = std::make_unique<char[]>(MAXGETHOSTSTRUCT);
        FLookup = WSAAsyncGetHostByName(FWindow->Handle(), kRotorLookupMessage, Parsed->Host.c_str(), Buffer.get(),
                                        MAXGETHOSTSTRUCT);
        if (FLookup)
            FLookups.emplace(FLookup, std::move(Buffer));
        else
            Error = WSAGetLastError();
    }
    if (Error) {
        Close();
        throw Exception(Where() + " cannot be reached: " + Why(Error));
    }
    FState = tsConnecting;
    SetTimer(FWindow->Handle(), kConnectTimerId, kConnectTimeOut, nullptr);
}

int TTcpRotorPort::StartConnect(const sockaddr* Address, int Length) {
    FSocket.Reset(socket(Address->sa_family, SOCK_STREAM, IPPROTO_TCP));
    if (!FSocket)
        return WSAGetLastError();
    // A frame is small and awaited: it leaves at once (best effort: without it, it only leaves later).
    const BOOL NoDelay = TRUE;
    setsockopt(FSocket.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&NoDelay), sizeof NoDelay);
    if (WSAAsyncSelect(FSocket.Get(), FWindow->Handle(), kRotorSocketMessage, kEvents) != 0)
        return WSAGetLastError();
    if (connect(FSocket.Get(), Address, Length) != 0 && WSAGetLastError() != WSAEWOULDBLOCK)
        return WSAGetLastError();
    return 0;  // FD_CONNECT tells how it ends
}

void TTcpRotorPort::Close() {
    if (FWindow)
        KillTimer(FWindow->Handle(), kConnectTimerId);
    FLookup = nullptr;
    FSocket.Reset();
    FInput.clear();
    FOutput.clear();
    const bool WasConnected = FState == tsConnected;
    FState = tsClosed;
    if (WasConnected && OnAfterClose)
        OnAfterClose();
}

LRESULT TTcpRotorPort::Handle(HWND Window, UINT Message, WPARAM W, LPARAM L) {
    switch (Message) {
        case kRotorLookupMessage:
            LookedUp(reinterpret_cast<HANDLE>(W), WSAGETASYNCERROR(L));
            return 0;
        case kRotorSocketMessage:
            // Events of a socket closed since are still queued: they find another, or none.
            if (FState != tsClosed && static_cast<SOCKET>(W) == FSocket.Get())
                SocketEvent(WSAGETSELECTEVENT(L), WSAGETSELECTERROR(L));
            return 0;
        case WM_TIMER:
            if (W == kConnectTimerId && Connecting())
                Fail(WSAETIMEDOUT);
            return 0;
        default:
            return DefWindowProcA(Window, Message, W, L);
    }
}

void TTcpRotorPort::LookedUp(HANDLE Lookup, int Error) {
    const auto Found = FLookups.find(Lookup);
    if (Found == FLookups.end())
        return;
    const std::unique_ptr<char[]> Buffer = std::move(Found->second);
    FLookups.erase(Found);
    if (Lookup != FLookup || !Connecting())
        return;  // given up since
    FLookup = nullptr;
    const auto* Host = reinterpret_cast<const hostent*>(Buffer.get());
    if (!Error && (Host->h_addrtype != AF_INET || !Host->h_addr_list[0]))
        Error = WSANO_DATA;
    if (!Error) {
        sockaddr_in Address{};
        Address.sin_family = AF_INET;
        Address.sin_port = htons(FPort);
        memcpy(&Address.sin_addr, Host->h_addr_list[0], sizeof Address.sin_addr);
        Error = StartConnect(reinterpret_cast<const sockaddr*>(&Address), sizeof Address);
    }
    if (Error)
        Fail(Error);
}

void TTcpRotorPort::SocketEvent(int Event, int Error) {
    switch (Event) {
        case FD_CONNECT:
            if (Error)
                return Fail(Error);
            KillTimer(FWindow->Handle(), kConnectTimerId);
            FState = tsConnected;
            if (OnAfterOpen)
                OnAfterOpen();
            return;
        case FD_READ:
            if (const int Ended = Receive())
                Lose(Ended);
            return;
        case FD_WRITE:
            return Flush();
        case FD_CLOSE: {
            // What came before the end is delivered first.
            const int Ended = Receive();
            return Lose(Error ? Error : Ended ? Ended : kClosedByPeer);
        }
        default:
            return;
    }
}

int TTcpRotorPort::Receive() {
    const size_t Before = FInput.size();
    const int Ended = Take();
    if (FInput.size() > Before && OnRxChar)
        OnRxChar(static_cast<int>(FInput.size()));
    return Connected() ? Ended : 0;  // closed by the handler: nothing more to tell
}

int TTcpRotorPort::Take() {
    char Buffer[4096];
    int Ended = 0;
    for (int Total = 0; Total < kReadPerEvent;) {
        const int Count = recv(FSocket.Get(), Buffer, sizeof Buffer, 0);
        if (Count > 0) {
            FInput.append(Buffer, static_cast<size_t>(Count));
            Total += Count;
            continue;
        }
        if (Count < 0 && WSAGetLastError() != WSAEWOULDBLOCK)
            Ended = WSAGetLastError();
        else if (Count == 0)
            Ended = kClosedByPeer;
        break;
    }
    return Ended;
}

void TTcpRotorPort::Write(const std::string& Bytes) {
    if (!Connected())
        throw Exception(Where() + " is not connected");
    FOutput += Bytes;
    Flush();
}

void TTcpRotorPort::Flush() {
    while (Connected() && !FOutput.empty()) {
        const int Count = send(FSocket.Get(), FOutput.data(), static_cast<int>(FOutput.size()), 0);
        if (Count < 0) {
            if (WSAGetLastError() != WSAEWOULDBLOCK)
                Lose(WSAGetLastError());
            return;  // the rest goes at FD_WRITE
        }
        FOutput.erase(0, static_cast<size_t>(Count));
    }
}

std::string TTcpRotorPort::Read(int Count) {
    std::string Bytes = FInput.substr(0, static_cast<size_t>(std::max(Count, 0)));
    FInput.erase(0, Bytes.size());
    return Bytes;
}

void TTcpRotorPort::DropInput() {
    // Also what has come and is not announced yet. An end found here is
    // told by its own event (FD_CLOSE), which is on its way.
    if (Connected())
        Take();
    FInput.clear();
}

void TTcpRotorPort::Fail(int Error) {
    Close();
    if (OnOpenFailed)
        OnOpenFailed(Exception(Where() + " cannot be reached: " + Why(Error)));
}

void TTcpRotorPort::Lose(int Error) {
    if (!Connected())
        return;
    Close();
    if (OnLost)
        OnLost(Exception("The connection to the rotor at " + FAddress + " was lost: " + Why(Error)));
}
