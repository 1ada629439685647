#pragma once
// A fresh settings store and data folder per test, and a main window on
// the fake clock and the message recorder.

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QDate>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "fakeclock.h"
#include "frmmain.h"
#include "messagerecorder.h"

// Points XDG_CONFIG_HOME and XDG_DATA_HOME at temporary folders while it lives.
class TestFolders {
public:
    TestFolders();
    ~TestFolders();
    QString configHome() const;
    QString dataHome() const;

private:
    QTemporaryDir dir_;
    QByteArray oldConfig_, oldData_;
};

// Values under the program's settings key, "" for the key itself.
void putSetting(const std::string& subKey, const std::string& name, const std::string& value);
std::optional<std::string> getSetting(const std::string& subKey, const std::string& name);

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest();

    // Creates the window and runs its start-up sequence.
    frmMain& load();
    // load(), then shown and active as after start-up.
    frmMain& show();

    template <typename T>
    T* child(const char* name) const
    {
        T* found = window->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QAction* action(const char* name) const;
    QString text(const char* name) const;

    void setRecent(int position, const std::string& date) { putSetting("RecentFiles", std::to_string(position), date); }
    std::optional<std::string> recent(int position) const { return getSetting("RecentFiles", std::to_string(position)); }

    TestFolders folders;
    FakeClock clock{QDate(2004, 1, 10)};
    MessageRecorder dialogs;
    int endCount = 0;
    Services services;
    std::unique_ptr<frmMain> window;
};
