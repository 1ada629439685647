#include "sourcetree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "processinfo.h"

QString sourceTreeReadme(const QString& programFolder)
{
    if (programFolder.isEmpty())
        return {};
    QDir folder(programFolder);
    do {
        QFile cache(folder.filePath(QStringLiteral("CMakeCache.txt")));
        if (!cache.open(QIODevice::ReadOnly))
            continue;
        // Only the nearest build folder counts: one further up is another build.
        static const QByteArray key = "CMAKE_HOME_DIRECTORY:INTERNAL=";
        while (!cache.atEnd()) {
            const QByteArray line = cache.readLine().trimmed();
            if (!line.startsWith(key))
                continue;
            const QString readme = QDir(QFile::decodeName(line.mid(key.size()))).filePath(QStringLiteral("README.md"));
            return QFileInfo(readme).isFile() ? readme : QString();
        }
        return {};
    } while (folder.cdUp());
    return {};
}

QString sourceTreeReadme()
{
    return sourceTreeReadme(QFile::decodeName(currentProgramFolder().c_str()));
}
