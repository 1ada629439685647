#include "launcher.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

namespace {

// The file a command names, as found on PATH; "" when none.
QString resolved(const QString& command)
{
    const QString path = command.contains(QLatin1Char('/')) ? command : QStandardPaths::findExecutable(command);
    return path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
}

// The program an Exec line starts: its first word, quotes undone.
QString firstWord(const QString& exec)
{
    QString word;
    const QString line = exec.trimmed();
    if (!line.startsWith(QLatin1Char('"')))
        return line.section(QLatin1Char(' '), 0, 0);
    for (qsizetype i = 1; i < line.size() && line[i] != QLatin1Char('"'); ++i) {
        if (line[i] == QLatin1Char('\\') && i + 1 < line.size())
            ++i;
        word += line[i];
    }
    return word;
}

struct Entry {
    QString exec, tryExec, name, icon, categories;
    bool hidden = false;
};

Entry readEntry(const QString& path)
{
    Entry entry;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return entry;
    bool inMain = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMain = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inMain || equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        // A value's own escapes are undone; only a doubled backslash matters here.
        const QString value = line.mid(equals + 1).trimmed().replace(QLatin1String("\\\\"), QLatin1String("\\"));
        if (key == QLatin1String("Exec"))
            entry.exec = value;
        else if (key == QLatin1String("TryExec"))
            entry.tryExec = value;
        else if (key == QLatin1String("Name"))
            entry.name = value;
        else if (key == QLatin1String("Icon"))
            entry.icon = value;
        else if (key == QLatin1String("Categories"))
            entry.categories = value;
        else if (key == QLatin1String("Hidden"))
            entry.hidden = value == QLatin1String("true");
    }
    return entry;
}

}  // namespace

ProgramEntry programEntry(const QString& program)
{
    ProgramEntry found;
    const QString wanted = resolved(program);
    if (wanted.isEmpty())
        return found;
    // The first folder that holds an id decides for it, as in the desktop's menus.
    QSet<QString> seen;
    for (const QString& data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        const QString folder = data + QStringLiteral("/applications");
        QDirIterator files(folder, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            const QString id = path.mid(folder.size() + 1).replace(QLatin1Char('/'), QLatin1Char('-'));
            if (seen.contains(id))
                continue;
            seen.insert(id);
            const Entry entry = readEntry(path);
            if (entry.hidden || entry.name.isEmpty())
                continue;
            for (const QString& names : {entry.tryExec, firstWord(entry.exec)}) {
                if (names.isEmpty() || resolved(names) != wanted)
                    continue;
                found.name = entry.name;
                if (!entry.icon.isEmpty())
                    found.icon = entry.icon;
                if (!entry.categories.isEmpty())
                    found.categories = entry.categories;
                return found;
            }
        }
    }
    return found;
}
