// The port selector's logic: the choices it lists, the value it keeps from a
// pick, and what it hands to the linked port.
#include "cport/ComSelect.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeComPort.h"
#include "cport/ComError.h"
#include "cport/ComPorts.h"

namespace {
// The machine's port list as this test sets it; empty for a missing key.
std::vector<std::string> MachinePorts;
}  // namespace

// The platform's port list (ComPorts_win.cpp) is not built natively; this
// one stands in for it.
void ListSerialPorts(TStrings& Target) {
    if (MachinePorts.empty())
        throw EComPort(ecRegistry, 2);
    Target.Clear();
    for (const std::string& Port : MachinePorts)
        Target.Add(Port);
}

namespace {

using TTexts = std::vector<std::string>;

class ComSelect : public ::testing::Test {
protected:
    void SetUp() override { MachinePorts = {"COM1", "COM10", "COM2"}; }
    TStringList Items;
    TComSelect Select{Items};
    TFakeComPort Port;
};

TEST_F(ComSelect, EachPropertyListsItsChoicesInOrder) {
    struct TCase {
        TComProperty Property;
        TTexts Texts;
    };
    const TCase Cases[] = {
        {cpPort, {"COM1", "COM10", "COM2"}},
        {cpBaudRate, {"Custom", "110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "38400",
                      "56000", "57600", "115200", "128000", "256000"}},
        {cpDataBits, {"5", "6", "7", "8"}},
        {cpStopBits, {"1", "1.5", "2"}},
        {cpParity, {"None", "Odd", "Even", "Mark", "Space"}},
        {cpFlowControl, {"Hardware", "Software", "None", "Custom"}},
        {cpNone, {}},
    };
    for (const TCase& Case : Cases) {
        Select.FillItems(Case.Property);  // each refill replaces the previous items
        EXPECT_EQ(Select.ComProperty(), Case.Property);
        EXPECT_EQ(Items.ToVector(), Case.Texts) << int(Case.Property);
    }
}

TEST_F(ComSelect, APortListThatCannotBeReadLeavesNoItems) {
    Select.FillItems(cpParity);
    MachinePorts.clear();
    try {
        Select.FillItems(cpPort);
        FAIL() << "no error";
    } catch (const EComPort& Error) {
        EXPECT_EQ(Error.ErrorCode(), 23);
    }
    EXPECT_EQ(Items.Count(), 0);
}

TEST_F(ComSelect, APickReachesThePortOnlyWithAutoApply) {
    Select.SetComPort(&Port);
    Select.FillItems(cpBaudRate);
    Select.TakeText("600");
    EXPECT_EQ(Port.BaudRate(), br9600);
    EXPECT_TRUE(Port.Log.empty());
    Select.ApplyToPort();
    EXPECT_EQ(Port.BaudRate(), br600);

    Select.SetAutoApply(true);
    Select.TakeText("1200");
    EXPECT_EQ(Port.BaudRate(), br1200);
}

TEST_F(ComSelect, EachPropertySetsItsOwnSettingFromTheText) {
    Select.SetComPort(&Port);
    Select.SetAutoApply(true);
    Select.FillItems(cpPort);
    Select.TakeText("com7");  // a port name is kept as it is
    Select.FillItems(cpDataBits);
    Select.TakeText("6");
    Select.FillItems(cpStopBits);
    Select.TakeText("1.5");
    Select.FillItems(cpParity);
    Select.TakeText("even");
    Select.FillItems(cpFlowControl);
    Select.TakeText("Software");
    Select.FillItems(cpBaudRate);
    Select.TakeText("unknown");  // the fallback, 9600, is handed on too
    Select.FillItems(cpNone);
    Select.TakeText("COM1");
    EXPECT_EQ(Port.Port(), "com7");
    EXPECT_EQ(Port.DataBits(), dbSix);
    EXPECT_EQ(Port.StopBits(), sbOne5StopBits);
    EXPECT_EQ(Port.Parity().Bits(), prEven);
    EXPECT_EQ(Port.FlowControl().FlowControl(), fcSoftware);
    EXPECT_EQ(Port.Log, (TTexts{"Port", "DataBits", "StopBits", "line", "line", "BaudRate"}));
}

TEST_F(ComSelect, FindCurrentItemFindsThePortsValueAndKeepsIt) {
    Select.FillItems(cpParity);
    EXPECT_EQ(Select.FindCurrentItem(), -1);  // no port linked
    Port.Parity().SetBits(prMark);
    Select.SetComPort(&Port);
    EXPECT_EQ(Select.FindCurrentItem(), 3);

    // The kept value is the port's: applied to another port, it sets Mark.
    TFakeComPort Other;
    Select.SetComPort(&Other);
    Select.ApplyToPort();
    EXPECT_EQ(Other.Parity().Bits(), prMark);
}

TEST_F(ComSelect, FindCurrentItemIgnoresLetterCaseAndMissesUnlistedPorts) {
    Select.SetComPort(&Port);
    Select.FillItems(cpPort);
    Port.SetPort("com10");
    EXPECT_EQ(Select.FindCurrentItem(), 1);
    Port.SetPort("COM3");
    EXPECT_EQ(Select.FindCurrentItem(), -1);
    // The listed text was kept, not the port's own spelling, and COM3 was not.
    Select.ApplyToPort();
    EXPECT_EQ(Port.Port(), "COM10");

    Select.FillItems(cpNone);
    EXPECT_EQ(Select.FindCurrentItem(), -1);
}

}  // namespace
