// The guard's answers are read exactly as the guard writes them: the
// program trusts a done only when it is one.

#include <gtest/gtest.h>

#include "guardprotocol.h"

namespace {

TEST(GuardProtocol, AnAnswerIsReadOnlyAsTheGuardWritesIt)
{
    const struct {
        const char* line;
        bool read;
        int number;
    } rows[] = {
        {"0 0 ", true, 0},
        {"70 3 Permission denied", true, 70},
        {"-1 0 x", true, -1},
        // A number beyond int is no 0.
        {"4294967296 0 x", false, 0},
        {"0 4294967296 x", false, 0},
        // The description's blank is part of every answer.
        {"0 0", false, 0},
        {"0", false, 0},
        {"00 0 x", false, 0},
        {"+0 0 x", false, 0},
        {" 0 0 x", false, 0},
        {"0 0 x\r", false, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        AppError answer{12345, "untouched", {}, 0};
        EXPECT_EQ(parseAnswer(row.line, &answer), row.read);
        EXPECT_EQ(answer.number, row.read ? row.number : 12345);
        if (row.read) {
            EXPECT_EQ(formatAnswer(answer), row.line);
        }
    }
}

}  // namespace
