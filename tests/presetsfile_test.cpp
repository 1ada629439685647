// The presets file's line format, apart from any window.

#include <gtest/gtest.h>

#include "presetsfile.h"

namespace {

TEST(PresetsFile, LinesEndAtCrLfOrALoneCr)
{
    EXPECT_EQ(splitPresetLines("a = 1\r\nb = 2\r\n"), (QList<QByteArray>{"a = 1", "b = 2"}));
    EXPECT_EQ(splitPresetLines("a\rb\nc\r\n"), (QList<QByteArray>{"a", "b\nc"}));  // a lone LF stays in its line
    EXPECT_EQ(splitPresetLines("last line"), QList<QByteArray>{"last line"});
    EXPECT_EQ(splitPresetLines("a\r\r\nb"), (QList<QByteArray>{"a", "b"}));
    EXPECT_EQ(splitPresetLines("\n"), QList<QByteArray>{"\n"});
}

TEST(PresetsFile, EmptyLinesAreDroppedButBlankLinesKept)
{
    EXPECT_EQ(splitPresetLines("\r\n\r\n\r"), QList<QByteArray>{});
    EXPECT_EQ(splitPresetLines(""), QList<QByteArray>{});
    EXPECT_EQ(splitPresetLines("   \r\n\r\nx\r\n"), (QList<QByteArray>{"   ", "x"}));
}

TEST(PresetsFile, EveryEntryIsWrittenWithCrLf)
{
    EXPECT_EQ(joinPresetLines({"a = 1", "   ", "b = 2"}), QByteArray("a = 1\r\n   \r\nb = 2\r\n"));
    EXPECT_EQ(joinPresetLines({}), QByteArray());
    EXPECT_EQ(presetsFirstContent(), QByteArray("Testpreset = 12/12/2001\r\n"));
    EXPECT_EQ(presetsFirstContent().size(), 25);
}

TEST(PresetsFile, TextIsStoredInTheSystemsEncoding)
{
    const QString entry = QString::fromUtf8("Verjaardag \xC3\xA9\xC3\xA9n = 1/2/2003");
    EXPECT_EQ(encodePresetLine(entry), entry.toLocal8Bit());
    EXPECT_EQ(decodePresetLine(encodePresetLine(entry)), entry);
}

}  // namespace
