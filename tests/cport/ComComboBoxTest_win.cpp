// The port selector on a real drop-down list window.
#include "cport/ComComboBox_win.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "SerialCommKey_win.h"
#include "framework/Application_win.h"
#include "framework/Forms_win.h"
#include "support/Messages_win.h"

namespace {

using TTexts = std::vector<std::string>;

TControl* MakeSelector(TComponent* AOwner) {
    return new TComComboBox(AOwner);
}

const TControlRow kRows[] = {
    {"Selector", ckComboList, 101, "", 10, 10, 97, 21, coNone, clWindowText, &MakeSelector},
};

class ComComboBox : public ::testing::Test {
protected:
    void SetUp() override {
        Key.SetPorts({"COM1", "COM2", "COM10"});
        Form = std::make_unique<TForm>(nullptr);
        Form->Build(TFormLayout{"Selector test", 200, 100, nullptr}, kRows);
        Box = Form->Find<TComComboBox>("Selector");
        Box->OnChange = [this] { ++Changes; };
        Port = std::make_unique<TComPort>(nullptr);
    }
    int WindowSelection() const { return static_cast<int>(SendMessageA(Box->Handle(), CB_GETCURSEL, 0, 0)); }
    int WindowCount() const { return static_cast<int>(SendMessageA(Box->Handle(), CB_GETCOUNT, 0, 0)); }
    // The texts that the window itself lists.
    TTexts WindowItems() const {
        TTexts Texts;
        for (int I = 0; I < WindowCount(); ++I) {
            char Text[64] = "";
            SendMessageA(Box->Handle(), CB_GETLBTEXT, I, reinterpret_cast<LPARAM>(Text));
            Texts.push_back(Text);
        }
        return Texts;
    }
    // What a user does: the box's own window moves the selection one down.
    void PickNext() { SendMessageA(Box->Handle(), WM_KEYDOWN, VK_DOWN, 0); }

    TSerialCommKey Key;
    std::unique_ptr<TForm> Form;
    TComComboBox* Box = nullptr;  // the form's
    std::unique_ptr<TComPort> Port;
    int Changes = 0;
};

TEST_F(ComComboBox, ListsTheMachinesPortsAndSelectsTheFirstWithoutALinkedPort) {
    EXPECT_EQ(Box->ComProperty(), cpNone);
    EXPECT_EQ(Box->Items().Count(), 0);
    Box->SetComProperty(cpPort);
    EXPECT_EQ(Box->Items().ToVector(), (TTexts{"COM1", "COM10", "COM2"}));
    EXPECT_EQ(Box->Text(), "COM1");
    EXPECT_EQ(WindowItems(), (TTexts{"COM1", "COM10", "COM2"}));
    EXPECT_EQ(WindowSelection(), 0);
    EXPECT_EQ(GetWindowLongA(Box->Handle(), GWL_STYLE) & 3, CBS_DROPDOWNLIST);
    EXPECT_EQ(Changes, 0);
}

TEST_F(ComComboBox, ASettingsNamesAreListedAndTheLinkedPortsValueSelected) {
    Box->SetComProperty(cpBaudRate);
    EXPECT_EQ(Box->Items().Count(), 16);
    EXPECT_EQ(Box->Text(), "Custom");
    Port->SetBaudRate(br600);
    Box->SetComPort(Port.get());
    EXPECT_EQ(Box->Text(), "600");
    Box->SetComProperty(cpParity);
    EXPECT_EQ(Box->Text(), "None");
    EXPECT_EQ(WindowItems(), (TTexts{"None", "Odd", "Even", "Mark", "Space"}));
    EXPECT_EQ(WindowSelection(), 0);
    EXPECT_EQ(Changes, 0);
}

TEST_F(ComComboBox, LinkingAPortSelectsItsPortAndAnUnlistedPortNothing) {
    Box->SetComProperty(cpPort);
    Port->SetPort("com10");
    Box->SetComPort(Port.get());
    EXPECT_EQ(Box->ItemIndex(), 1);
    EXPECT_EQ(Box->ComPort(), Port.get());

    TComPort Unlisted(nullptr);
    Unlisted.SetPort("COM7");
    Box->SetComPort(&Unlisted);
    EXPECT_EQ(Box->ItemIndex(), -1);
    EXPECT_EQ(Box->Text(), "");
    EXPECT_EQ(WindowSelection(), CB_ERR);
    Box->SetComPort(Port.get());
    EXPECT_EQ(Box->Text(), "COM10");
    EXPECT_EQ(Changes, 0);
}

TEST_F(ComComboBox, TextSelectsAListedItemInAnyLetterCase) {
    Box->SetComProperty(cpPort);
    Box->SetText("com2");
    EXPECT_EQ(Box->Text(), "COM2");
    EXPECT_EQ(WindowSelection(), 2);
    Box->SetText("COM9");
    EXPECT_EQ(Box->Text(), "COM2");
    Box->SetText("COM");
    EXPECT_EQ(Box->Text(), "COM2");
    EXPECT_EQ(Changes, 0);
}

TEST_F(ComComboBox, AUsersPickReachesTheLinkedPortBeforeOnChangeOnlyWithAutoApply) {
    Box->SetComProperty(cpBaudRate);
    Box->SetComPort(Port.get());
    ASSERT_EQ(Box->Text(), "9600");
    TBaudRate SeenInHandler = brCustom;
    Box->OnChange = [&] {
        ++Changes;
        SeenInHandler = Port->BaudRate();
    };

    PickNext();
    EXPECT_EQ(Changes, 1);
    EXPECT_EQ(Box->Text(), "14400");
    EXPECT_EQ(Port->BaudRate(), br9600);

    Box->SetAutoApply(true);
    PickNext();
    EXPECT_EQ(Changes, 2);
    EXPECT_EQ(Box->Text(), "19200");
    EXPECT_EQ(SeenInHandler, br19200);

    // The port selector's way: the picked name becomes the port's.
    Box->SetComProperty(cpPort);
    ASSERT_EQ(Box->Text(), "COM1");
    PickNext();
    EXPECT_EQ(Port->Port(), "COM10");
}

// A port whose new name cannot be opened, as an open port on a missing device.
class TRefusingPort : public TComPort {
public:
    using TComPort::TComPort;
    void SetPort(const std::string&) { throw EComPort(ecOpen, ERROR_FILE_NOT_FOUND); }
};

TEST_F(ComComboBox, APortThatRefusesThePickStopsItBeforeOnChange) {
    TRefusingPort Refusing(nullptr);
    const TErrorRecorder Dialogs;
    Box->SetComProperty(cpPort);
    Box->SetComPort(&Refusing);
    ASSERT_EQ(Box->Text(), "COM1");
    Box->SetAutoApply(true);
    PickNext();
    EXPECT_EQ(TErrorRecorder::Messages, TTexts{"Unable to open com port (win error code: 2)"});
    EXPECT_EQ(Changes, 0);
    EXPECT_EQ(Box->Text(), "COM10");  // the user's pick stays on show
    EXPECT_EQ(Refusing.Port(), "COM1");
}

TEST_F(ComComboBox, DestroyingTheLinkedPortUnlinksItAndSelectsTheFirstItem) {
    Box->SetComProperty(cpPort);
    Port->SetPort("COM2");
    Box->SetComPort(Port.get());
    Box->SetAutoApply(true);
    ASSERT_EQ(Box->ItemIndex(), 2);
    Port.reset();
    EXPECT_EQ(Box->ComPort(), nullptr);
    EXPECT_EQ(Box->ItemIndex(), 0);
    EXPECT_EQ(WindowSelection(), 0);
    // Still usable: a pick reaches no port and is announced.
    PickNext();
    EXPECT_EQ(Box->Text(), "COM10");
    EXPECT_EQ(Changes, 1);
}

// An adapter plugged in or pulled after start-up.
TEST_F(ComComboBox, OpeningTheListReadsThePortsAgainKeepingTheChoiceWhileListed) {
    Box->SetComProperty(cpPort);
    Box->SetText("COM2");
    auto OpenList = [this] {
        SendMessageA(Box->Handle(), CB_SHOWDROPDOWN, TRUE, 0);
        SendMessageA(Box->Handle(), CB_SHOWDROPDOWN, FALSE, 0);
    };
    Key.SetPorts({"COM3", "COM2"});
    OpenList();
    EXPECT_EQ(WindowItems(), (TTexts{"COM2", "COM3"}));
    EXPECT_EQ(Box->Text(), "COM2");
    EXPECT_EQ(WindowSelection(), 0);
    Key.SetPorts({"COM3"});
    OpenList();
    EXPECT_EQ(Box->Items().ToVector(), TTexts{"COM3"});
    EXPECT_EQ(Box->Text(), "");
    EXPECT_EQ(Changes, 0);
}

TEST_F(ComComboBox, AnUnreadablePortListLeavesTheBoxEmptyAndRaises) {
    Box->SetComProperty(cpParity);
    Key.SetValues({{"Serial0", REG_SZ, std::string(300, 'C') + '\0'}});  // longer than a port name can be
    try {
        Box->SetComProperty(cpPort);
        FAIL() << "no error";
    } catch (const EComPort& Error) {
        EXPECT_EQ(Error.ErrorCode(), 23);
    }
    EXPECT_EQ(Box->Items().Count(), 0);
    EXPECT_EQ(WindowCount(), 0);
    EXPECT_EQ(Box->Text(), "");
}

}  // namespace
