#include "frmabout.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "accessibility.h"
#include "appicon.h"
#include "controls.h"
#include "linklabel.h"
#include "twips.h"
#include "version.h"

namespace {

const QString kTitle = QStringLiteral("Ravodor");
const QString kAuthor = QStringLiteral("Zaduziro software");
const QString kHomePage = QStringLiteral("https://www.example.org/ravodor");

QLabel* label(QWidget* parent, const char* name, const QString& text, Qt::Alignment alignment)
{
    QLabel* label = named(new QLabel(text, parent), name);
    label->setAlignment(alignment | Qt::AlignVCenter);
    return label;
}

QFrame* rule(QWidget* parent, const char* name)
{
    QFrame* line = named(new QFrame(parent), name);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

void sized(QWidget* widget, qreal pointSize, bool bold)
{
    QFont font = widget->font();
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    widget->setFont(font);
}

}  // namespace

frmabout::frmabout(Services& services, QWidget* mainWindow)
    : QDialog(mainWindow), services_(services), mainWindow_(mainWindow)
{
    setObjectName(QStringLiteral("frmabout"));
    setWindowTitle(QStringLiteral("About"));
    setModal(true);
    // A fixed little window: a close box, nothing to minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    createControls();
    setFixedSize(twips(this, 4800), twips(this, 3480));
}

void frmabout::createControls()
{
    // The same small dialog text as the main window.
    sized(this, 8.25, false);

    imgicon = named(new QLabel(this), "imgicon");
    placeTwips(imgicon, 240, 240, 720, 720);
    imgicon->setPixmap(programIcon().pixmap(imgicon->size()));
    imgicon->setAccessibleName(QStringLiteral("Ravodor icon"));

    const Qt::Alignment left = Qt::AlignLeft;
    const Qt::Alignment centre = Qt::AlignHCenter;

    lblprogtitle = label(this, "lblprogtitle", QString(), left);
    sized(lblprogtitle, 13.5, false);
    placeTwips(lblprogtitle, 1140, 165, 3420, 420);

    lblversion = label(this, "lblversion", QString(), left);
    sized(lblversion, 9.75, true);
    placeTwips(lblversion, 1140, 585, 3420, 270);

    lblcopyright1 = label(this, "lblcopyright1", QString(), left);
    placeTwips(lblcopyright1, 1140, 870, 3420, 225);
    lblcopyright2 = label(this, "lblcopyright2", kAuthor, left);
    placeTwips(lblcopyright2, 1140, 1095, 3420, 225);

    Line1 = rule(this, "Line1");
    placeTwips(Line1, 240, 1440, 4320, 30);

    // Two lines with nothing to say yet; together they open the notices.
    lbltext1 = label(this, "lbltext1", QString(), left);
    placeTwips(lbltext1, 240, 1530, 2160, 210);
    lbltext2 = label(this, "lbltext2", QString(), left);
    placeTwips(lbltext2, 2400, 1530, 2160, 210);

    lbltext3 = label(this, "lbltext3", QStringLiteral("Play and enjoy!"), centre);
    placeTwips(lbltext3, 1440, 1740, 1920, 225);
    Line2 = rule(this, "Line2");
    placeTwips(Line2, 240, 1845, 1110, 30);
    Line3 = rule(this, "Line3");
    placeTwips(Line3, 3450, 1845, 1110, 30);

    lbltext4 = label(this, "lbltext4", QStringLiteral("For updates and other freeware,"), centre);
    placeTwips(lbltext4, 240, 2025, 4320, 225);
    lbltext5 = label(this, "lbltext5", QStringLiteral("Visit my homepage at"), centre);
    placeTwips(lbltext5, 240, 2250, 4320, 225);

    lblurl = named(new LinkLabel(kHomePage, this), "lblurl");
    lblurl->setAlignment(centre | Qt::AlignVCenter);
    QPalette palette = lblurl->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 192));
    lblurl->setPalette(palette);
    // Qt's own hand pointer stands in for a hand picture of our own; it
    // shows only while the pointer is over the address.
    lblurl->setCursor(Qt::PointingHandCursor);
    // Only the address itself is clickable, not the empty row around it.
    placeTwips(lblurl, 240, 2475, 4320, 240);
    const int width = lblurl->fontMetrics().horizontalAdvance(kHomePage) + twips(this, 60);
    lblurl->setGeometry(twips(this, 2400) - width / 2, lblurl->y(), width, lblurl->height());
    connect(lblurl, &LinkLabel::activated, this, &frmabout::lblurl_Click);

    cmdok = named(new QPushButton(QStringLiteral("&Ok"), this), "cmdok");
    placeTwips(cmdok, 1875, 2910, 1050, 345);
    cmdok->setDefault(true);
    connect(cmdok, &QPushButton::clicked, this, &frmabout::cmdok_Click);
    Line4 = rule(this, "Line4");
    placeTwips(Line4, 240, 3068, 1485, 30);
    Line5 = rule(this, "Line5");
    placeTwips(Line5, 3075, 3068, 1485, 30);

    // Nothing to hear in empty lines and rules.
    for (QWidget* decoration : QList<QWidget*>{lbltext1, lbltext2, Line1, Line2, Line3, Line4, Line5})
        keepFromAccessibility(decoration);
    // The address comes before Ok, as on the screen; Ok has the focus first,
    // so Enter on opening closes the window as it always did.
    QWidget::setTabOrder(lblurl, cmdok);
    cmdok->setFocus();
}

void frmabout::Form_Load()
{
    lblprogtitle->setText(kTitle);
    lblversion->setText(QStringLiteral("Version %1.%2.%3")
                            .arg(RAVODOR_VERSION_MAJOR)
                            .arg(RAVODOR_VERSION_MINOR)
                            .arg(RAVODOR_VERSION_PATCH));
    // The year comes from the clock, so an altered date shows here too.
    lblcopyright1->setText(QStringLiteral("Copyright \u00A9 %1").arg(services_.clock->today().year));
}

void frmabout::lblurl_Click()
{
    if (mainWindow_)
        mainWindow_->setWindowState((mainWindow_->windowState() & ~Qt::WindowMaximized) | Qt::WindowMinimized);
    // Nothing to report when no browser could be started.
    if (services_.openAddress)
        services_.openAddress(this, kHomePage.toLocal8Bit().toStdString());
    close();
}

void frmabout::cmdok_Click()
{
    close();
}
