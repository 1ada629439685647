// Get_After_isGelijkAan on any text with any field number, against a model
// that follows the field rules literally (1-based positions, a search that
// finds nothing gives 0).
//
// Input: 2 bytes field number (little-endian qint16), 2 bytes filler count,
// then the text as UTF-8. The filler ('x' repeated up to 32767 times) goes
// before the text, so texts around the 16-bit limit are reached in a few
// mutations. Only small field numbers get it: the cost of a field number
// beyond the text's signs grows with number times length (see
// docs/robustness.md), and large numbers need no long text to be reached.

#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "presetline.h"

namespace {

const QString kNotFound = QStringLiteral("NOT FOUND");

// Position (1-based) of the first '=' at or after position `from`, or 0.
int instr(int from, const QString& s)
{
    for (int i = from; i <= s.size(); ++i) {
        if (s[i - 1] == QLatin1Char('='))
            return i;
    }
    return 0;
}

// The expected result; *invalid is set for field 0 of a text without '='.
QString model(int n, const QString& s, bool* invalid)
{
    *invalid = false;
    if (s.size() >= kPresetLineMax)
        return kNotFound;
    if (n == 0) {
        const int p = instr(1, s);
        if (p == 0) {
            *invalid = true;
            return {};
        }
        return s.left(p - 1);
    }
    int p = instr(1, s);
    bool notFound = false;
    // Once a search has failed the result is "NOT FOUND" whatever the
    // remaining repetitions find.
    for (int repeat = 0; repeat < n - 1 && !notFound; ++repeat) {
        p = instr(p + 1, s);
        if (p == 0)
            notFound = true;
    }
    const int start = p + 1;
    if (start > s.size() || notFound)
        return kNotFound;
    const int q = instr(start, s);
    return q == 0 ? s.mid(start - 1) : s.mid(start - 1, q - start);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4)
        return 0;
    const auto n = static_cast<qint16>(static_cast<std::uint16_t>(data[0] | (data[1] << 8)));
    const int filler = n >= -8 && n <= 8 ? (data[2] | (data[3] << 8)) & 0x7FFF : 0;
    const QString text = QString(filler, QLatin1Char('x'))
                         + QString::fromUtf8(reinterpret_cast<const char*>(data + 4), static_cast<qsizetype>(size - 4));

    AppError error;
    const QString got = Get_After_isGelijkAan(n, text, &error);
    bool invalid = false;
    const QString expected = model(n, text, &invalid);

    if (got != expected || (error.number == kErrInvalidCall) != invalid) {
        std::fprintf(stderr, "field %d of a text of %lld characters: got \"%s\" (error %d), expected \"%s\"%s\n", n,
                     static_cast<long long>(text.size()), qPrintable(got.left(200)), error.number,
                     qPrintable(expected.left(200)), invalid ? " (error 5)" : "");
        std::abort();
    }
    if (n != 0 && got != kNotFound && got.contains(QLatin1Char('=')))
        std::abort();  // a field never spans an '='
    return 0;
}
