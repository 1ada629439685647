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

QList<QByteArray> splitPresetLines(const QByteArray& content)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    const qsizetype size = content.size();
    while (start < size) {
        qsizetype end = content.indexOf('\r', start);
        if (end < 0)
            end = size;
        if (end > start)
            lines << content.mid(start, end - start);
        start = end + 1;
        if (start < size && content[start] == '\n' && end < size)
            ++start;
    }
    return lines;
}

QByteArray joinPresetLines(const QList<QByteArray>& lines)
{
    QByteArray content;
    for (const QByteArray& line : lines)
        content += line + "\r\n";
    return content;
}

QString decodePresetLine(const QByteArray& line)
{
    return QString::fromLocal8Bit(line);
}

QByteArray encodePresetLine(const QString& entry)
{
    return entry.toLocal8Bit();
}
