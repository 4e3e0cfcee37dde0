#include "framework/Component.h"

#include <gtest/gtest.h>

namespace {

// Records the removal notices it gets and its own destruction.
class TProbe : public TComponent {
public:
    TProbe(TComponent* AOwner, std::vector<std::string>& Log, std::string AName) : TComponent(AOwner), FLog(Log) {
        SetName(AName);
    }
    ~TProbe() override { FLog.push_back("~" + Name()); }
    int Loads = 0;

protected:
    void Loaded() override { ++Loads; }
    void Notification(TComponent* AComponent, TOperation Operation) override {
        TComponent::Notification(AComponent, Operation);
        if (Operation == opRemove)
            FLog.push_back(Name() + " sees " + AComponent->Name() + " go");
    }

private:
    std::vector<std::string>& FLog;
};

TEST(Component, OwnerFreesItsComponentsLastCreatedFirst) {
    std::vector<std::string> Log;
    auto* Owner = new TProbe(nullptr, Log, "owner");
    new TProbe(Owner, Log, "a");
    new TProbe(Owner, Log, "b");
    delete Owner;
    EXPECT_EQ(Log, (std::vector<std::string>{"~owner", "~b", "a sees b go", "~a"}));
}

TEST(Component, EarlyDeleteLeavesTheOwnerAndNotifiesSiblings) {
    std::vector<std::string> Log;
    TProbe Owner(nullptr, Log, "owner");
    auto* A = new TProbe(&Owner, Log, "a");
    new TProbe(&Owner, Log, "b");
    delete A;
    EXPECT_EQ(Owner.Components().size(), 1u);
    EXPECT_EQ(Log, (std::vector<std::string>{"~a", "b sees a go", "owner sees a go"}));
}

TEST(Component, FreeNotificationReachesComponentsOfOtherOwners) {
    std::vector<std::string> Log;
    TProbe Watcher(nullptr, Log, "watcher");
    {
        TProbe Watched(nullptr, Log, "watched");
        Watcher.FreeNotification(&Watched);
    }
    EXPECT_EQ(Log, (std::vector<std::string>{"~watched", "watcher sees watched go"}));
}

TEST(Component, LoadingReachesOwnedComponents) {
    std::vector<std::string> Log;
    TProbe Owner(nullptr, Log, "owner");
    auto* Child = new TProbe(&Owner, Log, "child");
    Owner.BeginLoading();
    EXPECT_TRUE(Child->IsLoading());
    auto* Late = new TProbe(&Owner, Log, "late");  // created while the owner loads
    EXPECT_TRUE(Late->IsLoading());
    Owner.EndLoading();
    EXPECT_FALSE(Child->IsLoading());
    EXPECT_FALSE(Late->IsLoading());
    EXPECT_EQ(Child->Loads, 1);
    EXPECT_EQ(Late->Loads, 1);
    EXPECT_EQ(Owner.Loads, 1);
}

}  // namespace
