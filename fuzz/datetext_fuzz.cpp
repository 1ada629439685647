// Reading any text as a date, under locales whose formats differ in order,
// separators, month names and digits. Never a crash, and every text that reads
// as a date gives a date in range whose formatted text reads back as itself.

#include <QLocale>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "datetext.h"

namespace {

const std::vector<DateText>& dateTexts()
{
    // ar_EG and fa_IR write their own digits, ja_JP has no separators of ours,
    // de_DE dotted month names.
    static const std::vector<DateText> all = [] {
        std::vector<DateText> list;
        for (const char* name : {"en_GB", "en_US", "de_DE", "C", "ja_JP", "ar_EG", "fa_IR"})
            list.emplace_back(QLocale(QString::fromLatin1(name)));
        return list;
    }();
    return all;
}

[[noreturn]] void fail(const DateText& dates, const QString& text, const char* what, const QDate& date,
                       const QString& shown)
{
    std::fprintf(stderr, "%s\n  locale %s\n  text   \"%s\"\n  date   %s\n  shown  \"%s\"\n", what,
                 qPrintable(dates.locale().name()), qPrintable(text),
                 qPrintable(date.toString(Qt::ISODate)), qPrintable(shown));
    std::abort();
}

void check(const DateText& dates, const QString& text)
{
    const QDate date = dates.parse(text);
    if (date.isValid() != dates.isDate(text))
        fail(dates, text, "parse and isDate disagree", date, {});
    if (!date.isValid())
        return;
    if (!DateText::inRange(date))
        fail(dates, text, "a date outside the range the program handles", date, {});
    const QString shown = dates.format(date);
    const QDate back = dates.parse(shown);
    if (back != date)
        fail(dates, text, "the formatted date does not read back as itself", date, shown);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString asUtf8 = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // The same bytes as UTF-16 reach lone surrogates and characters UTF-8
    // input rarely finds.
    std::u16string units(size / 2, u'\0');
    if (!units.empty())
        std::memcpy(&units[0], data, units.size() * 2);
    const QString asUtf16 = QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size()));

    for (const DateText& dates : dateTexts()) {
        check(dates, asUtf8);
        check(dates, asUtf16);
    }
    return 0;
}
