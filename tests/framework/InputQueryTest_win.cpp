// The input dialog, shown for real and answered from inside its loop.
#include "framework/InputQuery_win.h"

#include <gtest/gtest.h>

#include "support/Dialogs_win.h"

namespace {

TEST(InputQuery, OkTakesTheTypedTextAndCancelLeavesTheValue) {
    std::string Value = "0:5 90:12";
    TDialogAnswer Answer("Horizon mask", {"10 \xB0"});  // 8-bit text both ways
    EXPECT_TRUE(InputQuery(nullptr, "Horizon mask", "Elevation, or AZ:EL points:", Value));
    EXPECT_EQ(Value, "10 \xB0");
    EXPECT_FALSE(InputQuery(nullptr, "Horizon mask", "Again:", Value));
    EXPECT_EQ(Value, "10 \xB0");
    EXPECT_EQ(Answer.Prompts, (std::vector<std::string>{"Elevation, or AZ:EL points:", "Again:"}));
    EXPECT_EQ(Answer.Shown, (std::vector<std::string>{"0:5 90:12", "10 \xB0"}));
}

}  // namespace
