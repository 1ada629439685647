#pragma once
// The presets window: named dates kept in the presets file, added after
// their date has been proven on the clock, removed, and picked into the
// main window's date box.

#include <QDialog>

#include "apperror.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class frmMain;
struct Services;

class frmPresets : public QDialog {
    Q_OBJECT
public:
    explicit frmPresets(frmMain& main);

    void Form_Load();
    void Form_QueryUnload();
    void cmdAdd_Click();
    void cmdPick_Click();
    void cmdRemove_Click();
    void cmdDone_Click();
    void List1_MouseMove(const QPoint& position);
    void SetSelected();

    // File operations on the window's own list.
    static bool fileexists(const QString& Filename);
    void List_Load(QListWidget* thelist, const QString& Filename);
    bool List_Save(QListWidget* thelist, const QString& Filename);
    void List_Add(QListWidget* list, const QString& txt);
    // An entry's whole text (the list may show it shortened).
    static QString entry(const QListWidgetItem* item);

    // Every way the window closes (Pick, Done!, close box, Escape) ends here.
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Item data: the whole entry, and the bytes it was read as from the file.
    static constexpr int kEntryRole = Qt::UserRole;
    static constexpr int kFileBytesRole = Qt::UserRole + 1;
    // Longer entries are shown and told in part.
    static constexpr int kShownMax = 256;
    static constexpr int kTipMax = 1024;

    void createControls();
    void addEntry(QListWidget* list, const QString& text, const QByteArray& read);
    void showMessage(const QString& text, int style);
    void reportAddFailure(const AppError& error);
    bool hasSelection() const;
    // Pick and Remove need an entry: says so when there is none chosen.
    bool entryChosen();
    QString filePath() const;

    frmMain& main_;
    Services& services_;

    QGroupBox* Frame1 = nullptr;
    QListWidget* List1 = nullptr;
    QPushButton* cmdPick = nullptr;
    QPushButton* cmdRemove = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblDate = nullptr;
    QLineEdit* txtPresetDescription = nullptr;
    QLineEdit* txtPresetDate = nullptr;
    QPushButton* cmdAdd = nullptr;
    QGroupBox* Frame3 = nullptr;
    QPushButton* cmdDone = nullptr;
};
