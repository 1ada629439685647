#pragma once
// The main window: the real date, the date to set, and every road that sets
// the date or puts the real one back. Its controls hold the whole state.

#include <QDate>
#include <QMainWindow>
#include <QVector>

#include <functional>

#include "services.h"

class AlteredTray;
class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;

class QSocketNotifier;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(Services& services, QWidget* parent = nullptr);

    Services& services() { return services_; }

    // Start-up and focus.
    void Form_Load();
    void Form_Activate();
    void Text2_Change();
    void cmdHide_Click();
    void SetSelected();

    // Setting the date.
    void cmdSet_Click();
    // A date handed over by a later start: as if typed and Set pressed.
    // `answer` learns whether that date is in effect and the window's first
    // message about it, before the message waits for its Ok.
    using HandedAnswer = std::function<void(bool done, const QString& message)>;
    void setHandedDate(const QString& date, const HandedAnswer& answer);

    // Putting the real date back and closing.
    void cmdReset_Click();
    void cmdExit_Click();
    void Form_QueryUnload();
    void isDateRestored();
    void Form_Unload();
    // Shifts the date box by whole days; false (box unchanged) when it holds
    // no date or the result leaves the range of dates the program handles.
    bool calcDate(int numberOfDays);
    // Closes without message boxes: for a signal or the end of the session,
    // when nobody may be there to answer them.
    void closeQuietly();
    // True once a close without message boxes is under way.
    bool closingQuietly() const { return quiet_; }
    // For the end of the process by exit() from anywhere: puts the real date
    // back if it is still altered, showing nothing; failures go to stderr.
    void restoreAtExit();
    // The real date, advanced by the days that have passed since start-up;
    // Text1 and lblHIDDENorgdate are brought up to it.
    QDate realDate();
    // Tells the user the real date could not be put back, naming it.
    void reportFailedRestore(const AppError& error);
    void reportSyncNotResumed(const AppError& error);

    // Shows, in the tray, whether a date other than the real one is in
    // effect; run after anything that changes lblHIDDENtoday or Text1.
    void showAlteredState();

    // The other windows, shown modally.
    void menuPickaPreset_Click();
    void menuRunProgram_Click();
    void cmdAbout_Click();

    // Recent dates.
    void RecentMenu_Clear();
    int RecentMenu_Add(const QString& caption);
    void RecentList_Store(const QString& date);
    void menuPreset_Click();
    void menuRecDocs_Click(int index);

    // Quick actions.
    void quicksetChosen(int numberOfDays);
    void startTimer(qint16 Seconds);
    void Timer1_Timer();

    // Other windows read and write these directly.
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLabel* lblHIDDENorgdate = nullptr;
    QLabel* lblHIDDENtoday = nullptr;
    QLabel* lblHIDDENpreset = nullptr;

    qint16 intCountdown = 0;
    QString strQuitSignal;

signals:
    // The program is about to end; open windows save what they hold.
    void ending();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    void createMenus();
    void createQuicksetMenu();
    void createAutoquitMenu();
    void setTabOrder();

    void showMessage(const QString& text);
    void answerHanded(const QString& message);
    void focusDateBox();
    void reportSetFailure(const QString& text, const AppError& error);
    // Sets the clock to the real date from Text1, then from lblHIDDENorgdate.
    AppError restoreRealDate();
    QString todayText() const;
    std::string settingsKey() const;
    // Notices the guard's end, so a new one takes over while a date is altered.
    void watchGuard();
    void guardEnded();

    Services& services_;
    QDate startDate_;
    bool shown_ = false;
    bool closing_ = false;
    bool quiet_ = false;
    bool restoreFailed_ = false;
    bool syncFailureSaid_ = false;  // since sync was last seen on
    AlteredTray* tray_ = nullptr;
    QSocketNotifier* guardWatch_ = nullptr;
    HandedAnswer handedAnswer_;
    QString handedDate_;

    QGroupBox* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* cmdSet = nullptr;
    QPushButton* cmdReset = nullptr;
    QPushButton* cmdAbout = nullptr;
    QPushButton* cmdHide = nullptr;
    QPushButton* cmdExit = nullptr;
    QCheckBox* Check1 = nullptr;
    QTimer* Timer1 = nullptr;

    QMenu* menuPreset = nullptr;
    QAction* menuPickaPreset = nullptr;
    QAction* menuRunProgram = nullptr;
    QMenu* menuRecent = nullptr;
    QVector<QAction*> menuRecDocs;
    QMenu* menuQuickset = nullptr;
    QMenu* menuAutoquit = nullptr;
};
