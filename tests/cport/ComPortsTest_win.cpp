// The machine's serial ports, read from the real (Wine) registry.
#include "cport/ComPorts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SerialCommKey_win.h"
#include "cport/ComError.h"

namespace {

using TTexts = std::vector<std::string>;

class ComPorts : public ::testing::Test {
protected:
    // Reads the list into a target that already holds something.
    TTexts List() {
        Target.Clear();
        Target.Add("before");
        ListSerialPorts(Target);
        return Target.ToVector();
    }
    // The error of a list that cannot be read; the target must be unchanged.
    EComPort Failure() {
        try {
            List();
        } catch (const EComPort& Error) {
            EXPECT_EQ(Target.ToVector(), TTexts{"before"});
            return Error;
        }
        ADD_FAILURE() << "no error";
        return EComPort(ecRegistry);
    }
    TSerialCommKey Key;
    TStringList Target;
};

TEST_F(ComPorts, ListsThePortsSortedIgnoringLetterCase) {
    Key.SetPorts({"COM1", "COM2", "COM10"});
    EXPECT_EQ(List(), (TTexts{"COM1", "COM10", "COM2"}));
    Key.SetPorts({"COM2", "com11", "COM10"});
    EXPECT_EQ(List(), (TTexts{"COM10", "com11", "COM2"}));
    Key.SetPorts({});
    EXPECT_EQ(List(), TTexts{});
}

TEST_F(ComPorts, TakesEachValuesDataAsTextWhateverItsType) {
    // Binary data without a terminating zero must not run on into the buffer.
    Key.SetValues({{"Serial0", REG_BINARY, "COM5"}, {"Serial1", REG_SZ, std::string("COM3\0junk", 10)}});
    EXPECT_EQ(List(), (TTexts{"COM3", "COM5"}));
}

// Windows removes the key while no serial device is present.
TEST_F(ComPorts, AMissingKeyListsNoPorts) {
    Key.Remove();
    EXPECT_EQ(List(), TTexts{});
}

TEST_F(ComPorts, AValueThatDoesNotFitIsRegistryError) {
    Key.SetValues({{"Serial0", REG_SZ, std::string("COM1") + '\0'}, {"Serial1", REG_SZ, std::string(300, 'C') + '\0'}});
    EComPort Error = Failure();
    EXPECT_EQ(Error.ErrorCode(), 23);
    EXPECT_EQ(Error.SystemErrorCode(), ERROR_MORE_DATA);

    Key.SetValues({{std::string(300, 'N'), REG_SZ, std::string("COM1") + '\0'}});
    EXPECT_EQ(Failure().SystemErrorCode(), ERROR_MORE_DATA);
}

}  // namespace
