// The refusal to set the clock keeps its old sentence and says, in one more
// paragraph, what the user can do on this system.

#include <QFile>
#include <gtest/gtest.h>

#include "refusalmessage.h"

namespace {

TEST(RefusalMessage, TheOldSentenceThenAdviceForSystemAndCauseThatTheReadmeBacks)
{
    const char* windows = "Start Ravodor as an administrator (right-click it and choose \"Run as administrator\"), "
                          "then set the date again.";
    const struct {
        HostSystem system;
        int cause;
        const char* advice;
    } cases[] = {
        {HostSystem::Unix, kRefusalAuthDenied,
         "Changing the date needs an administrator's password. Press Set again and enter it when the system asks "
         "for it."},
        {HostSystem::Unix, kRefusalNoRight,
         "Ravodor has not been given the right to set the clock, and the system's time service is not there to "
         "ask. The README's section \"Giving the program the right to set the clock\" tells how to give it."},
        {HostSystem::Windows, kRefusalAuthDenied, windows},
        {HostSystem::Windows, kRefusalNoRight, windows},
    };
    for (const auto& c : cases) {
        AppError refused = AppError::permissionDenied();
        refused.cause = c.cause;
        EXPECT_EQ(refusalMessage(refused, c.system),
                  QStringLiteral("You do not have the proper privilege level to alter the System Time.\r\n\r\n") +
                      QString::fromUtf8(c.advice));
    }
    // The section the advice points to is there.
    QFile readme(QStringLiteral(RAVODOR_README));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    EXPECT_TRUE(readme.readAll().contains("\n## Giving the program the right to set the clock\n"));
}

}  // namespace
