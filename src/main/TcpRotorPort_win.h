#pragma once
// The rotor over TCP: a controller's own network port, a serial-to-network
// adapter at a distant mast, a serial server next to the rotor. Bytes go
// both ways as they are (no Telnet negotiation), each write leaves at once
// (no Nagle delay), one connection at a time. Nothing here knows frames.
//
// Nothing waits: a name is looked up and the connection made while the
// message loop runs (WSAAsyncGetHostByName and WSAAsyncSelect on a hidden
// window, as network control does), so an address that does not answer
// never freezes the window; an attempt with no answer in kConnectTimeOut
// fails. Names are looked up as IPv4; an IPv6 address is given as such.
// Main thread only.
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "framework/Component.h"
#include "framework/MessageWindow_win.h"
#include "main/RotorPort.h"
#include "net/Winsock_win.h"

inline constexpr unsigned kConnectTimeOut = 5000;  // ms

class TTcpRotorPort : public TRotorPort {
public:
    using TFailureEvent = std::function<void(const std::exception& Error)>;

    TTcpRotorPort() = default;
    ~TTcpRotorPort() override;  // closes, raising no event
    TTcpRotorPort(const TTcpRotorPort&) = delete;
    TTcpRotorPort& operator=(const TTcpRotorPort&) = delete;

    // Starts connecting to Address ("HOST:PORT", RotorAddress.h); nothing
    // while connecting or connected. Raises Exception when the attempt
    // cannot even start (no such address, no Winsock); how it ends comes
    // later, as OnAfterOpen or OnOpenFailed.
    void Open(const std::string& Address);
    // Ends the connection, or the attempt under way; OnAfterClose when it
    // was connected.
    void Close();
    bool Connecting() const { return FState == tsConnecting; }
    bool Connected() override { return FState == tsConnected; }
    // Raises Exception when not connected. What the socket cannot take at
    // once goes as soon as it can; a connection found broken is lost.
    void Write(const std::string& Bytes) override;
    std::string Read(int Count) override;
    void DropInput() override;

    TNotifyEvent OnAfterOpen;
    TNotifyEvent OnAfterClose;
    std::function<void(int Count)> OnRxChar;  // the bytes waiting; raised when bytes arrived
    TFailureEvent OnOpenFailed;               // no such host, refused, no answer in time
    TFailureEvent OnLost;                     // broken or closed by the far end; closed already

private:
    enum TState { tsClosed, tsConnecting, tsConnected };

    LRESULT Handle(HWND Window, UINT Message, WPARAM W, LPARAM L);
    // 0, or the Winsock error that kept the connection from starting.
    int StartConnect(const sockaddr* Address, int Length);
    void LookedUp(HANDLE Lookup, int Error);
    void SocketEvent(int Event, int Error);
    // Takes what has come into FInput; 0, or why the connection has ended
    // (-1: closed by the far end). Receive also tells OnRxChar.
    int Take();
    int Receive();
    void Flush();
    void Fail(int Error);
    void Lose(int Error);
    std::string Where() const;

    std::optional<TWinsock> FWinsock;  // first: it outlives the socket
    TSocket FSocket;
    TState FState = tsClosed;
    std::string FAddress;
    uint16_t FPort = 0;
    std::string FInput;   // received, not read yet
    std::string FOutput;  // written, not sent yet
    // Look-ups under way with the buffer each one fills, kept until its
    // answer comes, even when given up: Winsock writes there till then.
    std::map<HANDLE, std::unique_ptr<char[]>> FLookups;
    HANDLE FLookup = nullptr;                 // the one the attempt under way waits for
    std::unique_ptr<TMessageWindow> FWindow;  // last: gone first, so no event reaches a port half torn down
};
