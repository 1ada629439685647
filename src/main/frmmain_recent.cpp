// The "Recent Dates" menu: a view of the stored list, rebuilt whenever
// "&Preset" opens.

#include <QAction>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMenu>

#include "frmmain.h"
#include "recentdates.h"
#include "settingskey.h"

namespace {

const QString kEmpty = QStringLiteral("Empty");

// The caption is kept whole in the action's data; the menu shows it with
// "&" taken literally and overlong entries shortened.
void showCaption(QAction* action, const QString& caption)
{
    action->setData(caption);
    QString shown = caption.size() > 64 ? caption.left(61) + QStringLiteral("...") : caption;
    action->setText(shown.replace(QLatin1Char('&'), QLatin1String("&&")));
}

}  // namespace

void frmMain::RecentMenu_Clear()
{
    while (menuRecDocs.size() > 1)
        delete menuRecDocs.takeLast();
    showCaption(menuRecDocs[0], kEmpty);
    menuRecDocs[0]->setEnabled(false);
}

int frmMain::RecentMenu_Add(const QString& caption)
{
    if (menuRecDocs[0]->data().toString() == kEmpty) {
        menuRecDocs[0]->setEnabled(true);
        showCaption(menuRecDocs[0], caption);
        return 0;
    }
    const int index = menuRecDocs.size();
    QAction* action = menuRecent->addAction(QString());
    action->setObjectName(QStringLiteral("menuRecDocs"));
    showCaption(action, caption);
    connect(action, &QAction::triggered, this, [this, index] { menuRecDocs_Click(index); });
    menuRecDocs.append(action);
    return index;
}

void frmMain::RecentList_Store(const QString& date)
{
    storeRecentDate(recentFilesKeyPath(services_.exeBaseName), toStoreText(date));
}

void frmMain::menuPreset_Click()
{
    RecentMenu_Clear();
    for (const std::string& date : loadRecentDates(recentFilesKeyPath(services_.exeBaseName)))
        RecentMenu_Add(fromStoreText(date));
}

void frmMain::menuRecDocs_Click(int index)
{
    if (index >= 0 && index < menuRecDocs.size())
        Text2->setText(menuRecDocs[index]->data().toString());
}
