#pragma once
// The locale's date rules: every date the program shows or keeps is text in
// the user's short date format, and is read back by the same locale.

#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringView>

#include <array>
#include <vector>

#include "clock.h"

class DateText {
public:
    explicit DateText(const QLocale& locale = QLocale::system());

    const QLocale& locale() const { return locale_; }

    // The short date, always with a four-digit year so it reads back as itself.
    QString format(const QDate& date) const;
    // The date a text stands for, or an invalid QDate when it is not a date.
    QDate parse(const QString& text) const;
    bool isDate(const QString& text) const { return parse(text).isValid(); }

    // The range of dates the program handles (years 100 to 9999).
    static bool inRange(const QDate& date);
    static QDate minimum();
    static QDate maximum();

    static QDate toQDate(const CivilDate& date) { return QDate(date.year, date.month, date.day); }
    static CivilDate toCivil(const QDate& date) { return {date.year(), date.month(), date.day()}; }

private:
    // One piece of a compiled date format.
    struct Element {
        enum Kind { Literal, Blank, Day, Month, MonthName, Weekday, Year } kind;
        QString text;  // folded, for Literal
    };
    struct Name {
        QString text;  // folded, without a trailing dot
        int value;     // month 1..12 or weekday 1..7
    };
    struct Fields {
        int day = 0, month = 0, year = 0, weekday = 0;
    };
    using Format = std::vector<Element>;

    Format compile(const QString& format) const;
    bool match(const Format& format, std::size_t element, QStringView text, qsizetype pos,
               Fields fields, QDate& date) const;
    QDate parseFree(QStringView text) const;

    QLocale locale_;
    QString shortFormat_;  // the locale's short format with a four-digit year
    Format shortElements_;
    Format longElements_;
    std::vector<Name> monthNames_;  // longest first
    std::vector<Name> dayNames_;    // longest first
    std::array<Element::Kind, 3> numericOrder_{};  // Day, Month and Year in the locale's order
};
