#include "framework/Registry_win.h"

#include <gtest/gtest.h>

namespace {

// Each case works below its own key of the real (Wine) registry.
class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        Base = "\\Software\\GyroTest\\" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name());
        TRegistry Cleaner;
        (void)Cleaner.DeleteKey(Base);
    }
    void TearDown() override {
        TRegistry Cleaner;
        EXPECT_TRUE(Cleaner.DeleteKey(Base));
    }
    std::string Base;
};

TEST_F(Registry, ValuesRoundTripThroughAKeyThatOpenKeyCreated) {
    {
        TRegistry Reg;
        ASSERT_FALSE(Reg.OpenKey(Base + "\\Gyrotalk", false));
        ASSERT_TRUE(Reg.OpenKey(Base + "\\Gyrotalk", true));
        EXPECT_EQ(Reg.CurrentPath(), Base.substr(1) + "\\Gyrotalk");
        Reg.WriteString("ComPort", "COM10");
        Reg.WriteString("ComSeq", "");
        Reg.WriteInteger("Buffer.InputSize", -2);
    }
    TRegistry Reg;
    ASSERT_TRUE(Reg.OpenKey(Base + "\\Gyrotalk", false));
    EXPECT_EQ(Reg.ReadString("ComPort"), "COM10");
    EXPECT_TRUE(Reg.ValueExists("ComSeq"));
    EXPECT_EQ(Reg.ReadString("ComSeq"), "");
    EXPECT_EQ(Reg.ReadInteger("Buffer.InputSize"), -2);
    EXPECT_EQ(Reg.ReadString("Missing"), "");  // a missing string reads as empty text
    EXPECT_FALSE(Reg.ValueExists("Missing"));
}

TEST_F(Registry, AMissingOrWronglyTypedValueRaisesNamingIt) {
    TRegistry Reg;
    ASSERT_TRUE(Reg.OpenKey(Base, true));
    Reg.WriteString("Text", "1200");
    Reg.WriteInteger("Number", 1200);
    auto MessageOf = [](auto Read) -> std::string {
        try {
            Read();
        } catch (const Exception& E) {
            return E.what();
        }
        return "no exception";
    };
    EXPECT_NE(MessageOf([&] { Reg.ReadInteger("Buffer.OutputSize"); }).find("'Buffer.OutputSize'"), std::string::npos);
    EXPECT_NE(MessageOf([&] { Reg.ReadInteger("Text"); }).find("Invalid data type for 'Text'"), std::string::npos);
    EXPECT_NE(MessageOf([&] { Reg.ReadString("Number"); }).find("Invalid data type for 'Number'"), std::string::npos);
    Reg.CloseKey();
    EXPECT_THROW(Reg.ReadString("Text"), ERegistryException);  // no key open
}

TEST_F(Registry, RelativePathsOpenBelowTheCurrentKey) {
    TRegistry Reg;
    ASSERT_TRUE(Reg.OpenKey(Base, true));
    ASSERT_TRUE(Reg.OpenKey("Zenitrak\\Gyrotalk", true));
    EXPECT_EQ(Reg.CurrentPath(), Base.substr(1) + "\\Zenitrak\\Gyrotalk");
    Reg.WriteString("Path", "C:\\Tracker\\");
    EXPECT_FALSE(Reg.OpenKey("NotThere", false));
    EXPECT_EQ(Reg.ReadString("Path"), "C:\\Tracker\\");  // the current key stayed
    EXPECT_TRUE(Reg.KeyExists(Base + "\\Zenitrak"));
    EXPECT_TRUE(Reg.DeleteKey(Base + "\\Zenitrak"));  // with everything below
    EXPECT_FALSE(Reg.KeyExists(Base + "\\Zenitrak"));
}

TEST_F(Registry, AKeyOpenedForReadingRefusesWrites) {
    {
        TRegistry Reg;
        ASSERT_TRUE(Reg.OpenKey(Base, true));
        Reg.WriteString("Port", "COM1");
    }
    TRegistry Reg;
    ASSERT_TRUE(Reg.OpenKeyReadOnly(Base));
    EXPECT_EQ(Reg.ReadString("Port"), "COM1");
    EXPECT_THROW(Reg.WriteString("Port", "COM2"), ERegistryException);
    EXPECT_FALSE(Reg.DeleteValue("Port"));
}

TEST_F(Registry, KeysAreReleasedOnEveryPath) {
    {
        TRegistry Setup;
        ASSERT_TRUE(Setup.OpenKey(Base + "\\Child", true));
        Setup.WriteString("Text", "x");
    }
    // Wine counts no handles for GetProcessHandleCount: probe the handle table.
    auto HandleCount = [] {
        int Count = 0;
        for (uintptr_t Value = 4; Value < 0x10000; Value += 4) {
            DWORD Flags;
            if (GetHandleInformation(reinterpret_cast<HANDLE>(Value), &Flags))
                ++Count;
        }
        return Count;
    };
    auto Exercise = [&] {
        TRegistry Reg;
        (void)Reg.OpenKey(Base, false);
        (void)Reg.OpenKey("Child", false);  // replaces the current key
        (void)Reg.KeyExists("\\" + Base.substr(1) + "\\Child");
        (void)Reg.OpenKey("Missing", false);
        try {
            Reg.ReadInteger("Text");
        } catch (const ERegistryException&) {
        }
        (void)Reg.OpenKey(Base, false);
        Reg.CloseKey();
        (void)Reg.OpenKey(Base, false);  // left open for the destructor
    };
    Exercise();  // first-use allocations
    int Before = HandleCount();
    HKEY Probe = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Base.substr(1).c_str(), 0, KEY_READ, &Probe), ERROR_SUCCESS);
    ASSERT_EQ(HandleCount(), Before + 1) << "the probe does not see registry keys";
    RegCloseKey(Probe);
    for (int I = 0; I < 50; ++I)
        Exercise();
    EXPECT_EQ(HandleCount(), Before);
}

}  // namespace
