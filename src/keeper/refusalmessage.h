#pragma once
// The words for a refused set of the clock (error 70): the old sentence,
// then one paragraph on what the user can do about it on this system.

#include <QString>

#include "apperror.h"
#include "sourcetree.h"

enum class HostSystem { Unix, Windows };

#ifdef Q_OS_WIN
inline constexpr HostSystem kHostSystem = HostSystem::Windows;
#else
inline constexpr HostSystem kHostSystem = HostSystem::Unix;
#endif

// The window's message box, or standard error for --at.
enum class RefusalPlace { Window, CommandLine };

// `readme` is named as well when not empty: a copy run from its sources.
// `date` (YYYY-MM-DD) fills the command line's way that needs no right.
QString refusalMessage(const AppError& error, RefusalPlace place = RefusalPlace::Window,
                       HostSystem system = kHostSystem, const QString& readme = sourceTreeReadme(),
                       const QString& date = QString());
