// The client conversation and its items against the simulator as the real
// server under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "DdeTestSupport_win.h"
#include "dde/DdeClientConv_win.h"
#include "dde/DdeClientItem_win.h"
#include "dde/DdeMgr_win.h"
#include "dde/TrackingProgram.h"

namespace {

const std::string kLineA = "SNISS AZ10.0 EL5.0";
const std::string kLineB = "SNISS AZ11.0 EL6.0";
const std::string kLineC = "SNISS AZ12.0 EL7.0";

class TrackingLink : public ::testing::Test {
protected:
    void SetUp() override {
        EndRunningSimulators();
        MakeLink();
    }
    void TearDown() override {
        Owner.reset();
        EndRunningSimulators();
    }

    void MakeLink() {
        Owner = std::make_unique<TComponent>(nullptr);
        Conv = new TDdeClientConv(Owner.get());
        Conv->SetConnectMode(ddeManual);
        Conv->SetLinkInfo({"Service Zenitrak", "Topic Tracking"});
        Conv->OnOpen = [this] { ++Opens; };
        Conv->OnClose = [this] { ++Closes; };
        Item = NewItem(kTrackingItem, Changes);
    }

    TDdeClientItem* NewItem(const std::string& Name, std::vector<std::string>& Log) {
        auto* NewOne = new TDdeClientItem(Owner.get());
        NewOne->OnChange = [NewOne, &Log] { Log.push_back(NewOne->Text()); };
        NewOne->SetDdeConv(Conv);
        NewOne->SetDdeItem(Name);
        return NewOne;
    }
    bool WaitForText(const std::string& Text) {
        return PumpUntil([&] { return Item->Text() == Text; });
    }

    std::unique_ptr<TComponent> Owner;
    TDdeClientConv* Conv = nullptr;  // owned by Owner
    TDdeClientItem* Item = nullptr;  // owned by Owner
    std::vector<std::string> Changes;
    int Opens = 0;
    int Closes = 0;
};

std::string Quoted(const std::string& Line) {
    return "--line \"" + Line + "\"";
}

TEST_F(TrackingLink, OpensClosesAndReopensWithOneEventEach) {
    TSimulatorProcess Simulator(Quoted(kLineA));
    // Attaching and naming the item while closed each told the item.
    EXPECT_EQ(Changes, (std::vector<std::string>{"", ""}));

    ASSERT_TRUE(Conv->OpenConversation());
    EXPECT_EQ(Opens, 1);
    EXPECT_EQ(Changes.back(), kLineA);  // fetched at once, not on the next change
    EXPECT_FALSE(Conv->OpenConversation());
    EXPECT_EQ(Opens, 1);

    Conv->CloseConversation();
    EXPECT_EQ(Closes, 1);
    EXPECT_FALSE(Conv->IsOpen());
    EXPECT_EQ(Conv->DdeService(), "");
    EXPECT_EQ(Conv->DdeTopic(), "");
    EXPECT_EQ(Item->DdeItem(), kTrackingItem);
    Conv->CloseConversation();
    EXPECT_EQ(Closes, 1);

    ASSERT_TRUE(Conv->ChangeConversation(kTrackingService, kTrackingTopic));
    EXPECT_EQ(Opens, 2);
    Simulator.Send("line " + kLineB);
    EXPECT_TRUE(WaitForText(kLineB));

    // Without names the next open fails and detaches the item.
    Conv->CloseConversation();
    EXPECT_FALSE(Conv->OpenConversation());
    EXPECT_EQ(Item->DdeItem(), "");
    EXPECT_EQ(Closes, 2);
}

TEST_F(TrackingLink, ServerQuittingClosesOnceAndAReopenRestartsTheLoops) {
    {
        TSimulatorProcess Simulator(Quoted(kLineA));
        ASSERT_TRUE(Conv->OpenConversation());
        Simulator.Quit();
        ASSERT_TRUE(PumpUntil([&] { return Closes > 0; }));
        PumpFor(300);
    }
    EXPECT_EQ(Closes, 1);
    EXPECT_FALSE(Conv->IsOpen());
    EXPECT_EQ(Conv->DdeService(), kTrackingService);
    EXPECT_EQ(Conv->DdeTopic(), kTrackingTopic);
    EXPECT_EQ(Item->DdeItem(), kTrackingItem);
    EXPECT_EQ(Item->Text(), kLineA);

    TSimulatorProcess Restarted(Quoted(kLineB));
    ASSERT_TRUE(Conv->OpenConversation());
    EXPECT_EQ(Opens, 2);
    EXPECT_EQ(Item->Text(), kLineB);
    Restarted.Send("line " + kLineC);
    EXPECT_TRUE(WaitForText(kLineC));

    Restarted.Quit();
    ASSERT_TRUE(PumpUntil([&] { return Closes == 2; }));
}

TEST_F(TrackingLink, AServerKilledIsNoticedAtTheNextOpen) {
    {
        TSimulatorProcess Simulator(Quoted(kLineA));
        ASSERT_TRUE(Conv->OpenConversation());
        Simulator.Kill();
    }
    PumpFor(200);
    EXPECT_EQ(Closes, 0);  // a killed server tells nothing

    TSimulatorProcess Restarted(Quoted(kLineB));
    ASSERT_TRUE(Conv->OpenConversation());
    EXPECT_EQ(Closes, 1);
    EXPECT_EQ(Opens, 2);
    EXPECT_EQ(Item->Text(), kLineB);
    Restarted.Send("line " + kLineC);
    EXPECT_TRUE(WaitForText(kLineC));
}

// A link can end before it has read the server's goodbye (the program or a
// test ending): the library then keeps the conversation, and a later link
// must reach the new server all the same.
TEST_F(TrackingLink, ALinkEndedBeforeTheServersGoodbyeWasReadLeavesTheNextOneFree) {
    {
        TSimulatorProcess Simulator(Quoted(kLineA));
        ASSERT_TRUE(Conv->OpenConversation());
        Simulator.QuitUnheard();
        MakeLink();
    }
    PumpFor(200);
    TSimulatorProcess Restarted(Quoted(kLineB));
    ASSERT_TRUE(Conv->OpenConversation());
    EXPECT_EQ(Item->Text(), kLineB);
}

TEST_F(TrackingLink, AServerKilledIsNoticedWithinSecondsWithoutAnOpen) {
    {
        TSimulatorProcess Simulator(Quoted(kLineA));
        ASSERT_TRUE(Conv->OpenConversation());
        Simulator.Kill();
    }
    EXPECT_TRUE(PumpUntil([&] { return Closes == 1; }, 10000));
    PumpFor(2500);  // and once only
    EXPECT_EQ(Closes, 1);
    EXPECT_FALSE(Conv->IsOpen());
}

TEST_F(TrackingLink, FailedOpenDetachesEveryItem) {
    std::vector<std::string> OtherChanges;
    TDdeClientItem* Other = NewItem("Other", OtherChanges);
    Conv->CloseConversation();
    Conv->SetLinkInfo({"Service NoSuchTracker", "Topic Tracking"});

    EXPECT_FALSE(Conv->OpenConversation());
    EXPECT_EQ(Opens, 0);
    for (TDdeClientItem* Each : {Item, Other})
        EXPECT_EQ(Each->DdeItem(), "");
    EXPECT_EQ(Changes.back(), "");
    EXPECT_EQ(OtherChanges.back(), "");
}

TEST_F(TrackingLink, RefusedAdviseStartDetachesOnlyThatItem) {
    std::vector<std::string> OtherChanges;
    TDdeClientItem* Other = NewItem("NotServed", OtherChanges);
    TSimulatorProcess Simulator(Quoted(kLineA));

    ASSERT_TRUE(Conv->OpenConversation());
    EXPECT_EQ(Other->DdeItem(), "");
    EXPECT_EQ(Item->DdeItem(), kTrackingItem);
    EXPECT_EQ(Item->Text(), kLineA);

    // A server that refuses every loop: the conversation opens all the same.
    Simulator.Send("refuse on");
    ASSERT_TRUE(Conv->ChangeConversation(kTrackingService, kTrackingTopic));
    EXPECT_EQ(Opens, 2);
    EXPECT_TRUE(Conv->IsOpen());
    EXPECT_EQ(Item->DdeItem(), "");
    EXPECT_EQ(Item->Text(), "");
}

TEST_F(TrackingLink, RequestTimeOutKeepsTextAndTheLateAnswerIsNeverTaken) {
    TSimulatorProcess Simulator(Quoted(kLineA));
    TLoggedCalls Calls;
    ASSERT_TRUE(Conv->OpenConversation());
    ASSERT_EQ(Item->Text(), kLineA);
    const size_t Before = Changes.size();
    const unsigned References = AtomReferences(kTrackingItem);

    // The server answers the request for B half a second after the client gave up.
    Simulator.Send("slow 1500");
    Simulator.Send("line " + kLineB);
    ASSERT_TRUE(PumpUntil([&] { return std::ranges::count(Calls.Log.FailedTransactions, XTYP_REQUEST) == 1; }));
    EXPECT_EQ(Item->Text(), kLineA);
    EXPECT_EQ(Changes.size(), Before);

    // Before B's answer arrives the server moves on to C and answers at once.
    Simulator.Send("slow 0");
    Simulator.Send("line " + kLineC);
    ASSERT_TRUE(WaitForText(kLineC));
    PumpFor(500);
    EXPECT_EQ(std::vector<std::string>(Changes.begin() + Before, Changes.end()), std::vector<std::string>{kLineC});
    // The late answer's atom and the marker's went back; the item's name is as it was.
    EXPECT_EQ(AtomReferences(kTrackingItem), References);
}

TEST_F(TrackingLink, ARefusedRequestIsAskedOnceMoreAtOnce) {
    TSimulatorProcess Simulator(Quoted(kLineA));
    TLoggedCalls Calls;
    ASSERT_TRUE(Conv->OpenConversation());
    Calls.Log.RefuseRequests = 2;
    Simulator.Send("line " + kLineB);
    ASSERT_TRUE(PumpUntil([&] { return Calls.Log.RefuseRequests == 0; }));
    PumpFor(300);
    EXPECT_EQ(Calls.Log.FailedTransactions, (std::vector<UINT>{XTYP_REQUEST, XTYP_REQUEST}));
    EXPECT_EQ(Item->Text(), kLineA);

    Calls.Log.RefuseRequests = 1;
    Simulator.Send("line " + kLineC);
    EXPECT_TRUE(WaitForText(kLineC));
    EXPECT_EQ(Calls.Log.FailedTransactions.size(), 3u);
}

TEST_F(TrackingLink, ANoticeAndAnAnswerThatLostTheItemsNameStillBringTheLineAndFreeNothingOfAnother) {
    TSimulatorProcess Simulator(Quoted(kLineA));
    ASSERT_TRUE(Conv->OpenConversation());
    PumpFor(300);
    const unsigned References = AtomReferences(kTrackingItem), Others = AtomReferences(kSimMisnamedItem);
    ASSERT_GT(Others, 0u);  // the simulator holds the other string while it runs

    Simulator.Send("misname-next");
    Simulator.Send("line " + kLineB);
    EXPECT_TRUE(WaitForText(kLineB));
    PumpFor(300);
    EXPECT_EQ(AtomReferences(kSimMisnamedItem), Others);
    EXPECT_EQ(AtomReferences(kTrackingItem), References);
}

TEST_F(TrackingLink, ARequestRefusedLateOrNeverAnsweredHoldsUpNoLaterLine) {
    TSimulatorProcess Simulator(Quoted(kLineA));
    TLoggedCalls Calls;
    ASSERT_TRUE(Conv->OpenConversation());
    const std::string Faults[] = {"refuse-next 1500", "ignore-next"};
    for (size_t Index = 0; Index < std::size(Faults); ++Index) {
        const auto Failed = [&] { return std::ranges::count(Calls.Log.FailedTransactions, XTYP_REQUEST); };
        const auto Before = Failed();
        Simulator.Send(Faults[Index]);
        Simulator.Send("line SNLOST AZ" + std::to_string(Index));
        ASSERT_TRUE(PumpUntil([&] { return Failed() == Before + 1; })) << Faults[Index];
        for (const std::string& Next : {"SNNEXT AZ1" + std::to_string(Index), "SNNEXT AZ2" + std::to_string(Index)}) {
            Simulator.Send("line " + Next);
            EXPECT_TRUE(WaitForText(Next)) << Faults[Index];
        }
        EXPECT_EQ(Failed(), Before + 1) << Faults[Index];
    }
}

TEST_F(TrackingLink, EveryChangeArrivesWithItsTextAndLeavesNothingBehind) {
    constexpr int kChanges = 200;
    TSimulatorProcess Simulator(Quoted("SNLAT AZ0"));
    ASSERT_TRUE(Conv->OpenConversation());
    Changes.clear();
    PumpFor(300);  // the first answer's leftovers
    const size_t HeapBefore = ProcessHeapInUse();
    const unsigned References = AtomReferences(kTrackingItem);

    for (int I = 1; I <= kChanges; ++I) {
        const std::string Line = "SNLAT AZ" + std::to_string(I);
        ASSERT_TRUE(Simulator.Send("line " + Line));
        ASSERT_TRUE(PumpUntil([&] { return Changes.size() == static_cast<size_t>(I); })) << Line;
        ASSERT_EQ(Changes.back(), Line);
    }
    PumpFor(300);
    EXPECT_EQ(Changes.size(), static_cast<size_t>(kChanges));
    // Wine's client keeps some 70 bytes of each answer unless the link frees them.
    EXPECT_LT(ProcessHeapInUse(), HeapBefore + 2048);
    // Every reference of the item's name that a notice or an answer handed the link went back, and no other.
    EXPECT_EQ(AtomReferences(kTrackingItem), References);
}

struct TFormatCase {
    std::string Value;  // as the server publishes it
    bool FormatChars;
    std::vector<std::string> Lines;
};

TEST_F(TrackingLink, FormatCharsDecidesBetweenBlanksAndLines) {
    const std::vector<TFormatCase> Cases = {
        {"abc\r\n", false, {"abc  "}}, {"abc\r\n", true, {"abc"}},       {"a\r\nb", true, {"a", "b"}},
        {"a\r\nb", false, {"a  b"}},   {"a\n\rb", true, {"a", "", "b"}}, {"x\ty", false, {"x y"}},
    };
    TSimulatorProcess Simulator(Quoted(kLineA));
    ASSERT_TRUE(Conv->OpenConversation());
    for (const TFormatCase& Case : Cases) {
        SCOPED_TRACE(Case.FormatChars ? "FormatChars" : "blanks");
        Conv->SetFormatChars(Case.FormatChars);
        ASSERT_TRUE(Simulator.Send("line " + Case.Value));
        ASSERT_TRUE(PumpUntil([&] { return Item->Lines().ToVector() == Case.Lines; }))
            << "got " << Item->Text() << " for " << Case.Value;
        EXPECT_EQ(Item->Text(), Case.Lines.front());
    }

    // Each switch while open fetches and converts the value anew, at once,
    // also back to back; setting the value it has already does nothing.
    constexpr size_t kSwitches = 20;
    const size_t Before = Changes.size();
    Conv->SetFormatChars(false);
    EXPECT_EQ(Changes.size(), Before);
    for (size_t Switch = 1; Switch <= kSwitches; ++Switch) {
        const bool On = Switch % 2 == 1;
        Conv->SetFormatChars(On);
        ASSERT_EQ(Changes.size(), Before + Switch);
        ASSERT_EQ(Item->Lines().ToVector(), std::vector<std::string>{On ? "x\ty" : "x y"});
    }

    // An empty value leaves the text, but is told all the same.
    ASSERT_TRUE(Simulator.Send("empty"));
    ASSERT_TRUE(PumpUntil([&] { return Changes.size() == Before + kSwitches + 1; }));
    EXPECT_EQ(Item->Text(), "x y");
}

struct TStartCase {
    const char* What;
    std::string ServiceApplication;
    std::vector<std::string> LinkInfo;
    UINT WinExecResult;  // what the start reports; it starts nothing
    std::vector<std::string> Commands;
    int Connects;
};

TEST_F(TrackingLink, NoServerGivesOneConnectAndOneMoreOnlyAfterAStartThatReportsSuccess) {
    const std::string Long(300, 'x');
    const std::vector<TStartCase> Cases = {
        {"started", "zenitrak", {"Service Zenitrak", "Topic Tracking"}, 33, {"zenitrak"}, 2},
        {"lowest success", "zenitrak", {"Service Zenitrak", "Topic Tracking"}, 32, {"zenitrak"}, 2},
        {"not found", "zenitrak", {"Service Zenitrak", "Topic Tracking"}, ERROR_FILE_NOT_FOUND, {"zenitrak"}, 1},
        {"highest failure", "zenitrak", {"Service Zenitrak", "Topic Tracking"}, 31, {"zenitrak"}, 1},
        {"service and topic", "", {"Service Zenitrak", "Topic Tracking"}, 33, {"Zenitrak Tracking"}, 2},
        {"topic alone", "", {"Topic Tracking"}, 33, {}, 1},
        {"application alone", "zenitrak", {"Topic Tracking"}, 33, {"zenitrak"}, 2},
        {"longest application", Long, {"Service Zenitrak", "Topic Tracking"}, 33, {std::string(255, 'x')}, 2},
    };
    for (const TStartCase& Case : Cases) {
        SCOPED_TRACE(Case.What);
        Conv->CloseConversation();
        Conv->SetServiceApplication(Case.ServiceApplication);
        Conv->SetLinkInfo(Case.LinkInfo);
        Item->SetDdeItem(kTrackingItem);
        TLoggedCalls Calls;
        Calls.Log.WinExecResult = Case.WinExecResult;

        EXPECT_FALSE(Conv->OpenConversation());
        EXPECT_EQ(Calls.Log.Connects, Case.Connects);
        EXPECT_EQ(Calls.Log.Commands, Case.Commands);
        EXPECT_EQ(Calls.Log.ShowModes, std::vector<UINT>(Case.Commands.size(), SW_SHOWMINNOACTIVE));
        EXPECT_EQ(Opens, 0);
        EXPECT_EQ(Item->DdeItem(), "");
    }
}

TEST_F(TrackingLink, AReconnectNeverStartsTheServer) {
    Conv->CloseConversation();
    Conv->SetServiceApplication("zenitrak");
    Conv->SetLinkInfo({"Service Zenitrak", "Topic Tracking"});
    TLoggedCalls Calls;
    Calls.Log.WinExecResult = 33;
    EXPECT_FALSE(Conv->ReconnectConversation());
    EXPECT_EQ(Calls.Log.Connects, 1);
    EXPECT_EQ(Calls.Log.Commands, std::vector<std::string>{});
}

TEST_F(TrackingLink, NamesUpTo255CharactersReachTheLibraryAndLongerOnesAreCut) {
    Conv->CloseConversation();
    Conv->SetLinkInfo({"Service " + std::string(255, 's'), "Topic " + std::string(300, 't')});
    TLoggedCalls Calls;
    Calls.Log.WinExecResult = ERROR_FILE_NOT_FOUND;
    EXPECT_FALSE(Conv->OpenConversation());
    EXPECT_EQ(Calls.Log.Services, std::vector<std::string>{std::string(255, 's')});
    EXPECT_EQ(Calls.Log.Topics, std::vector<std::string>{std::string(255, 't')});

    // A name with a zero byte reaches the library up to it.
    Conv->CloseConversation();
    Conv->SetLinkInfo({"Service " + std::string("Zeni\0trak", 9), "Topic Tracking"});
    EXPECT_FALSE(Conv->OpenConversation());
    EXPECT_EQ(Calls.Log.Services.back(), "Zeni");
}

TEST_F(TrackingLink, StartsTheTrackingProgramWhenNoneRuns) {
    TLoggedCalls Calls;
    char Previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, Previous);
    SetCurrentDirectoryA(SimulatorDirectory().c_str());
    Conv->SetServiceApplication(kTrackingStartCommand);

    const bool Opened = Conv->OpenConversation();
    SetCurrentDirectoryA(Previous);
    ASSERT_TRUE(Opened);
    EXPECT_EQ(Calls.Log.Connects, 2);
    EXPECT_EQ(Calls.Log.Commands, std::vector<std::string>{kTrackingStartCommand});
    EXPECT_EQ(Calls.Log.ShowModes, std::vector<UINT>{SW_SHOWMINNOACTIVE});
    // The built-in pass of the started simulator flows.
    EXPECT_EQ(Item->Text().rfind("SNISS AZ", 0), 0u) << Item->Text();
    const std::string First = Item->Text();
    EXPECT_TRUE(PumpUntil([&] { return Item->Text() != First; }));
}

}  // namespace
