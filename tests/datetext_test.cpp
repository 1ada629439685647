#include "datetext.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QLocale>
#include <QString>

#include <chrono>
#include <iterator>
#include <random>
#include <string>

namespace {

QLocale localeNamed(const std::string& name)
{
    return name == "C" ? QLocale(QLocale::C) : QLocale(QString::fromStdString(name));
}

std::string show(const QString& text) { return "\"" + text.toStdString() + "\""; }

// Stops at the first day that does not come back, so a fault gives one line.
void expectRoundTrip(const DateText& dt, QDate from, QDate to)
{
    for (QDate d = from; d <= to; d = d.addDays(1)) {
        const QString text = dt.format(d);
        const QDate back = dt.parse(text);
        if (back != d) {
            ADD_FAILURE() << dt.locale().name().toStdString() << ": "
                          << d.toString(Qt::ISODate).toStdString() << " formats as " << show(text)
                          << " and reads back as " << back.toString(Qt::ISODate).toStdString();
            return;
        }
    }
}

void expectRoundTripNearEdges(const DateText& dt)
{
    expectRoundTrip(dt, DateText::minimum(), DateText::minimum().addDays(800));
    expectRoundTrip(dt, QDate(999, 1, 1), QDate(1000, 12, 31));
    expectRoundTrip(dt, DateText::maximum().addDays(-800), DateText::maximum());
}

class DateTextRoundTrip : public testing::TestWithParam<std::string> {};

// The locales the tests pin down: day first, month first, the C locale.
TEST_P(DateTextRoundTrip, EveryDayOfFourCenturiesReadsBackAsItself)
{
    const DateText dt(localeNamed(GetParam()));
    expectRoundTrip(dt, QDate(1800, 1, 1), QDate(2200, 12, 31));
    expectRoundTripNearEdges(dt);
}

INSTANTIATE_TEST_SUITE_P(Locales, DateTextRoundTrip,
                         testing::Values("en_GB", "en_US", "de_DE", "C"));

// Year first, native digits with direction marks, literal text and dots around the fields.
class DateTextRoundTripOther : public testing::TestWithParam<std::string> {};

TEST_P(DateTextRoundTripOther, EveryDayOfTwoCenturiesReadsBackAsItself)
{
    const DateText dt(localeNamed(GetParam()));
    expectRoundTrip(dt, QDate(1900, 1, 1), QDate(2100, 12, 31));
    expectRoundTripNearEdges(dt);
}

INSTANTIATE_TEST_SUITE_P(Locales, DateTextRoundTripOther,
                         testing::Values("nl_NL", "fr_FR", "ja_JP", "ar_EG", "bg_BG", "hu_HU",
                                         "ko_KR"));

TEST(DateTextFormat, IsTheShortDateWithAFourDigitYear)
{
    const QDate d(2003, 2, 1);
    EXPECT_EQ(DateText(QLocale("en_US")).format(d), "2/1/2003");
    EXPECT_EQ(DateText(QLocale("en_GB")).format(d), "01/02/2003");
    EXPECT_EQ(DateText(QLocale("de_DE")).format(d), "01.02.2003");
    EXPECT_EQ(DateText(QLocale(QLocale::C)).format(d), "1 Feb 2003");
    EXPECT_EQ(DateText(QLocale("ja_JP")).format(d), "2003/02/01");
    EXPECT_EQ(DateText(QLocale("en_US")).format(QDate(100, 1, 1)), "1/1/0100");
}

TEST(DateTextFormat, UsesTheLocalesMonthNames)
{
    EXPECT_EQ(DateText(QLocale(QLocale::C)).format(QDate(2001, 12, 3)), "3 Dec 2001");
    EXPECT_EQ(DateText(QLocale(QLocale::C)).format(QDate(2001, 5, 30)), "30 May 2001");
}

TEST(DateTextParse, NumericFieldsFollowTheLocalesOrderWithAnySeparator)
{
    const char* spellings[] = {"1-2-03",  "01/02/2003", "1.2.2003",      "1 2 03",
                               "1/2/3",   "01-02-03",   "01 - 02 - 2003", "1 /2.\t2003"};
    const DateText gb(QLocale("en_GB"));
    const DateText us(QLocale("en_US"));
    const DateText de(QLocale("de_DE"));
    const DateText jp(QLocale("ja_JP"));
    for (const char* text : spellings) {
        SCOPED_TRACE(text);
        EXPECT_EQ(gb.parse(text), QDate(2003, 2, 1));
        EXPECT_EQ(us.parse(text), QDate(2003, 1, 2));
        EXPECT_EQ(de.parse(text), QDate(2003, 2, 1));
    }
    EXPECT_EQ(jp.parse("03/2/1"), QDate(2003, 2, 1));
    EXPECT_EQ(jp.parse("2003-2-1"), QDate(2003, 2, 1));
}

TEST(DateTextParse, TheLocalesOwnDigitsReadLikeAsciiDigits)
{
    const DateText ar(QLocale("ar_EG"));
    const QDate d(2001, 12, 3);
    EXPECT_EQ(ar.parse(QString::fromUtf8("٣/١٢/٢٠٠١")), d);
    // The locale writes direction marks after day and month; they may come with any separator.
    EXPECT_EQ(ar.parse(QString::fromUtf8("٣\u200f-١٢\u200f-٢٠٠١")), d);
    EXPECT_EQ(ar.parse("3/12/2001"), d);
    EXPECT_EQ(DateText(QLocale("fa_IR")).parse(QString::fromUtf8("۲۰۰۱/۱۲/۳")), d);
}

TEST(DateTextParse, IsoDatesReadTheSameInEveryLocale)
{
    for (const char* name :
         {"en_GB", "en_US", "de_DE", "C", "nl_NL", "fr_FR", "ja_JP", "ar_EG", "ko_KR"}) {
        SCOPED_TRACE(name);
        const DateText dt(localeNamed(name));
        EXPECT_EQ(dt.parse("2003-02-01"), QDate(2003, 2, 1));
        EXPECT_EQ(dt.parse("1999-12-31"), QDate(1999, 12, 31));
        EXPECT_EQ(dt.parse("0100-01-01"), DateText::minimum());
        EXPECT_FALSE(dt.parse("2003-13-01").isValid());
        EXPECT_FALSE(dt.parse("2003-02-30").isValid());
    }
}

TEST(DateTextParse, ShortYearsFallInTheWindow2000To2029And1930To1999)
{
    const DateText dt(QLocale("en_GB"));
    EXPECT_EQ(dt.parse("1/1/0"), QDate(2000, 1, 1));
    EXPECT_EQ(dt.parse("1/1/00"), QDate(2000, 1, 1));
    EXPECT_EQ(dt.parse("1/1/5"), QDate(2005, 1, 1));
    EXPECT_EQ(dt.parse("31/12/29"), QDate(2029, 12, 31));
    EXPECT_EQ(dt.parse("1/1/30"), QDate(1930, 1, 1));
    EXPECT_EQ(dt.parse("31/12/99"), QDate(1999, 12, 31));
    // Written with four digits, a year is taken as it stands.
    EXPECT_EQ(dt.parse("1/1/2099"), QDate(2099, 1, 1));
    EXPECT_EQ(dt.parse("1/1/1929"), QDate(1929, 1, 1));
    // The window also applies inside the locale's own format with its literals.
    EXPECT_EQ(DateText(QLocale("bg_BG")).parse("3.12.29 г."), QDate(2029, 12, 3));
    EXPECT_EQ(DateText(QLocale("ko_KR")).parse("30. 12. 3."), QDate(1930, 12, 3));
}

TEST(DateTextParse, MonthNamesAndAbbreviationsStandForTheMonth)
{
    const QDate d(2001, 12, 12);
    const DateText gb(QLocale("en_GB"));
    for (const char* text : {"12 December 2001", "December 12, 2001", "12-Dec-2001", "12 dec. 2001",
                             "DEC 12 2001", "2001 December 12", "Dec. 12, 01", "12 December, 2001",
                             "2001-Dec-12", "12 Dec. 2001"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(gb.parse(text), d);
    }
    EXPECT_EQ(DateText(QLocale("en_US")).parse("December 12, 01"), d);
    EXPECT_EQ(DateText(QLocale(QLocale::C)).parse("12 Dec 2001"), d);

    const DateText de(QLocale("de_DE"));
    EXPECT_EQ(de.parse("12. Dezember 2001"), d);
    EXPECT_EQ(de.parse("12. Dez. 2001"), d);
    EXPECT_EQ(de.parse("12 dezember 01"), d);
    EXPECT_EQ(de.parse("1. März 2001"), QDate(2001, 3, 1));
    EXPECT_EQ(de.parse("1. Mär 2001"), QDate(2001, 3, 1));  // the standalone abbreviation

    const DateText fr(QLocale("fr_FR"));
    EXPECT_EQ(fr.parse("12 déc. 2001"), d);
    EXPECT_EQ(fr.parse("12 DÉCEMBRE 2001"), d);
}

TEST(DateTextParse, LongFormatReadsOnlyWithTheRightWeekday)
{
    const DateText de(QLocale("de_DE"));
    EXPECT_EQ(de.parse("Montag, 3. Dezember 2001"), QDate(2001, 12, 3));
    EXPECT_EQ(de.parse("montag, 3. dezember 2001"), QDate(2001, 12, 3));
    EXPECT_EQ(de.parse("Mo., 3. Dez. 2001"), QDate(2001, 12, 3));
    EXPECT_FALSE(de.parse("Dienstag, 3. Dezember 2001").isValid());
    EXPECT_FALSE(de.parse("Montag, 4. Dezember 2001").isValid());

    const DateText us(QLocale("en_US"));
    EXPECT_EQ(us.parse("Monday, December 3, 2001"), QDate(2001, 12, 3));
    EXPECT_FALSE(us.parse("Sunday, December 3, 2001").isValid());
}

TEST(DateTextParse, LongFormatOfTheLocaleReadsBack)
{
    for (const char* name :
         {"en_GB", "en_US", "de_DE", "C", "nl_NL", "fr_FR", "ja_JP", "lt_LT", "hy_AM"}) {
        const QLocale locale = localeNamed(name);
        const DateText dt(locale);
        for (QDate d(2001, 1, 1); d <= QDate(2001, 12, 31); d = d.addDays(1)) {
            const QString text = locale.toString(d, QLocale::LongFormat);
            ASSERT_EQ(dt.parse(text), d) << name << " " << show(text);
        }
    }
}

TEST(DateTextParse, BlanksAroundTheTextAreIgnored)
{
    const DateText dt(QLocale("en_GB"));
    for (const char* text : {"  1/2/2003", "1/2/2003  ", "\t1/2/2003\t", " \t 1 /  2/\t2003 \t",
                             "  12 December 2001 "}) {
        SCOPED_TRACE(text);
        EXPECT_TRUE(dt.isDate(text));
    }
    EXPECT_EQ(dt.parse(" \t01/02/2003\t "), QDate(2003, 2, 1));
}

TEST(DateTextParse, RefusesWhatIsNotADate)
{
    const DateText dt(QLocale("en_GB"));
    const char* refused[] = {
        "", " ", "\t \t",
        // impossible days and months
        "31/02/2001", "29/02/2001", "29/02/1900", "31/04/2001", "1/13/2001", "0/1/2001", "1/0/2001",
        "00/00/2000",
        // years of three or five digits, or out of range
        "1/1/123", "1/1/12345", "1/1/0099", "31/12/0099", "1/1/10000", "0001-01-01", "001/01/2001",
        // junk, missing or extra fields, signs, doubled or trailing separators
        "12/12/2001x", "x12/12/2001", "12/12/2001 x", "12/12", "12", "2003-02", "1/2/3/2004",
        "1 2 3 4", "-1/2/2003", "1/-2/2003", "1/2/-2003", "+1/2/2003", "1//2/2003", "1/2/2003/",
        "1/2/2003.", "1,2,2003",
        // month names
        "12 Foo 2001", "December 2001", "12 December December 2001", "12December2001", "Dec 12",
        "12 Dec.", "Monday 3 December", "Monday, 3 December 2001 x"};
    for (const char* text : refused) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(dt.isDate(text));
    }
    EXPECT_TRUE(dt.isDate("29/02/2000"));

    // The locale's own format needs its blanks too.
    const DateText c{QLocale(QLocale::C)};
    for (const char* text : {"3Dec2001", "3 Dec2001", "3 Dec 2001 2001", "3 Dec"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(c.isDate(text));
    }
}

TEST(DateTextRange, CoversYears100To9999)
{
    EXPECT_EQ(DateText::minimum(), QDate(100, 1, 1));
    EXPECT_EQ(DateText::maximum(), QDate(9999, 12, 31));
    EXPECT_TRUE(DateText::inRange(DateText::minimum()));
    EXPECT_TRUE(DateText::inRange(DateText::maximum()));
    EXPECT_FALSE(DateText::inRange(DateText::minimum().addDays(-1)));
    EXPECT_FALSE(DateText::inRange(DateText::maximum().addDays(1)));
    EXPECT_FALSE(DateText::inRange(QDate()));

    const DateText dt(QLocale("en_GB"));
    EXPECT_EQ(dt.parse("01/01/0100"), DateText::minimum());
    EXPECT_EQ(dt.parse("31/12/9999"), DateText::maximum());
}

TEST(DateTextParse, CivilDatesConvertBothWays)
{
    const CivilDate civil{2003, 2, 1};
    EXPECT_EQ(DateText::toQDate(civil), QDate(2003, 2, 1));
    EXPECT_EQ(DateText::toCivil(QDate(2003, 2, 1)), civil);
}

TEST(DateTextParse, LongTextsAreRefusedQuickly)
{
    const DateText dt(QLocale("en_GB"));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(dt.isDate(QString(100000, u'1')));
    EXPECT_FALSE(dt.isDate(QString(100000, u' ') + "1/2/2003"));
    EXPECT_FALSE(dt.isDate(QString("1/2/2003") + QString(300, u' ')));
    EXPECT_FALSE(dt.isDate(QString("Monday, ").repeated(40)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

// Random texts built from the pieces dates are made of: whatever is accepted
// must be a date in range that formats and reads back as itself.
TEST(DateTextParse, RandomTextsGiveADateInRangeOrNone)
{
    const char* fields[] = {"1",   "7",   "12",  "29",  "31",       "03",   "0",   "00",     "123",
                            "2003", "0100", "99999", "Dec", "December", "Juni", "Mo.", "Monday", "\u0663"};
    const char* separators[] = {"/", "-", ".", " ", ", ", "\t", "'", "", "//", "\u5e74", "x"};
    std::mt19937 random(20261207);
    auto pick = [&](const auto& pieces) {
        return QString::fromUtf8(pieces[random() % std::size(pieces)]);
    };
    for (const char* name : {"en_GB", "de_DE", "ja_JP"}) {
        const DateText dt(localeNamed(name));
        int accepted = 0;
        for (int i = 0; i < 20000; ++i) {
            QString text = pick(fields);
            for (auto more = random() % 4; more > 0; --more)
                text += pick(separators) + pick(fields);
            const QDate d = dt.parse(text);
            if (!d.isValid())
                continue;
            ++accepted;
            ASSERT_TRUE(DateText::inRange(d)) << name << " " << show(text);
            ASSERT_EQ(dt.parse(dt.format(d)), d) << name << " " << show(text);
        }
        EXPECT_GT(accepted, 20) << name;
    }
}

}  // namespace
