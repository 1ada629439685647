#include "frmrunprogram.h"

#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimeEdit>

#include <iterator>

#include "controls.h"
#include "launcher.h"
#include "processinfo.h"
#include "runonly.h"

frmRunProgram::frmRunProgram(QWidget* parent, const QString& date, const DateText& dates)
    : QDialog(parent), dates_(dates), ravodor_(QFile::decodeName(currentProgramPath().c_str()))
{
    setObjectName(QStringLiteral("frmRunProgram"));
    setWindowTitle(QStringLiteral("Run a program at this date"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    createControls();
    txtDate->setText(date);
    txtProgram->setFocus();
}

void frmRunProgram::createControls()
{
    QFont small = font();
    small.setPointSizeF(8.25);
    setFont(small);

    lblDate = named(new QLabel(QStringLiteral("&Date:"), this), "lblDate");
    txtDate = named(new QLineEdit(this), "txtDate");
    txtDate->setToolTip(QStringLiteral(" The date the program is shown "));
    lblDate->setBuddy(txtDate);

    chkTime = named(new QCheckBox(QStringLiteral("&Time of day:"), this), "chkTime");
    chkTime->setToolTip(QStringLiteral(" Start the program at a time of day of its own, not at the present one "));
    timTime = named(new QTimeEdit(this), "timTime");
    timTime->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    timTime->setEnabled(false);
    timTime->setAccessibleName(QStringLiteral("Time of day"));
    timTime->setToolTip(QStringLiteral(" The time of day the program sees when it starts "));
    connect(chkTime, &QCheckBox::toggled, timTime, &QWidget::setEnabled);

    lblProgram = named(new QLabel(QStringLiteral("&Program:"), this), "lblProgram");
    txtProgram = named(new QLineEdit(this), "txtProgram");
    txtProgram->setToolTip(QStringLiteral(" A program's name on PATH, or its file "));
    lblProgram->setBuddy(txtProgram);
    cmdBrowse = named(new QPushButton(QStringLiteral("&Browse..."), this), "cmdBrowse");
    cmdBrowse->setToolTip(QStringLiteral(" Choose the program's file "));
    connect(cmdBrowse, &QPushButton::clicked, this, &frmRunProgram::cmdBrowse_Click);

    lblArguments = named(new QLabel(QStringLiteral("&Arguments:"), this), "lblArguments");
    txtArguments = named(new QLineEdit(this), "txtArguments");
    txtArguments->setToolTip(QStringLiteral(" What to hand the program; one with blanks in double quotes "));
    lblArguments->setBuddy(txtArguments);

    lblMessage = named(new QLabel(this), "lblMessage");
    lblMessage->setWordWrap(true);
    lblMessage->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblMessage->setMinimumWidth(360);

    cmdRun = named(new QPushButton(QStringLiteral("&Run"), this), "cmdRun");
    cmdRun->setToolTip(QStringLiteral(" Run the program with this date shown to it alone "));
    connect(cmdRun, &QPushButton::clicked, this, &frmRunProgram::cmdRun_Click);
    cmdLauncher = named(new QPushButton(QStringLiteral("Make a &launcher"), this), "cmdLauncher");
    cmdLauncher->setToolTip(QStringLiteral(" Add it to the applications menu, always at this date "));
    connect(cmdLauncher, &QPushButton::clicked, this, &frmRunProgram::cmdLauncher_Click);
    cmdClose = named(new QPushButton(QStringLiteral("&Close"), this), "cmdClose");
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    // Enter in a box runs the program, as in any run dialog.
    cmdRun->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdRun);
    buttons->addWidget(cmdLauncher);
    buttons->addStretch();
    buttons->addWidget(cmdClose);

    auto* grid = new QGridLayout(this);
    grid->addWidget(lblDate, 0, 0);
    grid->addWidget(txtDate, 0, 1, 1, 2);
    grid->addWidget(chkTime, 1, 0);
    grid->addWidget(timTime, 1, 1);
    grid->addWidget(lblProgram, 2, 0);
    grid->addWidget(txtProgram, 2, 1);
    grid->addWidget(cmdBrowse, 2, 2);
    grid->addWidget(lblArguments, 3, 0);
    grid->addWidget(txtArguments, 3, 1, 1, 2);
    grid->addWidget(lblMessage, 4, 0, 1, 3);
    grid->addLayout(buttons, 5, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    QWidget* order[] = {txtDate, chkTime, timTime, txtProgram, cmdBrowse, txtArguments, cmdRun, cmdLauncher, cmdClose};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

QString frmRunProgram::atDate() const
{
    const QString typed = txtDate->text().trimmed();
    const QDate date = dates_.parse(typed);
    // Not a date: --only's own check says so in its words.
    if (!date.isValid())
        return typed;
    // The ISO form reads the same in every locale the launcher may start in.
    const QString iso = date.toString(Qt::ISODate);
    return chkTime->isChecked() ? iso + QLatin1Char('T') + timTime->time().toString(QStringLiteral("HH:mm:ss")) : iso;
}

QStringList frmRunProgram::checkedCommand()
{
    const QString program = txtProgram->text().trimmed();
    if (program.isEmpty()) {
        tell(QStringLiteral("Name the program to run, or choose it with Browse."));
        txtProgram->setFocus();
        return {};
    }
    const QStringList command = QStringList{program} + QProcess::splitCommand(txtArguments->text());
    OnlyLaunch launch;
    QString why;
    if (prepareOnly(atDate(), command, &launch, &why) != 0) {
        tell(why);
        return {};
    }
    return command;
}

void frmRunProgram::cmdRun_Click()
{
    const QStringList command = checkedCommand();
    if (command.isEmpty())
        return;
    // Through --only, whose own clean-up runs when the program ends, however
    // long after this window has gone.
    const QString date = atDate();
    const QStringList arguments =
        QStringList{QStringLiteral("--at"), date, QStringLiteral("--only"), QStringLiteral("--")} + command;
    if (!QProcess::startDetached(ravodor_, arguments)) {
        tell(QStringLiteral("%1 could not be started.").arg(ravodor_));
        return;
    }
    tell(QStringLiteral("%1 started at %2.").arg(QFileInfo(command.first()).fileName(), date));
}

void frmRunProgram::cmdLauncher_Click()
{
    const QStringList command = checkedCommand();
    if (command.isEmpty())
        return;
    QString why;
    const QString path = writeLauncher({ravodor_, atDate(), command}, &why);
    tell(path.isEmpty() ? why : QStringLiteral("Launcher made: %1").arg(path));
}

void frmRunProgram::cmdBrowse_Click()
{
    const QString current = txtProgram->text().trimmed();
    const QString chosen = QFileDialog::getOpenFileName(this, QStringLiteral("Choose a program"),
                                                        current.contains(QLatin1Char('/')) ? current : QString());
    if (!chosen.isEmpty())
        txtProgram->setText(chosen);
}

void frmRunProgram::tell(const QString& text)
{
    lblMessage->setText(text);
}
