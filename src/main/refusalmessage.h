#pragma once
// The words for a refused set of the clock (error 70): the old sentence,
// then what the user can do about it on this system.

#include <QString>

#include "apperror.h"

enum class HostSystem { Unix, Windows };

#ifdef Q_OS_WIN
inline constexpr HostSystem kHostSystem = HostSystem::Windows;
#else
inline constexpr HostSystem kHostSystem = HostSystem::Unix;
#endif

QString refusalMessage(const AppError& error, HostSystem system = kHostSystem);
