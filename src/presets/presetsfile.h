#pragma once
// The presets file "ravodor.ini": one entry per line, each ended by CR LF,
// in the system's code page.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string>

// The file below the per-user folder, or the program's folder as fallback.
QString presetsFilePath(const std::string& programFolder);

// The content a new file starts with.
QByteArray presetsFirstContent();

// Lines end at CR LF or a lone CR; a lone LF stays in its line. Empty lines
// are dropped.
QStringList splitPresetLines(const QByteArray& content);
QByteArray joinPresetLines(const QStringList& entries);

// Files larger than this are not read: no presets file grows that big.
constexpr qint64 kPresetsFileMax = 256 * 1024 * 1024;
