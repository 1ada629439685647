#pragma once
// The per-user folder that holds the presets, found or created below the
// user's application-data folder, with the program's folder as fallback.
// Every non-empty folder path returned ends in the platform's separator.

#include <string>

constexpr int kCsidlAppData = 26;  // the user's roaming application-data folder

extern const char kPathSeparator;  // '\\' on Windows, '/' elsewhere

std::string GetAppDataFolder(const std::string& fallback);
bool FolderExists(const std::string& path);
std::string GetSpecialFolder(int csidl);
std::string AddBackslash(const std::string& path);
std::string StripBackslash(const std::string& path);

// Creates one folder whose parent exists; true on success (appdata_unix/_win).
bool CreateOneFolder(const std::string& path);
