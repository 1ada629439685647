#pragma once
// The presets file "ravodor.ini": one entry per line, each ended by CR LF,
// in the system's code page.

#include <QByteArray>
#include <QFileDevice>
#include <QString>
#include <QList>

#include <string>

// The file below the per-user folder, or the program's folder as fallback.
QString presetsFilePath(const std::string& programFolder);

// Only its owner may read or write it, like the settings.
constexpr QFileDevice::Permissions kPresetsFilePermissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// The content a new file starts with.
QByteArray presetsFirstContent();

// Lines end at CR LF or a lone CR; a lone LF stays in its line. Empty lines
// are dropped. Lines stay bytes, so a line that is not valid text in the
// system's encoding is written back as it was read.
QList<QByteArray> splitPresetLines(const QByteArray& content);
QByteArray joinPresetLines(const QList<QByteArray>& lines);

// An entry's text and its bytes in the file.
QString decodePresetLine(const QByteArray& line);
QByteArray encodePresetLine(const QString& entry);

// Files larger than this are not read: no presets file grows that big.
constexpr qint64 kPresetsFileMax = 256 * 1024 * 1024;
