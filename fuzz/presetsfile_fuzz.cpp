// The presets file reader on any bytes with any mix of CR, LF and CR LF.
// Checked: no line holds a CR or is empty; the lines are those of a plain
// model (CR LF counts as one CR, then split at CR); and writing the lines
// back and reading them again gives the same lines.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "presetsfile.h"

namespace {

QList<QByteArray> model(QByteArray bytes)
{
    bytes.replace("\r\n", "\r");
    QList<QByteArray> lines;
    for (const QByteArray& part : bytes.split('\r')) {
        if (!part.isEmpty())
            lines << part;
    }
    return lines;
}

[[noreturn]] void fail(const char* what, const QList<QByteArray>& lines, int index)
{
    std::fprintf(stderr, "%s (%lld lines", what, static_cast<long long>(lines.size()));
    if (index >= 0 && index < lines.size())
        std::fprintf(stderr, "; line %d: \"%s\"", index, lines[index].left(200).constData());
    std::fprintf(stderr, ")\n");
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray content(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QList<QByteArray> lines = splitPresetLines(content);

    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            fail("an empty line was kept", lines, i);
        if (lines[i].contains('\r'))
            fail("a line holds a CR", lines, i);
    }
    if (lines != model(content))
        fail("the lines differ from the model's", lines, -1);

    const QByteArray written = joinPresetLines(lines);
    if (!written.isEmpty() && !written.endsWith("\r\n"))
        fail("the written file does not end with CR LF", lines, -1);
    if (splitPresetLines(written) != lines)
        fail("writing and reading again changed the lines", lines, -1);
    if (joinPresetLines(splitPresetLines(written)) != written)
        fail("a written file is not stable under reading and writing", lines, -1);
    return 0;
}
