// The headers that make most of a window test's build time, parsed once for
// every test rather than once a test: CI builds them twice.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
