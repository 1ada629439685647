// The refusal to set the clock keeps its first line and says, in one more
// paragraph, what the user can do on this system and where to read more.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "refusalmessage.h"

namespace {

QByteArray contents(const char* path)
{
    QFile file(QString::fromUtf8(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(RefusalMessage, FirstLineThenAdviceForSystemAndCauseThenWhereToReadOn)
{
    const char* privilege = "You do not have the proper privilege level to alter the System Time.";
    const char* manual = " See \"man ravodor\", section \"THE RIGHT TO SET THE CLOCK\"";
    const char* password = "Changing the date needs an administrator's password. Without one, ask an administrator "
                           "to give Ravodor the right to set the clock.";
    const struct {
        HostSystem system;
        int cause;
        RefusalPlace place;
        const char* readme;
        QString expected;
    } cases[] = {
        {HostSystem::Unix, kRefusalAuthDenied, RefusalPlace::Window, "",
         QString::fromUtf8(privilege) + "\r\n\r\n" + password + manual + "."},
        {HostSystem::Unix, kRefusalAuthDenied, RefusalPlace::CommandLine, "",
         QStringLiteral("The system's authorisation to set the clock was denied.\n\n") + password + manual + "."},
        {HostSystem::Unix, kRefusalNoRight, RefusalPlace::CommandLine, "/src/README.md",
         QString::fromUtf8(privilege)
             + "\n\nRavodor has not been given the right to set the clock, and the system's time service is not "
               "there to ask. An administrator can give it that right."
             + manual + ", or the section \"Giving the program the right to set the clock\" of /src/README.md."},
        {HostSystem::Unix, kRefusalNotInGroup, RefusalPlace::Window, "",
         QString::fromUtf8(privilege)
             + "\r\n\r\nOn this computer only members of the group ravodor may change the date. Ask an "
               "administrator to make you a member, then log in again."
             + manual + "."},
        {HostSystem::Windows, kRefusalNoRight, RefusalPlace::Window, "/src/README.md",
         QString::fromUtf8(privilege)
             + "\r\n\r\nStart Ravodor as an administrator (right-click it and choose \"Run as administrator\"), "
               "then set the date again."},
    };
    for (const auto& c : cases) {
        AppError refused = AppError::permissionDenied();
        refused.cause = c.cause;
        EXPECT_EQ(refusalMessage(refused, c.place, c.system, QString::fromUtf8(c.readme)), c.expected);
    }
    // The sections the advice points to are there.
    EXPECT_TRUE(contents(RAVODOR_MANUAL).contains("\n.SH THE RIGHT TO SET THE CLOCK\n"));
    EXPECT_TRUE(contents(RAVODOR_README).contains("\n## Giving the program the right to set the clock\n"));
}

TEST(RefusalMessage, TheReadmeIsThatOfTheSourcesTheNearestBuildFolderNames)
{
    QTemporaryDir root;
    const QDir dir(root.path());
    for (const char* folder : {"sources", "gone", "usr/bin", "sources/build/src", "far/near/src"})
        ASSERT_TRUE(dir.mkpath(QString::fromUtf8(folder)));
    const auto write = [&](const QString& path, const QByteArray& text) {
        QFile file(dir.filePath(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    const auto cacheNaming = [&](const char* sources) {
        return "CMAKE_BUILD_TYPE:STRING=Debug\nCMAKE_HOME_DIRECTORY:INTERNAL=" + dir.filePath(sources).toUtf8() + "\n";
    };
    write(QStringLiteral("sources/README.md"), "# Ravodor\n");
    write(QStringLiteral("sources/build/CMakeCache.txt"), cacheNaming("sources"));
    write(QStringLiteral("far/CMakeCache.txt"), cacheNaming("sources"));
    write(QStringLiteral("far/near/CMakeCache.txt"), cacheNaming("gone"));

    const struct {
        const char* programFolder;
        QString readme;
    } cases[] = {
        {"sources/build/src", dir.filePath(QStringLiteral("sources/README.md"))},
        {"usr/bin", QString()},
        {"far/near/src", QString()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sourceTreeReadme(dir.filePath(QString::fromUtf8(c.programFolder))), c.readme) << c.programFolder;
}

}  // namespace
