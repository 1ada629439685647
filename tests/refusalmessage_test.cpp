// The refusal to set the clock keeps its old sentence and says, in one more
// paragraph, what the user can do on this system.

#include <QFile>
#include <gtest/gtest.h>

#include "refusalmessage.h"

namespace {

TEST(RefusalMessage, FirstTheOldSentenceThenOneParagraphFittedToSystemAndCause)
{
    struct Case {
        HostSystem system;
        int cause;
        const char* advice;
    };
    const Case cases[] = {
        {HostSystem::Unix, kRefusalAuthDenied,
         "Changing the date needs an administrator's password. Press Set again and enter it when the system asks "
         "for it."},
        {HostSystem::Unix, kRefusalNoRight,
         "Ravodor has not been given the right to set the clock, and the system's time service is not there to "
         "ask. The README's section \"Giving the program the right to set the clock\" tells how to give it."},
        {HostSystem::Windows, kRefusalAuthDenied,
         "Start Ravodor as an administrator (right-click it and choose \"Run as administrator\"), then set the date "
         "again."},
        {HostSystem::Windows, kRefusalNoRight,
         "Start Ravodor as an administrator (right-click it and choose \"Run as administrator\"), then set the date "
         "again."},
    };
    for (const Case& c : cases) {
        AppError refused = AppError::permissionDenied();
        refused.cause = c.cause;
        EXPECT_EQ(refusalMessage(refused, c.system),
                  QStringLiteral("You do not have the proper privilege level to alter the System Time.\r\n\r\n") +
                      QString::fromUtf8(c.advice));
    }
}

TEST(RefusalMessage, TheReadmeHasTheSectionItPointsTo)
{
    QFile readme(QStringLiteral(RAVODOR_README));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    EXPECT_TRUE(readme.readAll().contains("\n## Giving the program the right to set the clock\n"));
}

}  // namespace
