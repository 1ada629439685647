// The manual, the README, the metainfo and the desktop entry tell the same
// release, paths and ways to the right to set the clock.

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QString contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

const QString kReadme = QStringLiteral(RAVODOR_SOURCE_DIR "/README.md");
const QString kManual = QStringLiteral(RAVODOR_MANUAL);
const QString kMetainfo = QStringLiteral(RAVODOR_SOURCE_DIR "/data/ravodor.metainfo.xml");

TEST(Docs, SayTheSameReleaseAndPaths)
{
    const QString version = QStringLiteral(RAVODOR_PROJECT_VERSION);
    const QString date = QStringLiteral(RAVODOR_RELEASE_DATE);
    // What `cmake --install` gives without a prefix, as the README's commands run it.
    const QString readmeGuard = QStringLiteral("/usr/local/" RAVODOR_LIBEXECDIR "/ravodor/ravodor-guard");
    const struct {
        QString file;
        QString says;
    } cases[] = {
        {kManual, QStringLiteral(".TH RAVODOR 1 \"%1\" \"Ravodor %2\"").arg(date, version)},
        {kMetainfo, QStringLiteral("<release version=\"%1\" date=\"%2\"/>").arg(version, date)},
        {kManual, QStringLiteral("setcap cap_sys_time+ep " RAVODOR_GUARD_INSTALL_PATH "\n")},
        {kReadme, QStringLiteral("sudo setcap cap_sys_time+ep ") + readmeGuard + "\n"},
        // The manual the README names is one that scripts/run.sh configures.
        {kReadme, QStringLiteral("man -l build-release/src/ravodor.1")},
        {QStringLiteral(RAVODOR_SOURCE_DIR "/scripts/run.sh"), QStringLiteral("cmake -S . -B build-release ")},
        // The benchmarks docs/benchmarks.md measures are built by every test run, so they keep building.
        {QStringLiteral(RAVODOR_SOURCE_DIR "/scripts/test.sh"), QStringLiteral(" -DRAVODOR_BENCH=ON\n")},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(contents(c.file).contains(c.says)) << c.file.toStdString() << " lacks " << c.says.toStdString();
}

TEST(Docs, TheTwoWaysToTheRightComeInTheSameOrderWithTheSameWords)
{
    const QString desktop = QStringLiteral("for a computer where an administrator can type a password when asked");
    const QString helper = QStringLiteral("for machines where nobody types a password (kiosks, test rigs)");
    for (const QString& file : {kReadme, kManual}) {
        const QString text = contents(file);
        EXPECT_GE(text.indexOf(desktop), 0) << file.toStdString();
        EXPECT_GT(text.indexOf(helper), text.indexOf(desktop)) << file.toStdString();
    }
}

TEST(Docs, TheDesktopEntryIsNamedByTheComponentId)
{
    const QRegularExpressionMatch id = QRegularExpression(QStringLiteral("<id>([^<]+)</id>")).match(contents(kMetainfo));
    ASSERT_TRUE(id.hasMatch());
    const QString entry = id.captured(1) + QStringLiteral(".desktop");
    EXPECT_TRUE(QFile::exists(QStringLiteral(RAVODOR_SOURCE_DIR "/data/") + entry)) << entry.toStdString();
    EXPECT_TRUE(contents(kMetainfo).contains(QStringLiteral("<launchable type=\"desktop-id\">%1</launchable>").arg(entry)));
    // The name the program gives the desktop, and the install rules use.
    EXPECT_EQ(QStringLiteral(RAVODOR_APP_ID), id.captured(1));
}

}  // namespace
