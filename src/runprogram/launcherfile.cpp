#include "launcher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include "version.h"

namespace {

// A file name part of letters, digits, '-' and '_' only, as desktop ids are.
QString idPart(const QString& text)
{
    QString part;
    for (const QChar c : text)
        part += (c.isLetterOrNumber() && c.unicode() < 128) || c == QLatin1Char('-') ? c : QLatin1Char('_');
    return part;
}

}  // namespace

QString writeLauncher(const Launcher& launcher, QString* why)
{
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/applications");
    if (!QDir().mkpath(folder)) {
        *why = QStringLiteral("The folder %1 could not be made.").arg(QDir::toNativeSeparators(folder));
        return {};
    }
    const QString stem = QStringLiteral(RAVODOR_APP_ID ".at-%1-%2-")
                             .arg(idPart(launcher.date), idPart(QFileInfo(launcher.command.first()).fileName()));
    const QByteArray text = launcherEntry(launcher).toUtf8();
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
        if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit())
            return path;
        *why = QStringLiteral("%1 could not be written: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        QFile::remove(path);
        return {};
    }
}
