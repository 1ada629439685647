#pragma once
// Takes one field out of a preset line "description = date", counting the
// fields between "=" signs: field 1 is the date part.

#include <QString>

#include "apperror.h"

// Positions are 16-bit, so lines this long or longer yield "NOT FOUND".
constexpr int kPresetLineMax = 32767;

// Field 0 of a text without "=" has no answer: the result is empty and
// *error (when given) is set to error 5.
QString Get_After_isGelijkAan(qint16 intisGelijkAanNumber, const QString& strString, AppError* error = nullptr);
