#include "testenv.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "fakeservices.h"
#include "registry.h"
#include "settingskey.h"

namespace {
void restoreEnv(const char* name, const QByteArray& value)
{
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, value);
}
}  // namespace

TestFolders::TestFolders()
    : oldConfig_(qgetenv("XDG_CONFIG_HOME")), oldData_(qgetenv("XDG_DATA_HOME"))
{
    qputenv("XDG_CONFIG_HOME", configHome().toLocal8Bit());
    qputenv("XDG_DATA_HOME", dataHome().toLocal8Bit());
}

TestFolders::~TestFolders()
{
    restoreEnv("XDG_CONFIG_HOME", oldConfig_);
    restoreEnv("XDG_DATA_HOME", oldData_);
}

QString TestFolders::configHome() const { return dir_.filePath(QStringLiteral("config")); }
QString TestFolders::dataHome() const { return dir_.filePath(QStringLiteral("data")); }

static std::string keyPath(const std::string& subKey)
{
    return settingsKeyPath("ravodor") + (subKey.empty() ? "" : "\\" + subKey);
}

void putSetting(const std::string& subKey, const std::string& name, const std::string& value)
{
    ASSERT_EQ(SetKeyValue(HKEY_CURRENT_USER, keyPath(subKey), name, value), ERROR_SUCCESS);
}

std::optional<std::string> getSetting(const std::string& subKey, const std::string& name)
{
    std::string value;
    if (GetKeyValue(HKEY_CURRENT_USER, keyPath(subKey), name, value) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

MainWindowTest::MainWindowTest() : services(fakeServices(clock, dialogs))
{
    services.endProcess = [this](int) { ++endCount; };
}

frmMain& MainWindowTest::load()
{
    window = std::make_unique<frmMain>(services);
    window->Form_Load();
    return *window;
}

frmMain& MainWindowTest::show()
{
    load();
    window->show();
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    return *window;
}

QAction* MainWindowTest::action(const char* name) const
{
    QAction* found = window->findChild<QAction*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QString MainWindowTest::text(const char* name) const
{
    QObject* found = window->findChild<QObject*>(QLatin1String(name));
    if (auto* edit = qobject_cast<QLineEdit*>(found))
        return edit->text();
    if (auto* label = qobject_cast<QLabel*>(found))
        return label->text();
    ADD_FAILURE() << "no text control " << name;
    return {};
}
