#pragma once
// The program's icon, built into the program from data/icons.

#include <QIcon>

QIcon programIcon();
