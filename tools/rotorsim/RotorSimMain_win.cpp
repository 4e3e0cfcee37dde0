// RotorSimulator: the rotator controller on a TCP port, for trying Gyrotalk
// on Windows without a controller (there are no terminals to play one on
// here). See kSimUsage (--help) for the options and the log.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "RotorSim.h"
#include "SimListener.h"
#include "SimLogFile.h"

namespace {

double MonotonicMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

[[noreturn]] void Die(const std::string& What) {
    throw std::runtime_error(What + " (Winsock error " + std::to_string(WSAGetLastError()) + ")");
}

struct TSocketOwner {
    SOCKET Socket = INVALID_SOCKET;
    explicit TSocketOwner(SOCKET S = INVALID_SOCKET) : Socket(S) {}
    ~TSocketOwner() { Reset(); }
    TSocketOwner(const TSocketOwner&) = delete;
    TSocketOwner& operator=(const TSocketOwner&) = delete;
    void Reset(SOCKET S = INVALID_SOCKET) {
        if (Socket != INVALID_SOCKET)
            closesocket(Socket);
        Socket = S;
    }
    bool Valid() const { return Socket != INVALID_SOCKET; }
};

std::atomic<bool> StopAsked = false;

BOOL WINAPI OnConsoleEvent(DWORD) {
    StopAsked = true;
    return TRUE;
}

// What the line takes now; the rest of a reply to a client that stopped
// reading is lost, as on a line nobody listens to.
void Send(TSocketOwner& Client, const TBytes& Bytes, TRotorSim& Sim) {
    size_t Done = 0;
    while (Client.Valid() && Done < Bytes.size()) {
        const int Put = send(Client.Socket, reinterpret_cast<const char*>(Bytes.data() + Done),
                             static_cast<int>(Bytes.size() - Done), 0);
        if (Put <= 0)
            break;
        Done += static_cast<size_t>(Put);
    }
    if (Done < Bytes.size())
        Sim.Note("tx-lost " + std::to_string(Bytes.size() - Done), MonotonicMs());
}

int Run(const TSimOptions& Options) {
    TSimLogFile Log(Options.Log);
    const TListening Listening = ListenTcp(Options.Address, *Options.TcpPort);
    TSocketOwner Listener(Listening.Socket);
    std::printf("%s\n", Listening.Where.c_str());
    std::fflush(stdout);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);

    TRotorSim Sim(
        Options.Settings, [&Log](const std::string& Text) { Log.Put(Text); }, MonotonicMs());
    TSocketOwner Client;
    while (!StopAsked && !Sim.QuitRequested()) {
        fd_set Readable;
        FD_ZERO(&Readable);
        FD_SET(Listener.Socket, &Readable);
        if (Client.Valid())
            FD_SET(Client.Socket, &Readable);
        // Short enough to notice Ctrl+C soon.
        const auto Wake = Sim.NextWakeMs();
        const double WaitMs = std::clamp(Wake ? *Wake - MonotonicMs() : 250.0, 0.0, 250.0);
        timeval Timeout{0, static_cast<long>(WaitMs * 1000)};
        if (select(0, &Readable, nullptr, nullptr, &Timeout) == SOCKET_ERROR)
            Die("select");
        if (FD_ISSET(Listener.Socket, &Readable)) {
            sockaddr_storage Peer{};
            int Length = sizeof Peer;
            TSocketOwner Caller(accept(Listener.Socket, reinterpret_cast<sockaddr*>(&Peer), &Length));
            if (Caller.Valid() && Client.Valid()) {
                Sim.Note("refused " + PeerText(Peer), MonotonicMs());  // closed at once: the line has its client
            } else if (Caller.Valid()) {
                const BOOL NoDelay = TRUE;
                setsockopt(Caller.Socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&NoDelay),
                           sizeof NoDelay);
                Client.Reset(Caller.Socket);
                Caller.Socket = INVALID_SOCKET;
                Sim.LineChanged("connected " + PeerText(Peer), MonotonicMs());
            }
        }
        if (Client.Valid() && FD_ISSET(Client.Socket, &Readable)) {
            uint8_t Buffer[4096];
            const int Got = recv(Client.Socket, reinterpret_cast<char*>(Buffer), sizeof Buffer, 0);
            if (Got > 0) {
                Sim.Receive(std::span<const uint8_t>(Buffer, static_cast<size_t>(Got)), MonotonicMs());
            } else {
                Client.Reset();
                Sim.LineChanged("disconnected", MonotonicMs());
            }
        }
        Send(Client, Sim.Poll(MonotonicMs()), Sim);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    TSimOptions Options;
    try {
        Options = ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc));
        if (!Options.Help && (!Options.TcpPort || !Options.Link.empty() || !Options.Device.empty() ||
                              !Options.Control.empty() || !Options.Command.empty()))
            throw std::invalid_argument(
                "on Windows it answers on TCP only: --tcp PORT, and no --link, --device, "
                "--control or command");
    } catch (const std::invalid_argument& Error) {
        std::fprintf(stderr, "RotorSimulator: %s\n%s", Error.what(), kSimUsage);
        return 2;
    }
    if (Options.Help) {
        std::fputs(kSimUsage, stdout);
        return 0;
    }
    WSADATA Data;
    if (WSAStartup(MAKEWORD(2, 2), &Data) != 0) {
        std::fprintf(stderr, "RotorSimulator: Winsock cannot start\n");
        return 1;
    }
    int Status = 1;
    try {
        Status = Run(Options);
    } catch (const std::runtime_error& Error) {
        std::fprintf(stderr, "RotorSimulator: %s\n", Error.what());
    }
    WSACleanup();
    return Status;
}
