#include "frmrunprogram.h"

#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimeEdit>

#include <iterator>

#include "controls.h"
#include "enterkey.h"
#include "launcher.h"
#include "processinfo.h"
#include "programstart.h"
#include "runonly.h"
#include "shellwords.h"

namespace {

// The program and its arguments as the system's bytes.
std::vector<std::string> commandBytes(const QString& program, const QStringList& arguments)
{
    std::vector<std::string> bytes{QFile::encodeName(program).toStdString()};
    for (const QString& argument : arguments)
        bytes.push_back(argument.toLocal8Bit().toStdString());
    return bytes;
}

}  // namespace

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
    txtArguments->setToolTip(QStringLiteral(" What to hand the program, quoted as in a shell "));
    lblArguments->setBuddy(txtArguments);
    connect(txtArguments, &QLineEdit::textChanged, this, &frmRunProgram::txtArguments_Change);
    lblSplit = named(new QLabel(this), "lblSplit");
    lblSplit->setTextFormat(Qt::PlainText);
    lblSplit->setWordWrap(true);
    lblSplit->hide();

    lblMessage = named(new QLabel(this), "lblMessage");
    // What a program wrote is shown as it is, never read as markup.
    lblMessage->setTextFormat(Qt::PlainText);
    lblMessage->setWordWrap(true);
    lblMessage->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblMessage->setMinimumWidth(360);

    cmdRun = named(new QPushButton(QStringLiteral("&Run"), this), "cmdRun");
    cmdRun->setToolTip(QStringLiteral(" Run the program with this date shown to it alone "));
    connect(cmdRun, &QPushButton::clicked, this, &frmRunProgram::cmdRun_Click);
    cmdLauncher = named(new QPushButton(QStringLiteral("Make a &launcher"), this), "cmdLauncher");
    cmdLauncher->setToolTip(QStringLiteral(" Add it to the applications menu, always at this date "));
    connect(cmdLauncher, &QPushButton::clicked, this, &frmRunProgram::cmdLauncher_Click);
    cmdTerminal = named(new QPushButton(QStringLiteral("Run in a &terminal"), this), "cmdTerminal");
    cmdTerminal->setToolTip(QStringLiteral(" Run it again in a terminal window, where its output shows "));
    connect(cmdTerminal, &QPushButton::clicked, this, &frmRunProgram::cmdTerminal_Click);
    cmdTerminal->hide();
    cmdClose = named(new QPushButton(QStringLiteral("&Close"), this), "cmdClose");
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    // Enter in a box runs the program, as in any run dialog.
    cmdRun->setDefault(true);
    pressOnEnter(chkTime, cmdRun);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdRun);
    buttons->addWidget(cmdLauncher);
    buttons->addWidget(cmdTerminal);
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
    grid->addWidget(lblSplit, 4, 1, 1, 2);
    grid->addWidget(lblMessage, 5, 0, 1, 3);
    grid->addLayout(buttons, 6, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    QWidget* order[] = {txtDate,      chkTime, timTime,     txtProgram,  cmdBrowse,
                        txtArguments, cmdRun,  cmdLauncher, cmdTerminal, cmdClose};
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

QString frmRunProgram::shownDate() const
{
    const QDate date = dates_.parse(txtDate->text().trimmed());
    const QString day = date.isValid() ? dates_.format(date) : txtDate->text().trimmed();
    return chkTime->isChecked() ? day + QLatin1Char(' ') + timTime->time().toString(QStringLiteral("HH:mm:ss")) : day;
}

std::vector<std::string> frmRunProgram::checkedCommand()
{
    const QString program = txtProgram->text().trimmed();
    if (program.isEmpty()) {
        tell(QStringLiteral("Name the program to run, or choose it with Browse."));
        txtProgram->setFocus();
        return {};
    }
    if (txtDate->text().trimmed().isEmpty()) {
        tell(QStringLiteral("Type the date the program is to see."));
        txtDate->setFocus();
        return {};
    }
    QStringList arguments;
    QString why;
    if (!splitShellWords(txtArguments->text(), &arguments, &why)) {
        tell(why);
        txtArguments->setFocus();
        return {};
    }
    const std::vector<std::string> command = commandBytes(program, arguments);
    OnlyLaunch launch;
    if (prepareOnly(atDate(), command, Reader::Window, &launch, &why) != 0) {
        tell(why);
        return {};
    }
    return command;
}

void frmRunProgram::cmdRun_Click()
{
    const std::vector<std::string> command = checkedCommand();
    if (command.empty())
        return;
    const QString name = QFileInfo(txtProgram->text().trimmed()).fileName();
    const QString shown = shownDate();
    const QString date = atDate();
    cmdTerminal->hide();
    tell(QStringLiteral("Starting %1 at %2\u2026").arg(name, shown));
    // Through --only, whose own clean-up runs when the program ends, however
    // long after this window has gone. It says how the start went.
    auto* start = new ProgramStart(this, [this, name, shown, date, command](const StartReport& report, bool heard) {
        tell(startWords(name, shown, report, heard));
        ran_ = command;
        ranAt_ = date;
        // Output that went unseen: shown in a terminal where there is one.
        cmdTerminal->setVisible(heard && report.wroteOutput && !report.terminal
                                && !ProgramStart::terminalEmulator().isEmpty());
    });
    QString why;
    if (!start->start(ravodor_, date, command, &why)) {
        tell(why);
        delete start;
    }
}

void frmRunProgram::cmdTerminal_Click()
{
    QString why;
    tell(ProgramStart::startInTerminal(ravodor_, ranAt_, ran_, &why)
             ? QStringLiteral("%1 started in a terminal.").arg(QString::fromLocal8Bit(ran_.front().c_str()))
             : why);
}

void frmRunProgram::cmdLauncher_Click()
{
    const std::vector<std::string> command = checkedCommand();
    if (command.empty())
        return;
    QString why;
    const LauncherMade made = writeLauncher({ravodor_, atDate(), command, dates_.locale()}, &why);
    tell(made.path.isEmpty() ? why
                             : QStringLiteral("The applications menu now shows \"%1\"; to remove it, delete %2")
                                   .arg(made.name, made.path));
}

void frmRunProgram::txtArguments_Change()
{
    // Shown only where the shell's reading differs from what meets the eye.
    QStringList words;
    QString why;
    const bool split = splitShellWords(txtArguments->text(), &words, &why);
    const bool plain = split && words == txtArguments->text().split(QRegularExpression(QStringLiteral("\\s+")),
                                                                    Qt::SkipEmptyParts);
    if (!split)
        lblSplit->setText(why);
    else
        lblSplit->setText(QStringLiteral("Handed over as %1: \u2039%2\u203a")
                              .arg(words.size() == 1 ? QStringLiteral("1 argument")
                                                     : QStringLiteral("%1 arguments").arg(words.size()),
                                   words.join(QStringLiteral("\u203a \u2039"))));
    lblSplit->setVisible(!plain);
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
