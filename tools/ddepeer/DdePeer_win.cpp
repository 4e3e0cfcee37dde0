// ddepeer: a foreign DDE client for the end-to-end tests. It opens one
// conversation on a service and topic, tries a request, a poke, an execute
// and warm and hot advise loops in it, and prints what became of each.
#include <windows.h>
#include <ddeml.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

const char kHelp[] =
    "usage: ddepeer --service S --topic T [--item I] [--data TEXT] [--timeout MS]\n"
    "\n"
    "Opens a conversation on service S and topic T, then tries in it, in turn:\n"
    "a request and warm and hot advise starts for item I (default TrackingData),\n"
    "a poke of TEXT to I, and an execute of TEXT (default [Close]).\n"
    "Each transaction waits at most MS milliseconds (default 5000).\n"
    "\n"
    "Output on stdout, one line each:\n"
    "  connect accepted | connect refused\n"
    "  request|poke|execute|advise-warm|advise-hot taken | refused error=0xHHHH\n"
    "Exit status: 0 connected, 1 refused, 2 usage (this text on stderr).\n";

struct TOptions {
    std::string Service, Topic, Item = "TrackingData", Data = "[Close]";
    DWORD Timeout = 5000;
};

bool ParseOptions(int Argc, char** Argv, TOptions& Options) {
    for (int I = 1; I + 1 < Argc; I += 2) {
        const std::string Name = Argv[I], Value = Argv[I + 1];
        if (Name == "--service")
            Options.Service = Value;
        else if (Name == "--topic")
            Options.Topic = Value;
        else if (Name == "--item")
            Options.Item = Value;
        else if (Name == "--data")
            Options.Data = Value;
        else if (Name == "--timeout")
            Options.Timeout = std::strtoul(Value.c_str(), nullptr, 10);
        else
            return false;
    }
    return Argc % 2 == 1 && !Options.Service.empty() && !Options.Topic.empty();
}

HDDEDATA CALLBACK IgnoreAll(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

// The client's DDE instance and its string handles, released together.
class TPeer {
public:
    TPeer() {
        if (DdeInitializeA(&FInstance, IgnoreAll, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
            throw std::runtime_error("DDE could not be initialised");
    }
    ~TPeer() { DdeUninitialize(FInstance); }  // frees the names and ends the conversation too
    HSZ Name(const std::string& Text) { return DdeCreateStringHandleA(FInstance, Text.c_str(), CP_WINANSI); }
    DWORD Instance() const { return FInstance; }

private:
    DWORD FInstance = 0;
};

void Try(TPeer& Peer, HCONV Conv, const char* What, UINT Type, HSZ Item, const std::string& Data, DWORD Timeout) {
    const bool WithData = Type == XTYP_POKE || Type == XTYP_EXECUTE;
    std::string Buffer = Data;  // the transaction takes a non-const buffer, with its terminating zero
    DWORD Result = 0;
    HDDEDATA Answer =
        DdeClientTransaction(WithData ? reinterpret_cast<LPBYTE>(Buffer.data()) : nullptr,
                             WithData ? static_cast<DWORD>(Buffer.size() + 1) : 0, Conv,
                             Type == XTYP_EXECUTE ? nullptr : Item, CF_TEXT, Type, Timeout, &Result);
    if (Answer) {
        std::printf("%s taken\n", What);
        if (Type == XTYP_REQUEST)
            DdeFreeDataHandle(Answer);
    } else {
        std::printf("%s refused error=0x%04X\n", What, DdeGetLastError(Peer.Instance()));
    }
}

}  // namespace

int main(int Argc, char** Argv) {
    TOptions Options;
    if (!ParseOptions(Argc, Argv, Options)) {
        std::fputs(kHelp, stderr);
        return 2;
    }
    try {
        TPeer Peer;
        HCONV Conv = DdeConnect(Peer.Instance(), Peer.Name(Options.Service), Peer.Name(Options.Topic), nullptr);
        if (!Conv) {
            std::puts("connect refused");
            return 1;
        }
        std::puts("connect accepted");
        HSZ Item = Peer.Name(Options.Item);
        Try(Peer, Conv, "request", XTYP_REQUEST, Item, Options.Data, Options.Timeout);
        Try(Peer, Conv, "poke", XTYP_POKE, Item, Options.Data, Options.Timeout);
        Try(Peer, Conv, "execute", XTYP_EXECUTE, Item, Options.Data, Options.Timeout);
        Try(Peer, Conv, "advise-warm", XTYP_ADVSTART | XTYPF_NODATA, Item, Options.Data, Options.Timeout);
        Try(Peer, Conv, "advise-hot", XTYP_ADVSTART, Item, Options.Data, Options.Timeout);
        std::fflush(stdout);
        DdeDisconnect(Conv);
        return 0;
    } catch (const std::exception& Error) {
        std::fprintf(stderr, "ddepeer: %s\n", Error.what());
        return 2;
    }
}
