// The QtCore part a command line without Qt loads only for a date not
// written YYYY-MM-DD, and for --help's example: the locale's short form
// read and written as the window reads and writes it.

#include <QDate>
#include <QLocale>

#include <cstring>

#include "datetext.h"

extern "C" __attribute__((visibility("default"))) int ravodor_locale_date(const char* text, int* year, int* month,
                                                                          int* day)
{
    const QDate date = DateText(QLocale::system()).parse(QString::fromLocal8Bit(text));
    date.getDate(year, month, day);
    return date.isValid();
}

extern "C" __attribute__((visibility("default"))) void ravodor_locale_example(char* buffer, int size)
{
    const QByteArray text = DateText(QLocale::system()).format(QDate(2030, 12, 31)).toLocal8Bit();
    std::strncpy(buffer, text.constData(), size_t(size - 1));
    buffer[size - 1] = '\0';
}
