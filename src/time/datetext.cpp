#include "datetext.h"

#include <algorithm>

namespace {

// Anything longer is not a date; keeps the cost of any input small.
constexpr qsizetype MaxTextLength = 256;

bool isBlank(QChar c) { return c.isSpace(); }
bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Case-folded, with every decimal digit as an ASCII digit and the invisible
// direction marks some locales put into their formats dropped, so that typed
// text, locale names and format literals compare as plain strings.
QString fold(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        qsizetype width = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            width = 2;
        }
        if (QChar::category(c) == QChar::Other_Format) {
            // dropped
        } else if (QChar::isDigit(c)) {
            out += QChar(u'0' + QChar::digitValue(c));
        } else {
            out += text.mid(i, width);
        }
        i += width - 1;
    }
    return out.toCaseFolded();
}

// Reads up to maxDigits digits at pos; returns how many were read.
int readNumber(QStringView text, qsizetype& pos, int maxDigits, int& value)
{
    int count = 0;
    value = 0;
    while (pos < text.size() && count < maxDigits && isDigit(text[pos])) {
        value = value * 10 + (text[pos].unicode() - u'0');
        ++pos;
        ++count;
    }
    return count;
}

// One or two digits go through the usual window: 00-29 is 2000-2029, 30-99 is 1930-1999.
int yearFrom(int value, int digits)
{
    if (digits == 4)
        return value;
    if (digits == 1 || digits == 2)
        return value < 30 ? 2000 + value : 1900 + value;
    return 0;
}

QDate makeDate(int year, int month, int day)
{
    const QDate date(year, month, day);
    return DateText::inRange(date) ? date : QDate();
}

// The format with "yy" widened to "yyyy". Each quote toggles quoting, so a
// doubled quote (a literal quote, inside quotes or out) leaves it unchanged.
QString withFourDigitYear(const QString& format)
{
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size();) {
        qsizetype run = 1;
        while (i + run < format.size() && format[i + run] == format[i])
            ++run;
        if (format[i] == u'\'')
            quoted = (run % 2 == 1) != quoted;
        const bool twoDigitYear = !quoted && format[i] == u'y' && run == 2;
        out += twoDigitYear ? QStringLiteral("yyyy") : format.mid(i, run);
        i += run;
    }
    return out;
}

}  // namespace

DateText::DateText(const QLocale& locale) : locale_(locale)
{
    const QString shortFormat = locale_.dateFormat(QLocale::ShortFormat);
    shortFormat_ = withFourDigitYear(shortFormat);
    shortElements_ = compile(shortFormat);
    longElements_ = compile(locale_.dateFormat(QLocale::LongFormat));

    // Kept without a trailing dot so that "Dez" and "Dez." both read; a name of
    // digits only would pass for a number and is left out.
    auto addName = [](std::vector<Name>& names, const QString& name, int value) {
        QString text = fold(name);
        while (text.endsWith(u'.'))
            text.chop(1);
        const bool known = std::any_of(names.cbegin(), names.cend(),
                                       [&](const Name& n) { return n.text == text; });
        if (!known && !std::all_of(text.cbegin(), text.cend(), isDigit))
            names.push_back({text, value});
    };
    for (int m = 1; m <= 12; ++m) {
        addName(monthNames_, locale_.monthName(m, QLocale::LongFormat), m);
        addName(monthNames_, locale_.standaloneMonthName(m, QLocale::LongFormat), m);
        addName(monthNames_, locale_.monthName(m, QLocale::ShortFormat), m);
        addName(monthNames_, locale_.standaloneMonthName(m, QLocale::ShortFormat), m);
    }
    for (int d = 1; d <= 7; ++d) {
        addName(dayNames_, locale_.dayName(d, QLocale::LongFormat), d);
        addName(dayNames_, locale_.standaloneDayName(d, QLocale::LongFormat), d);
        addName(dayNames_, locale_.dayName(d, QLocale::ShortFormat), d);
        addName(dayNames_, locale_.standaloneDayName(d, QLocale::ShortFormat), d);
    }
    const auto longerFirst = [](const Name& a, const Name& b) {
        return a.text.size() > b.text.size();
    };
    std::stable_sort(monthNames_.begin(), monthNames_.end(), longerFirst);
    std::stable_sort(dayNames_.begin(), dayNames_.end(), longerFirst);

    std::size_t found = 0;
    for (const Element& e : shortElements_) {
        const Element::Kind kind = e.kind == Element::MonthName ? Element::Month : e.kind;
        const auto seen = numericOrder_.begin() + found;
        if ((kind == Element::Day || kind == Element::Month || kind == Element::Year)
            && std::find(numericOrder_.begin(), seen, kind) == seen)
            numericOrder_[found++] = kind;
    }
    if (found != 3)
        numericOrder_ = {Element::Day, Element::Month, Element::Year};
}

// Splits a format the way QLocale reads it: d, M and y runs are fields, text in
// quotes and every other character is literal.
DateText::Format DateText::compile(const QString& format) const
{
    Format out;
    QString literal;
    auto flush = [&] {
        const QString text = fold(literal);
        if (!text.isEmpty())
            out.push_back({Element::Literal, text});
        literal.clear();
    };
    auto add = [&](Element::Kind kind) {
        flush();
        if (kind != Element::Blank || out.empty() || out.back().kind != Element::Blank)
            out.push_back({kind, {}});
    };

    bool quoted = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        qsizetype run = 1;
        while (i + run < format.size() && format[i + run] == c)
            ++run;
        if (c == u'\'') {
            // A doubled quote is a literal quote, inside quotes or out.
            if (run >= 2) {
                literal += c;
                i += 2;
            } else {
                quoted = !quoted;
                ++i;
            }
        } else if (isBlank(c)) {
            add(Element::Blank);
            ++i;
        } else if (!quoted && c == u'd') {
            run = std::min<qsizetype>(run, 4);
            add(run <= 2 ? Element::Day : Element::Weekday);
            i += run;
        } else if (!quoted && c == u'M') {
            run = std::min<qsizetype>(run, 4);
            add(run <= 2 ? Element::Month : Element::MonthName);
            i += run;
        } else if (!quoted && c == u'y' && run >= 2) {
            // As QLocale reads it: yyyy, else yy; a lone y is literal.
            add(Element::Year);
            i += run >= 4 ? 4 : 2;
        } else {
            literal += c;
            ++i;
        }
    }
    flush();
    return out;
}

// Matches text from pos against the format from element on. Numbers are read
// greedily; only names may need a second try (a shorter name, with or without
// a dot), which keeps the search small.
bool DateText::match(const Format& format, std::size_t element, QStringView text, qsizetype pos,
                     Fields fields, QDate& date) const
{
    if (element == format.size()) {
        if (pos != text.size())
            return false;
        date = makeDate(fields.year, fields.month, fields.day);
        return date.isValid() && (fields.weekday == 0 || fields.weekday == date.dayOfWeek());
    }
    const Element& e = format[element];
    switch (e.kind) {
    case Element::Literal:
        return text.mid(pos).startsWith(e.text)
               && match(format, element + 1, text, pos + e.text.size(), fields, date);
    case Element::Blank: {
        const qsizetype start = pos;
        while (pos < text.size() && isBlank(text[pos]))
            ++pos;
        return pos > start && match(format, element + 1, text, pos, fields, date);
    }
    case Element::Day:
    case Element::Month:
    case Element::Year: {
        int value = 0;
        const int digits = readNumber(text, pos, e.kind == Element::Year ? 4 : 2, value);
        if (digits == 0)
            return false;
        if (e.kind == Element::Day)
            fields.day = value;
        else if (e.kind == Element::Month)
            fields.month = value;
        else
            fields.year = yearFrom(value, digits);
        return match(format, element + 1, text, pos, fields, date);
    }
    case Element::MonthName:
    case Element::Weekday: {
        const auto& names = e.kind == Element::MonthName ? monthNames_ : dayNames_;
        int& field = e.kind == Element::MonthName ? fields.month : fields.weekday;
        for (const Name& name : names) {
            if (!text.mid(pos).startsWith(name.text))
                continue;
            field = name.value;
            const qsizetype end = pos + name.text.size();
            if (end < text.size() && text[end] == u'.'
                && match(format, element + 1, text, end + 1, fields, date))
                return true;
            if (match(format, element + 1, text, end, fields, date))
                return true;
        }
        return false;
    }
    }
    return false;
}

// Day, month and year with /, -, . or blanks between them: numbers in the
// locale's order, ISO order when the first number has four digits, and a
// month name anywhere, with the two numbers then told apart by their digits.
QDate DateText::parseFree(QStringView text) const
{
    struct Part {
        int value = 0;
        int digits = 0;  // 0 for a month name
    };
    std::array<Part, 3> parts;
    int count = 0;
    int nameCount = 0;
    bool comma = false;
    qsizetype pos = 0;

    for (;;) {
        if (count == 3)
            return {};
        Part& part = parts[count++];
        const auto name = std::find_if(monthNames_.cbegin(), monthNames_.cend(), [&](const Name& n) {
            return text.mid(pos).startsWith(n.text);
        });
        if (name != monthNames_.cend()) {
            part.value = name->value;
            pos += name->text.size();
            ++nameCount;
        } else {
            part.digits = readNumber(text, pos, 5, part.value);
            if (part.digits == 0 || part.digits == 3 || part.digits > 4)
                return {};
        }
        if (pos == text.size())
            break;

        const qsizetype start = pos;
        while (pos < text.size() && isBlank(text[pos]))
            ++pos;
        if (pos < text.size() && QStringView(u"/-.,").contains(text[pos])) {
            comma = comma || text[pos] == u',';
            ++pos;
            while (pos < text.size() && isBlank(text[pos]))
                ++pos;
        }
        if (pos == start)
            return {};
        if (pos == text.size()) {
            // Only an abbreviated month name may end the text, with its dot.
            if (part.digits == 0 && pos - start == 1 && text[start] == u'.')
                break;
            return {};
        }
    }
    if (count != 3 || nameCount > 1 || (comma && nameCount == 0))
        return {};

    int day = 0, month = 0, year = 0;
    auto assign = [&](Element::Kind kind, const Part& part) {
        const bool shortNumber = part.digits == 1 || part.digits == 2;
        if (kind == Element::Day && shortNumber)
            day = part.value;
        else if (kind == Element::Month && (shortNumber || part.digits == 0))
            month = part.value;
        else if (kind == Element::Year && part.digits != 0)
            year = yearFrom(part.value, part.digits);
    };

    if (nameCount == 0) {
        const std::array<Element::Kind, 3> iso{Element::Year, Element::Month, Element::Day};
        const auto& order = parts[0].digits == 4 ? iso : numericOrder_;
        for (int i = 0; i < 3; ++i)
            assign(order[i], parts[i]);
    } else {
        std::array<Part, 2> numbers;
        std::copy_if(parts.cbegin(), parts.cend(), numbers.begin(),
                     [](const Part& p) { return p.digits != 0; });
        const auto dayAt = std::find(numericOrder_.cbegin(), numericOrder_.cend(), Element::Day);
        const auto yearAt = std::find(numericOrder_.cbegin(), numericOrder_.cend(), Element::Year);
        const bool yearFirst =
            numbers[0].digits == 4 || (numbers[1].digits != 4 && yearAt < dayAt);
        assign(Element::Year, numbers[yearFirst ? 0 : 1]);
        assign(Element::Day, numbers[yearFirst ? 1 : 0]);
        for (const Part& p : parts)
            if (p.digits == 0)
                assign(Element::Month, p);
    }
    return makeDate(year, month, day);
}

QString DateText::format(const QDate& date) const
{
    return locale_.toString(date, shortFormat_);
}

QDate DateText::parse(const QString& text) const
{
    if (text.size() > MaxTextLength)
        return {};
    const QString folded = fold(text).trimmed();
    if (folded.isEmpty())
        return {};

    QDate date;
    if (match(shortElements_, 0, folded, 0, {}, date))
        return date;
    if (match(longElements_, 0, folded, 0, {}, date))
        return date;
    return parseFree(folded);
}

bool DateText::inRange(const QDate& date)
{
    return date.isValid() && date >= minimum() && date <= maximum();
}

QDate DateText::minimum() { return QDate(100, 1, 1); }
QDate DateText::maximum() { return QDate(9999, 12, 31); }
