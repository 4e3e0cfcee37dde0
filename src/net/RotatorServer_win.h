#pragma once
// The rotator protocol's TCP server: non-blocking sockets on the main
// thread, their events delivered as window messages (WSAAsyncSelect) to a
// hidden window, so no handler ever waits for a client and no thread is
// added. Winsock runs only while a server exists. At most kMaxClients at
// once; a further one is accepted and closed at once. A client that
// vanishes, sends what is no command or stops reading its answers is
// dropped without disturbing the others. Main thread only.
#include <winsock2.h>

#include <cstdint>
#include <map>
#include <string>

#include "framework/MessageWindow_win.h"
#include "net/RotatorSession.h"
#include "net/Winsock_win.h"

inline constexpr size_t kMaxClients = 16;

class TRotatorServer {
public:
    // Listens on Address (a numeric IPv4 or IPv6 address) and Port. Raises
    // Exception with a message for the user when it cannot (the port in use,
    // an address that is not this machine's). Rotator answers every
    // client's commands; not owned, it must outlive the server.
    TRotatorServer(TRotatorHandler& Rotator, const std::string& Address, uint16_t Port);
    TRotatorServer(const TRotatorServer&) = delete;
    TRotatorServer& operator=(const TRotatorServer&) = delete;

private:
    struct TClient {
        TSocket Socket;
        TRotatorSession Session;
    };

    LRESULT Handle(HWND Window, UINT Message, WPARAM W, LPARAM L);
    void AcceptAll();
    // Reads what has come, answers it and sends; false when the client is to go.
    bool Serve(TClient& Client);
    bool Flush(TClient& Client);

    TRotatorHandler& FRotator;
    TWinsock FWinsock;  // first: Winsock outlives every socket
    TSocket FListener;
    std::map<SOCKET, TClient> FClients;
    TMessageWindow FWindow;  // last: gone first, so no event reaches a server half torn down
};
