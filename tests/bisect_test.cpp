// ravodor --only --bisect: the search, then the real program on the fake
// clock finding the first date at which a command fails, the clock never set.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <vector>

#include "bisect.h"
#include "childprogram.h"

namespace {

TEST(Bisect, FindsTheFirstFailingPointInAsFewTrialsAsHalvingTakes)
{
    const struct {
        std::int64_t from, to, firstFailing;
        int stopAt;  // the trial that cannot be made, 0: none
    } cases[] = {{100, 200, 101, 0}, {100, 200, 200, 0}, {0, 315576000, 123456789, 0}, {100, 200, 137, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.firstFailing);
        std::vector<std::int64_t> tried;
        const BisectResult result = bisect(c.from, c.to, [&](std::int64_t point) {
            tried.push_back(point);
            EXPECT_TRUE(point >= c.from && point <= c.to) << point;
            if (int(tried.size()) == c.stopAt)
                return TrialOutcome::Stop;
            return point >= c.firstFailing ? TrialOutcome::Fails : TrialOutcome::Passes;
        });
        EXPECT_EQ(result.outcome, c.stopAt ? BisectResult::Stopped : BisectResult::Found);
        EXPECT_EQ(result.runs, int(tried.size()));
        if (!c.stopAt) {
            EXPECT_EQ(result.firstFailing, c.firstFailing);
            EXPECT_EQ(result.lastPassing, c.firstFailing - 1);
            EXPECT_LE(result.runs, 2 + int(std::ceil(std::log2(double(c.to - c.from)))));
        }
    }
}

class BisectProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (mayPassClockRight())
            GTEST_SKIP() << "run the tests without CAP_SYS_TIME";
    }

    // Runs ravodor with `arguments` in UTC, to its end.
    void run(const QStringList& arguments)
    {
        ravodor.start(arguments, {QStringLiteral("TZ=UTC")});
        ASSERT_TRUE(ravodor.process.waitForFinished(60000));
        out = ravodor.process.readAllStandardOutput();
        err = QString::fromLocal8Bit(ravodor.process.readAllStandardError());
    }

    ChildProgram ravodor;
    QByteArray out;
    QString err;
};

// A shell command that fails once `date +FORMAT`, read after `delay`, reaches `first`.
QStringList failsFrom(const char* format, const char* first, const char* whenFailing = "false",
                      const char* delay = "0")
{
    return {"sh", "-c",
            QStringLiteral("sleep %4; test \"$(date +%1)\" -lt %2 || %3")
                .arg(QLatin1String(format), QLatin1String(first), QLatin1String(whenFailing), QLatin1String(delay))};
}

TEST_F(BisectProgramTest, AnswersWithTheFirstFailingDateOrSaysWhichEndIsWrong)
{
    const QStringList days = failsFrom("%Y%m%d", "20310702");
    const QStringList deaf = failsFrom("%Y%m%d", "20310702", "{ trap '' TERM; exec sleep 60; }");
    const struct {
        const char* range;
        QStringList command;
        int exitCode;
        QByteArray answer;
        QString says;  // a line of stderr; %1: the number of trials
    } cases[] = {
        {"2031-06-01..2031-08-01", days, 0, "2031-07-02\n", "first failing date 2031-07-02 (2031-07-01 passes), %1 runs"},
        // Half a second on, the command still sees the second it is tried at.
        {"2031-07-02T10:22:59..2031-07-02T10:23:03", failsFrom("%Y%m%d%H%M%S", "20310702102300", "false", "0.5"), 0,
         "2031-07-02T10:23:00\n", "first failing date 2031-07-02T10:23:00 (2031-07-02T10:22:59 passes), %1 runs"},
        {"2031-07-02..2031-08-01", days, 2, "", "ravodor: sh fails at FROM already (2031-07-02): it must pass there."},
        {"2031-06-01..2031-07-01", days, 1, "",
         "ravodor: sh passes at TO (2031-07-01): no failing date from 2031-06-01 to 2031-07-01."},
        {"2031-06-01..2031-07-01T12:00", days, 64, "", "ravodor: FROM and TO both give a time of day, or neither does."},
        {"2031-06-01..2031-08-01", {"no-such-command"}, 127, "", "ravodor: no-such-command: command not found"},
        // Ended, the hanging trial counts as failing.
        {"2031-07-01..2031-07-02", deaf, 0, "2031-07-02\n", "2031-07-02: timed out after 3 s"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.range);
        run(QStringList{"--only", "--bisect", c.range, "--timeout", "3", "--"} + c.command);
        EXPECT_EQ(ravodor.process.exitCode(), c.exitCode) << err.toStdString();
        EXPECT_EQ(out, c.answer);
        // Every trial tells its date and how it ended, then one line more.
        static const QRegularExpression trialLine(QStringLiteral("^[0-9T:-]+: (exit [0-9]+|timed out after 3 s)$"));
        const QStringList lines = err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        const auto trials = std::count_if(lines.begin(), lines.end(),
                                          [](const QString& line) { return trialLine.match(line).hasMatch(); });
        EXPECT_TRUE(lines.contains(c.says.contains("%1") ? c.says.arg(trials) : c.says)) << err.toStdString();
        EXPECT_EQ(trials + 1, lines.size()) << err.toStdString();
        EXPECT_EQ(ravodor.clock("set_count"), 0);
    }
}

// The command's status after it was asked to end says nothing of the date.
TEST_F(BisectProgramTest, AskedToEndDuringATrialItEndsWithoutAnAnswer)
{
    ravodor.start({"--only", "--bisect", "2031-06-01..2031-08-01", "--", "sh", "-c",
                   "trap 'exit 1' TERM; echo ready; while :; do sleep 0.1; done"});
    // The command's output comes on stderr: stdout is the answer's.
    ravodor.process.setReadChannel(QProcess::StandardError);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ravodor.process.canReadLine(); }, 10000));
    ::kill(static_cast<pid_t>(ravodor.process.processId()), SIGTERM);
    ASSERT_TRUE(ravodor.process.waitForFinished(10000));
    EXPECT_EQ(ravodor.process.exitCode(), 128 + SIGTERM);
    EXPECT_EQ(ravodor.process.readAllStandardOutput(), "");
    EXPECT_EQ(ravodor.process.readAllStandardError(), "ready\nravodor: Ended during the trial at 2031-06-01: no answer.\n");
}

// The manual's example, on a certificate made for thirty days from today.
TEST_F(BisectProgramTest, FindsTheDayACertificateHasExpired)
{
    const QString cert = ravodor.dir.filePath(QStringLiteral("cert.pem"));
    QProcess openssl;
    openssl.start("openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                              "-keyout", ravodor.dir.filePath("key.pem"), "-out", cert, "-days", "30", "-subj", "/CN=t"});
    ASSERT_TRUE(openssl.waitForFinished(20000));
    ASSERT_EQ(openssl.exitCode(), 0) << openssl.readAllStandardError().toStdString();
    const QDate today = QDateTime::currentDateTimeUtc().date();
    run({"--only", "--bisect", today.toString(Qt::ISODate) + ".." + today.addYears(2).toString(Qt::ISODate), "--",
         "openssl", "x509", "-checkend", "0", "-noout", "-in", cert});
    EXPECT_EQ(out, today.addDays(30).toString(Qt::ISODate).toLatin1() + "\n") << err.toStdString();
    EXPECT_TRUE(err.contains("Certificate will expire\n")) << err.toStdString();
}

}  // namespace
