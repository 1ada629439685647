#pragma once
// Where the program keeps its settings below the user's root key, and the
// conversion of text to the bytes the store holds (the system's code page).

#include <QString>
#include <string>

inline std::string settingsKeyPath(const std::string& exeBaseName)
{
    return "Software\\Zaduziro\\" + exeBaseName;
}

inline std::string recentFilesKeyPath(const std::string& exeBaseName)
{
    return settingsKeyPath(exeBaseName) + "\\RecentFiles";
}

inline std::string toStoreText(const QString& text)
{
    return text.toLocal8Bit().toStdString();
}

inline QString fromStoreText(const std::string& bytes)
{
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
