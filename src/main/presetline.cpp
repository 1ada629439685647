#include "presetline.h"

namespace {

const QString kNotFound = QStringLiteral("NOT FOUND");

// 1-based position of the first "=" at or after position `from`, 0 for none.
int findEquals(const QString& text, int from)
{
    return static_cast<int>(text.indexOf(QLatin1Char('='), from - 1)) + 1;
}

}  // namespace

QString Get_After_isGelijkAan(qint16 intisGelijkAanNumber, const QString& strString, AppError* error)
{
    if (strString.size() >= kPresetLineMax)
        return kNotFound;

    const int n = intisGelijkAanNumber;
    if (n == 0) {
        const int p = findEquals(strString, 1);
        if (p == 0) {
            if (error)
                *error = AppError::invalidCall();
            return {};
        }
        return strString.left(p - 1);
    }

    int p = findEquals(strString, 1);
    bool notFound = false;
    // Once a search has failed the field is not found, however many remain.
    for (int i = 1; i < n && !notFound; ++i) {
        p = findEquals(strString, p + 1);
        if (p == 0)
            notFound = true;
    }

    const int start = p + 1;
    if (start > strString.size() || notFound)
        return kNotFound;
    const int q = findEquals(strString, start);
    return q == 0 ? strString.mid(start - 1) : strString.mid(start - 1, q - start);
}
