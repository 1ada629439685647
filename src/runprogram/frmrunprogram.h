#pragma once
// Runs one program with a date shown to it alone, as `ravodor --at DATE
// --only` does, or makes a launcher that always does so. No right is
// needed and the clock is never touched.

#include <QDialog>

#include <string>
#include <vector>

#include "datetext.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimeEdit;

class frmRunProgram : public QDialog {
    Q_OBJECT
public:
    // `date` as the Alter date box holds it, read by `dates`.
    frmRunProgram(QWidget* parent, const QString& date, const DateText& dates);

    // The program that runs it: this one, unless told.
    void setRavodor(const QString& path) { ravodor_ = path; }

    void cmdRun_Click();
    void cmdLauncher_Click();
    void cmdTerminal_Click();
    void cmdBrowse_Click();
    void txtArguments_Change();

private:
    void createControls();
    // DATE for --at: the ISO form, with the time of day when one is chosen.
    QString atDate() const;
    // The same as the window shows dates.
    QString shownDate() const;
    // PROGRAM [ARG...] once --only would run it; else {} and the refusal shown.
    std::vector<std::string> checkedCommand();
    void tell(const QString& text);

    DateText dates_;
    QString ravodor_;
    // What Run in a terminal runs: the program Run ran last.
    std::vector<std::string> ran_;
    QString ranAt_;

    QLabel* lblDate = nullptr;
    QLineEdit* txtDate = nullptr;
    QCheckBox* chkTime = nullptr;
    QTimeEdit* timTime = nullptr;
    QLabel* lblProgram = nullptr;
    QLineEdit* txtProgram = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QLabel* lblArguments = nullptr;
    QLineEdit* txtArguments = nullptr;
    QLabel* lblSplit = nullptr;
    QLabel* lblMessage = nullptr;
    QPushButton* cmdRun = nullptr;
    QPushButton* cmdLauncher = nullptr;
    QPushButton* cmdTerminal = nullptr;
    QPushButton* cmdClose = nullptr;
};
