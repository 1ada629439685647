#pragma once
// The About window: title, version, notices and the maker's home page.

#include <QDialog>

#include "services.h"

class QFrame;
class QLabel;
class LinkLabel;
class QPushButton;

class frmabout : public QDialog {
    Q_OBJECT
public:
    // mainWindow: centres the window and is minimised when the home page opens.
    frmabout(Services& services, QWidget* mainWindow);

    // Fills the title, the version and the copyright notice.
    void Form_Load();
    void lblurl_Click();
    void cmdok_Click();

private:
    void createControls();

    Services& services_;
    QWidget* mainWindow_;

    QLabel* imgicon = nullptr;
    QLabel* lblprogtitle = nullptr;
    QLabel* lblversion = nullptr;
    QLabel* lblcopyright1 = nullptr;
    QLabel* lblcopyright2 = nullptr;
    QLabel* lbltext1 = nullptr;
    QLabel* lbltext2 = nullptr;
    QLabel* lbltext3 = nullptr;
    QLabel* lbltext4 = nullptr;
    QLabel* lbltext5 = nullptr;
    LinkLabel* lblurl = nullptr;
    QFrame* Line1 = nullptr;
    QFrame* Line2 = nullptr;
    QFrame* Line3 = nullptr;
    QFrame* Line4 = nullptr;
    QFrame* Line5 = nullptr;
    QPushButton* cmdok = nullptr;
};
