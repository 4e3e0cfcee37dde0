// ddepeer: a foreign DDE client for the end-to-end tests. It opens one
// conversation on a service and topic and either tries a request, a poke, an
// execute and warm and hot advise loops in it, printing what became of each,
// or follows an item as a plain warm-link client does (a request after each
// change notice), printing every request's fate.
#include <windows.h>
// after windows.h, which it needs
#include <ddeml.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

const char kHelp[] =
    "usage: ddepeer --service S --topic T [--item I] [--data TEXT] [--timeout MS] [--follow SECONDS]\n"
    "\n"
    "Opens a conversation on service S and topic T, then tries in it, in turn:\n"
    "a request and warm and hot advise starts for item I (default TrackingData),\n"
    "a poke of TEXT to I, and an execute of TEXT (default [Close]).\n"
    "Each transaction waits at most MS milliseconds (default 5000).\n"
    "\n"
    "With --follow, it starts a warm advise loop on I instead and, for SECONDS,\n"
    "requests I each time the server notifies a change (inside the notice).\n"
    "\n"
    "Output on stdout, one line each:\n"
    "  connect accepted | connect refused\n"
    "  request|poke|execute|advise-warm|advise-hot taken | refused error=0xHHHH\n"
    "With --follow, stamped with the performance counter in microseconds (one\n"
    "clock for every process of the machine):\n"
    "  following US                                (the loop runs)\n"
    "  taken US TEXT | refused US error=0xHHHH     (each request)\n"
    "  followed requests=N refused=M               (at the end)\n"
    "Exit status: 0 connected (and, with --follow, the loop started), 1 refused,\n"
    "2 usage (this text on stderr).\n";

struct TOptions {
    std::string Service, Topic, Item = "TrackingData", Data = "[Close]";
    DWORD Timeout = 5000;
    DWORD FollowSeconds = 0;
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
        else if (Name == "--follow")
            Options.FollowSeconds = std::strtoul(Value.c_str(), nullptr, 10);
        else
            return false;
    }
    return Argc % 2 == 1 && !Options.Service.empty() && !Options.Topic.empty();
}

long long Microseconds() {
    LARGE_INTEGER Counter, Frequency;
    QueryPerformanceCounter(&Counter);
    QueryPerformanceFrequency(&Frequency);
    return static_cast<long long>(static_cast<long double>(Counter.QuadPart) * 1e6L / Frequency.QuadPart);
}

// What a followed item's requests came to.
struct TFollow {
    DWORD Timeout = 0;
    int Requests = 0, Refused = 0;
};
TFollow* GFollow = nullptr;  // while following; not owned
DWORD GInstance = 0;

// A change notice of the warm loop carries no data: ask for the value.
HDDEDATA CALLBACK Callback(UINT Type, UINT, HCONV Conv, HSZ, HSZ Item, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    if (Type != XTYP_ADVDATA || !GFollow)
        return nullptr;
    ++GFollow->Requests;
    DWORD Result = 0;
    if (HDDEDATA Answer =
            DdeClientTransaction(nullptr, 0, Conv, Item, CF_TEXT, XTYP_REQUEST, GFollow->Timeout, &Result)) {
        DWORD Size = 0;
        const BYTE* Bytes = DdeAccessData(Answer, &Size);
        const std::string Text = Bytes ? std::string(reinterpret_cast<const char*>(Bytes),
                                                     strnlen(reinterpret_cast<const char*>(Bytes), Size))
                                       : std::string();
        if (Bytes)
            DdeUnaccessData(Answer);
        DdeFreeDataHandle(Answer);
        std::printf("taken %lld %s\n", Microseconds(), Text.c_str());
    } else {
        ++GFollow->Refused;
        std::printf("refused %lld error=0x%04X\n", Microseconds(), DdeGetLastError(GInstance));
    }
    std::fflush(stdout);
    return reinterpret_cast<HDDEDATA>(DDE_FACK);
}

// The client's DDE instance and its string handles, released together.
class TPeer {
public:
    TPeer() {
        if (DdeInitializeA(&FInstance, Callback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
            throw std::runtime_error("DDE could not be initialised");
        GInstance = FInstance;
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
    HDDEDATA Answer = DdeClientTransaction(WithData ? reinterpret_cast<LPBYTE>(Buffer.data()) : nullptr,
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

int TryEverything(TPeer& Peer, HCONV Conv, HSZ Item, const TOptions& Options) {
    Try(Peer, Conv, "request", XTYP_REQUEST, Item, Options.Data, Options.Timeout);
    Try(Peer, Conv, "poke", XTYP_POKE, Item, Options.Data, Options.Timeout);
    Try(Peer, Conv, "execute", XTYP_EXECUTE, Item, Options.Data, Options.Timeout);
    Try(Peer, Conv, "advise-warm", XTYP_ADVSTART | XTYPF_NODATA, Item, Options.Data, Options.Timeout);
    Try(Peer, Conv, "advise-hot", XTYP_ADVSTART, Item, Options.Data, Options.Timeout);
    return 0;
}

int Follow(TPeer& Peer, HCONV Conv, HSZ Item, const TOptions& Options) {
    DWORD Result = 0;
    if (!DdeClientTransaction(nullptr, 0, Conv, Item, CF_TEXT, XTYP_ADVSTART | XTYPF_NODATA, Options.Timeout,
                              &Result)) {
        std::printf("advise-warm refused error=0x%04X\n", DdeGetLastError(Peer.Instance()));
        return 1;
    }
    std::printf("following %lld\n", Microseconds());
    std::fflush(stdout);
    TFollow Follow{Options.Timeout};
    GFollow = &Follow;
    const ULONGLONG End = GetTickCount64() + Options.FollowSeconds * 1000ULL;
    for (ULONGLONG Now = GetTickCount64(); Now < End; Now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(End - Now), QS_ALLINPUT);
        MSG Msg;
        while (PeekMessageA(&Msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&Msg);
    }
    GFollow = nullptr;
    std::printf("followed requests=%d refused=%d\n", Follow.Requests, Follow.Refused);
    return 0;
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
        const int Status =
            Options.FollowSeconds ? Follow(Peer, Conv, Item, Options) : TryEverything(Peer, Conv, Item, Options);
        std::fflush(stdout);
        DdeDisconnect(Conv);
        return Status;
    } catch (const std::exception& Error) {
        std::fprintf(stderr, "ddepeer: %s\n", Error.what());
        return 2;
    }
}
