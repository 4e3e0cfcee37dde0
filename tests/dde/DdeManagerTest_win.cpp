// The manager as a server: other programs may open conversations with this
// process on a form's caption, and get nothing in them. The other program is
// a DDE client on a thread of its own, as a separate process would be.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "DdeTestSupport_win.h"
#include "dde/DdeMgr_win.h"
#include "framework/Forms_win.h"

namespace {

const std::string kCaption = "Gyrotalk Rotor Driver";

// Runs Body with a client instance of its own on another thread while this
// thread handles the manager's messages.
void AsPeer(const std::function<void(DWORD Instance)>& Body) {
    std::atomic<bool> Done = false;
    const DWORD Caller = GetCurrentThreadId();
    std::thread Peer([&] {
        DWORD Instance = 0;
        if (DdeInitializeA(&Instance, [](UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) -> HDDEDATA {
                return nullptr;
            }, APPCMD_CLIENTONLY, 0) == DMLERR_NO_ERROR) {
            Body(Instance);
            DdeUninitialize(Instance);
        } else {
            ADD_FAILURE() << "the peer's DDE instance";
        }
        Done = true;
        PostThreadMessageA(Caller, WM_NULL, 0, 0);
    });
    EXPECT_TRUE(PumpUntil([&] { return Done.load(); }, 60000));
    Peer.join();
}

// A peer's string handle, freed with it.
class TPeerName {
public:
    TPeerName(DWORD Instance, const std::string& Name)
        : FInstance(Instance), FHandle(Name.empty() ? nullptr : DdeCreateStringHandleA(Instance, Name.c_str(), CP_WINANSI)) {}
    ~TPeerName() {
        if (FHandle)
            DdeFreeStringHandle(FInstance, FHandle);
    }
    operator HSZ() const { return FHandle; }

private:
    DWORD FInstance;
    HSZ FHandle;
};

bool PeerConnects(DWORD Instance, const std::string& Service, const std::string& Topic) {
    TPeerName ServiceName(Instance, Service), TopicName(Instance, Topic);
    HCONV Conv = DdeConnect(Instance, ServiceName, TopicName, nullptr);
    if (Conv)
        DdeDisconnect(Conv);
    return Conv != nullptr;
}

std::string InOtherCase(std::string Text) {
    for (char& C : Text)
        C = static_cast<char>(std::isupper(static_cast<unsigned char>(C)) ? std::tolower(static_cast<unsigned char>(C))
                                                                          : std::toupper(static_cast<unsigned char>(C)));
    return Text;
}

class IncomingConversation : public ::testing::Test {
protected:
    void SetUp() override {
        EndRunningSimulators();  // no other server may answer a wildcard
        Form.Build({kCaption.c_str(), 200, 100, nullptr}, {});
    }
    TForm Form{nullptr};
    const std::string AppName = DdeManager().AppName();
};

TEST_F(IncomingConversation, OnTheCaptionInOtherLetterCaseIsAcceptedAndEveryTransactionRefused) {
    ASSERT_EQ(AppName, "DdeConversationTest");
    AsPeer([&](DWORD Instance) {
        TPeerName Service(Instance, InOtherCase(AppName)), Topic(Instance, InOtherCase(kCaption));
        TPeerName Item(Instance, "TrackingData");
        HCONV Conv = DdeConnect(Instance, Service, Topic, nullptr);
        ASSERT_NE(Conv, nullptr);
        // A poke is refused alike, but Wine's client reports every
        // acknowledged poke as taken, so a peer cannot tell.
        char Command[] = "[Open]";
        for (UINT Type : {XTYP_REQUEST, XTYP_ADVSTART, XTYP_ADVSTART | XTYPF_NODATA, XTYP_EXECUTE}) {
            const bool Execute = Type == XTYP_EXECUTE;
            DWORD Result = 0;
            HDDEDATA Answer =
                DdeClientTransaction(Execute ? reinterpret_cast<LPBYTE>(Command) : nullptr, Execute ? sizeof Command : 0,
                                     Conv, Execute ? nullptr : HSZ(Item), CF_TEXT, Type, 5000, &Result);
            EXPECT_EQ(Answer, nullptr) << std::hex << Type;
            // Refused at once, not left unanswered.
            EXPECT_EQ(DdeGetLastError(Instance), static_cast<UINT>(DMLERR_NOTPROCESSED)) << std::hex << Type;
        }
        EXPECT_TRUE(DdeDisconnect(Conv));
    });
    // The manager has let go of the conversation: a second one opens alike.
    AsPeer([&](DWORD Instance) { EXPECT_TRUE(PeerConnects(Instance, AppName, kCaption)); });
}

TEST_F(IncomingConversation, OtherTopicsAndOtherServicesAreRefused) {
    AsPeer([&](DWORD Instance) {
        EXPECT_FALSE(PeerConnects(Instance, AppName, "Tracking"));
        EXPECT_FALSE(PeerConnects(Instance, AppName, kCaption + " "));
        EXPECT_FALSE(PeerConnects(Instance, "Zenitrak", kCaption));
    });
    SetWindowTextA(Form.Handle(), "Other");
    AsPeer([&](DWORD Instance) { EXPECT_FALSE(PeerConnects(Instance, AppName, kCaption)); });
}

TEST_F(IncomingConversation, WildcardConnectIsAnsweredOnlyWithATopic) {
    AsPeer([&](DWORD Instance) {
        EXPECT_FALSE(PeerConnects(Instance, AppName, ""));
        EXPECT_FALSE(PeerConnects(Instance, "", ""));
        // With a topic, a wildcard service finds this process.
        EXPECT_TRUE(PeerConnects(Instance, "", InOtherCase(kCaption)));
    });
}

TEST_F(IncomingConversation, ALongestTopicIsComparedWhole) {
    const std::string Longest(255, 'C');
    SetWindowTextA(Form.Handle(), Longest.c_str());
    AsPeer([&](DWORD Instance) {
        EXPECT_TRUE(PeerConnects(Instance, AppName, std::string(255, 'c')));
        EXPECT_FALSE(PeerConnects(Instance, AppName, std::string(254, 'c')));
    });
}

}  // namespace

namespace {

std::vector<std::string> GUnregistered;  // service names whose end the watcher was told of, as far as readable
DWORD GWatcher = 0;

HDDEDATA CALLBACK Watch(UINT Type, UINT, HCONV, HSZ Service, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    char Name[256] = "";
    if (Type == XTYP_UNREGISTER) {
        DdeQueryStringA(GWatcher, Service, Name, sizeof Name, CP_WINANSI);
        GUnregistered.push_back(Name);
    }
    return nullptr;
}

TEST(ManagerLifetime, TheServiceNameIsUnregisteredWhenTheProgramEnds) {
    ASSERT_EQ(DdeInitializeA(&GWatcher, Watch, 0, 0), DMLERR_NO_ERROR);
    std::string Path = "Z:" DDE_MANAGER_EXIT_EXE;
    std::replace(Path.begin(), Path.end(), '/', '\\');
    STARTUPINFOA Startup{};
    Startup.cb = sizeof Startup;
    PROCESS_INFORMATION Process{};
    ASSERT_TRUE(
        CreateProcessA(Path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Startup, &Process));
    const auto Ended = [&] { return WaitForSingleObject(Process.hProcess, 0) == WAIT_OBJECT_0; };
    EXPECT_TRUE(PumpUntil(Ended, 30000, Process.hProcess));
    // The notice is posted; the name's atom may be gone with the program by
    // the time it is read.
    const auto Seen = [] {
        return std::ranges::any_of(GUnregistered, [](const std::string& Name) {
            return Name.empty() || Name == "DdeManagerExit";
        });
    };
    EXPECT_TRUE(PumpUntil(Seen, 2000)) << ::testing::PrintToString(GUnregistered);
    CloseHandle(Process.hThread);
    CloseHandle(Process.hProcess);
    DdeUninitialize(GWatcher);
}

}  // namespace
