#include "presetsfile.h"

#include "appdata.h"

QString presetsFilePath(const std::string& programFolder)
{
    return QString::fromLocal8Bit(GetAppDataFolder(programFolder).c_str()) + QStringLiteral("ravodor.ini");
}

QByteArray presetsFirstContent()
{
    return QByteArrayLiteral("Testpreset = 12/12/2001\r\n");
}

QStringList splitPresetLines(const QByteArray& content)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype size = content.size();
    while (start < size) {
        qsizetype end = content.indexOf('\r', start);
        if (end < 0)
            end = size;
        if (end > start)
            lines << QString::fromLocal8Bit(content.constData() + start, end - start);
        start = end + 1;
        if (start < size && content[start] == '\n' && end < size)
            ++start;
    }
    return lines;
}

QByteArray joinPresetLines(const QStringList& entries)
{
    QByteArray content;
    for (const QString& entry : entries)
        content += entry.toLocal8Bit() + "\r\n";
    return content;
}
