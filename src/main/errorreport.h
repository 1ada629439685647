#pragma once
// The seven-line report shown for an error the program has no words of its own for.

#include <QString>

#include "apperror.h"

// place: the window and control where it happened, e.g. "frmMain, cmdSet".
QString errorReport(const AppError& error, const QString& place);
