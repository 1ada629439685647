#pragma once
// Whether the program runs from a CMake build of its sources rather than
// from an installed copy, where only the manual is there to read.

#include <QString>

// The README of the sources that `programFolder` was built from: the first
// folder up from it holding a CMakeCache.txt names them. "" for an
// installed copy, or when that README is gone.
QString sourceTreeReadme(const QString& programFolder);
// The same for the running program.
QString sourceTreeReadme();
