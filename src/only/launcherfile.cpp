#include "launcher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>

#include "version.h"

namespace {

// Of a program's name in a launcher's file name: the rest is the date and a
// number, well below the 255 bytes a file name may have.
constexpr qsizetype kNamedProgram = 64;

const QString kStem = QStringLiteral(RAVODOR_APP_ID ".at-");

// A file name part of letters, digits, '-' and '_' only, as desktop ids are.
QString idPart(const QString& text)
{
    QString part;
    for (const QChar c : text)
        part += (c.isLetterOrNumber() && c.unicode() < 128) || c == QLatin1Char('-') ? c : QLatin1Char('_');
    return part;
}

// The Names the launchers made before show in the menu.
QSet<QString> namesTaken(const QString& folder)
{
    QSet<QString> names;
    for (const QString& file : QDir(folder).entryList({kStem + QLatin1Char('*')}, QDir::Files)) {
        QFile entry(folder + QLatin1Char('/') + file);
        if (!entry.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : entry.readAll().split('\n')) {
            // The one escape a Name written here can hold.
            if (line.startsWith("Name="))
                names.insert(QString::fromUtf8(line.mid(5)).replace(QLatin1String("\\\\"), QLatin1String("\\")));
        }
    }
    return names;
}

}  // namespace

LauncherMade writeLauncher(const Launcher& launcher, QString* why)
{
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/applications");
    if (!QDir().mkpath(folder)) {
        *why = QStringLiteral("The folder %1 could not be made.").arg(QDir::toNativeSeparators(folder));
        return {};
    }
    const QString program = QString::fromLocal8Bit(launcher.command.front().c_str());
    const ProgramEntry entry = programEntry(program);
    // Two launchers never show the same Name.
    const QString named = launcherName(launcher, entry);
    const QSet<QString> taken = namesTaken(folder);
    QString name = named;
    for (int number = 2; taken.contains(name); ++number)
        name = QStringLiteral("%1 (%2)").arg(named).arg(number);
    const QString text = launcherEntry(launcher, name, entry, why);
    if (text.isEmpty())
        return {};
    const QByteArray bytes = text.toUtf8();

    const QString file = idPart(QFileInfo(program).fileName()).left(kNamedProgram);
    const QString stem = kStem + QStringLiteral("%1-%2-").arg(idPart(launcher.date), file);
    for (int number = 1;; ++number) {
        const QString path = folder + QLatin1Char('/') + stem + QString::number(number) + QStringLiteral(".desktop");
        // Taken first, so a launcher made at the same moment cannot share it.
        QFile claim(path);
        if (!claim.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (claim.exists())
                continue;
            *why = QStringLiteral("%1 could not be written: %2")
                       .arg(QDir::toNativeSeparators(path), claim.errorString());
            return {};
        }
        claim.close();
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
            return {path, name};
        *why = QStringLiteral("%1 could not be written: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        QFile::remove(path);
        return {};
    }
}
