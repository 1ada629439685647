#include "frmpresets.h"

#include <algorithm>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QSaveFile>
#include <QToolTip>

#include <cstdio>

#include "controls.h"
#include "datekeeper.h"
#include "enterkey.h"
#include "keepermessages.h"
#include "errorreport.h"
#include "frmmain.h"
#include "presetline.h"
#include "presetsfile.h"
#include "refusalmessage.h"
#include "twips.h"

namespace {

const QString kSays = QStringLiteral("Ravodor says:");

}  // namespace

frmPresets::frmPresets(frmMain& main) : QDialog(&main), main_(main), services_(main.services())
{
    setObjectName(QStringLiteral("frmPresets"));
    setWindowTitle(QStringLiteral("Presets"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    createControls();
    setFixedSize(twips(this, 3855), twips(this, 4395));
    // The program may end while this window is open: the list is saved first.
    connect(&main_, &frmMain::ending, this, &frmPresets::Form_QueryUnload);
}

void frmPresets::createControls()
{
    QFont small = font();
    small.setPointSizeF(8.25);
    setFont(small);

    Frame1 = named(new QGroupBox(QStringLiteral("Pick"), this), "Frame1");
    placeTwips(Frame1, 94, 45, 3660, 1935);
    List1 = named(new QListWidget(Frame1), "List1");
    placeTwips(List1, 210, 315, 3255, 1035);
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setUniformItemSizes(true);  // a long list loads fast
    setBoxColours(List1, palette().color(QPalette::Button), QColor(0, 0, 192));
    List1->viewport()->setMouseTracking(true);
    List1->viewport()->installEventFilter(this);
    List1->setAccessibleName(QStringLiteral("Presets"));

    cmdPick = named(new QPushButton(QStringLiteral("&Pick"), Frame1), "cmdPick");
    placeTwips(cmdPick, 210, 1455, 1590, 315);
    cmdPick->setToolTip(QStringLiteral(" Click here to confirm your preset "));
    connect(cmdPick, &QPushButton::clicked, this, &frmPresets::cmdPick_Click);
    cmdRemove = named(new QPushButton(QStringLiteral("&Remove"), Frame1), "cmdRemove");
    placeTwips(cmdRemove, 1875, 1455, 1590, 315);
    cmdRemove->setToolTip(QStringLiteral(" Click here to remove a preset "));
    connect(cmdRemove, &QPushButton::clicked, this, &frmPresets::cmdRemove_Click);

    Frame2 = named(new QGroupBox(QStringLiteral("Add"), this), "Frame2");
    placeTwips(Frame2, 94, 2032, 3660, 1515);
    lblDescription = named(new QLabel(QStringLiteral("Description:"), Frame2), "lblDescription");
    placeTwips(lblDescription, 210, 330, 2310, 240);
    lblDate = named(new QLabel(QStringLiteral("Descr.date:"), Frame2), "lblDate");
    placeTwips(lblDate, 210, 660, 915, 255);
    txtPresetDescription = named(new QLineEdit(Frame2), "txtPresetDescription");
    placeTwips(txtPresetDescription, 1155, 285, 2295, 285);
    setBoxColours(txtPresetDescription, QColor(192, 192, 192), palette().color(QPalette::Text));
    txtPresetDescription->setToolTip(QStringLiteral(" Enter a short description here "));
    txtPresetDate = named(new QLineEdit(Frame2), "txtPresetDate");
    placeTwips(txtPresetDate, 1155, 645, 2295, 285);
    setBoxColours(txtPresetDate, QColor(0, 192, 0), palette().color(QPalette::ButtonText), true);
    txtPresetDate->setToolTip(QStringLiteral(" Enter the date here that belongs to your description "));
    // The labels name their boxes (otherwise the frame's "Add" would).
    lblDescription->setBuddy(txtPresetDescription);
    lblDate->setBuddy(txtPresetDate);
    // A label ends where its box begins; where the font is wider than the
    // design's, the boxes give way rather than cover "Description:".
    const int labelLeft = lblDescription->x();
    const int boxRight = txtPresetDescription->geometry().right();
    const int needed = labelLeft + std::max(lblDescription->sizeHint().width(), lblDate->sizeHint().width())
                       + twips(this, 30);
    const int boxLeft = std::max(txtPresetDescription->x(), needed);
    for (QLineEdit* box : {txtPresetDescription, txtPresetDate})
        box->setGeometry(boxLeft, box->y(), boxRight - boxLeft + 1, box->height());
    for (QLabel* caption : {lblDescription, lblDate})
        caption->resize(boxLeft - labelLeft - twips(this, 15), caption->height());
    cmdAdd = named(new QPushButton(QStringLiteral("&Add"), Frame2), "cmdAdd");
    placeTwips(cmdAdd, 225, 1050, 3255, 315);
    connect(cmdAdd, &QPushButton::clicked, this, &frmPresets::cmdAdd_Click);

    Frame3 = named(new QGroupBox(this), "Frame3");
    placeTwips(Frame3, 90, 3585, 3660, 675);
    cmdDone = named(new QPushButton(QStringLiteral("&Done!"), Frame3), "cmdDone");
    placeTwips(cmdDone, 210, 225, 3255, 315);
    connect(cmdDone, &QPushButton::clicked, this, &frmPresets::cmdDone_Click);

    // No default button: Enter in a box or the list does not pick, add or
    // close by accident; on a focused button it presses that one.
    for (QPushButton* button : {cmdPick, cmdRemove, cmdAdd, cmdDone}) {
        button->setAutoDefault(false);
        button->setDefault(false);
        pressOnEnter(button, button);
    }
    QWidget* order[] = {List1, cmdPick, cmdRemove, txtPresetDescription, txtPresetDate, cmdAdd, cmdDone};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

QString frmPresets::filePath() const
{
    return presetsFilePath(services_.programFolder);
}

void frmPresets::Form_Load()
{
    txtPresetDescription->clear();
    txtPresetDate->clear();

    const QString path = filePath();
    // Only a missing file gets the first content; anything else that sits
    // there (a folder, a pipe) is left alone and reads as empty.
    if (!fileexists(path) && !QFileInfo::exists(path)) {
        // A folder without write rights leaves no file: the list starts empty.
        QFile file(path);
        if (file.open(QIODevice::WriteOnly, kPresetsFilePermissions))
            file.write(presetsFirstContent());
    }
    if (fileexists(path) && QFileInfo(path).size() != 0) {
        List_Load(List1, path);
        if (List1->count() > 0)
            List1->setCurrentRow(0);
        QCoreApplication::processEvents();
    } else {
        services_.dialogs->MsgBox(QStringLiteral("No previous presets were found.\r\n"
                                                 "You can add presets by using the \"Add\" section in the next window..."),
                                  MsgStyle::Information, QStringLiteral("Ravodor Presets"));
    }
}

bool frmPresets::fileexists(const QString& Filename)
{
    // Only a regular file: opening a pipe would wait for a writer.
    QFile file(Filename);
    return QFileInfo(Filename).isFile() && file.open(QIODevice::ReadOnly);
}

void frmPresets::List_Load(QListWidget* thelist, const QString& Filename)
{
    QFile file(Filename);
    if (!fileexists(Filename) || !file.open(QIODevice::ReadOnly) || file.size() > kPresetsFileMax)
        return;
    const QList<QByteArray> lines = splitPresetLines(file.readAll());
    thelist->setUpdatesEnabled(false);
    for (const QByteArray& line : lines)
        addEntry(thelist, decodePresetLine(line), line);
    thelist->setUpdatesEnabled(true);
}

bool frmPresets::List_Save(QListWidget* thelist, const QString& Filename)
{
    QList<QByteArray> entries;
    const int count = thelist->count();
    for (int i = 0; i < count; ++i) {
        const QVariant read = thelist->item(i)->data(kFileBytesRole);
        entries << (read.isNull() ? encodePresetLine(entry(thelist->item(i))) : read.toByteArray());
    }

    // Written beside the old file and renamed over it: a failed save keeps
    // the old presets whole.
    // Qt's flush can take a short write for success, so the size is checked
    // before the rename.
    const QByteArray content = joinPresetLines(entries);
    QSaveFile file(Filename);
    if (file.open(QIODevice::WriteOnly) && file.setPermissions(kPresetsFilePermissions)
        && file.write(content) == content.size() && file.flush() && file.size() == content.size() && file.commit())
        return true;
    // Nothing was there and nothing is lost: no need to alarm anyone.
    if (entries.isEmpty() && !QFileInfo::exists(Filename))
        return false;
    const QString text = QStringLiteral("The presets could not be saved to %1 (%2).\r\nThe file keeps its earlier presets.")
                             .arg(QDir::toNativeSeparators(Filename), file.errorString());
    // A close without boxes must not stop at one: nobody may be there.
    if (main_.closingQuietly())
        std::fprintf(stderr, "ravodor: %s\n", qPrintable(QString(text).replace(QLatin1String("\r\n"), QLatin1String(" "))));
    else
        showMessage(text, MsgStyle::Exclamation);
    return false;
}

void frmPresets::List_Add(QListWidget* list, const QString& txt)
{
    addEntry(list, txt, {});
}

void frmPresets::addEntry(QListWidget* list, const QString& text, const QByteArray& read)
{
    auto* item = new QListWidgetItem;
    // A very long entry is shown shortened, which keeps painting fast; the
    // whole text stays with the item.
    if (text.size() > kShownMax) {
        item->setText(text.left(kShownMax) + QStringLiteral("..."));
        item->setData(kEntryRole, text);
    } else {
        item->setText(text);
    }
    // A line that was no valid text is written back as the bytes it was.
    if (text.contains(QChar::ReplacementCharacter))
        item->setData(kFileBytesRole, read);
    list->addItem(item);
}

QString frmPresets::entry(const QListWidgetItem* item)
{
    const QVariant whole = item->data(kEntryRole);
    return whole.isValid() ? whole.toString() : item->text();
}

void frmPresets::Form_QueryUnload()
{
    List_Save(List1, filePath());
}

void frmPresets::done(int result)
{
    Form_QueryUnload();
    QDialog::done(result);
}

void frmPresets::showMessage(const QString& text, int style)
{
    services_.dialogs->MsgBox(text, style, kSays);
}

void frmPresets::SetSelected()
{
    if (auto* edit = qobject_cast<QLineEdit*>(focusWidget()))
        edit->setSelection(0, edit->text().size());
}

bool frmPresets::hasSelection() const
{
    return !List1->selectedItems().isEmpty();
}

void frmPresets::cmdAdd_Click()
{
    if (txtPresetDescription->text().isEmpty()) {
        showMessage(QStringLiteral("Please enter a short description ..."), MsgStyle::OkOnly);
        txtPresetDescription->setFocus();
        return;
    }

    // The date is proven on the clock and at once put back to the real date.
    const QDate date = services_.dates.parse(txtPresetDate->text());
    if (!date.isValid()) {
        reportAddFailure(AppError::typeMismatch());
        return;
    }
    if (AppError error = services_.keeper->setDate(DateText::toCivil(date))) {
        reportAddFailure(error);
        return;
    }
    List_Add(List1, txtPresetDescription->text() + QStringLiteral(" = ") + txtPresetDate->text());
    // Back to the date in effect before Add, which need not be the real one.
    main_.realDate();
    const QDate inEffect = services_.dates.parse(main_.lblHIDDENtoday->text());
    if (AppError error = services_.keeper->setDate(DateText::toCivil(inEffect))) {
        // The clock is left at the preset's date: the user must know.
        main_.reportFailedRestore(error);
        return;
    }
    txtPresetDescription->clear();
    txtPresetDate->clear();
    txtPresetDescription->setFocus();
}

void frmPresets::reportAddFailure(const AppError& error)
{
    const QString text = txtPresetDate->text();
    if (text.isEmpty()) {
        showMessage(QStringLiteral("Please enter a date ..."), MsgStyle::OkOnly);
        txtPresetDate->setFocus();
        SetSelected();
    } else if (!services_.dates.isDate(text)) {
        showMessage(QStringLiteral("That date is not in an acceptable format!"), MsgStyle::OkOnly);
        txtPresetDate->setFocus();
        SetSelected();
    } else if (const QString notChanged = notChangedMessage(error); !notChanged.isEmpty()) {
        showMessage(notChanged, MsgStyle::OkOnly);
    } else if (error.number == kErrPermissionDenied) {
        showMessage(refusalMessage(error), MsgStyle::OkOnly);
    } else {
        services_.dialogs->MsgBox(errorReport(error, QStringLiteral("frmPresets, cmdAdd")), MsgStyle::OkOnly,
                                  QStringLiteral("Error"), QString::fromStdString(error.helpFile),
                                  error.helpContext);
    }
}

void frmPresets::cmdPick_Click()
{
    const QString line = hasSelection() ? entry(List1->selectedItems().first()).trimmed() : QString();
    const QString date = Get_After_isGelijkAan(1, line).trimmed();
    if (!entryChosen())
        return;
    main_.Text2->setText(date);
    // After the date box: its change clears the marker.
    main_.lblHIDDENpreset->setText(line);
    done(Accepted);
}

bool frmPresets::entryChosen()
{
    if (List1->count() == 0) {
        showMessage(QStringLiteral("Erm... your list is empty...    "), MsgStyle::Exclamation);
        return false;
    }
    if (!hasSelection()) {
        showMessage(QStringLiteral("Select an item from the list first...    "), MsgStyle::Exclamation);
        return false;
    }
    return true;
}

void frmPresets::cmdRemove_Click()
{
    if (!entryChosen())
        return;
    const int answer = services_.dialogs->MsgBox(QStringLiteral("Are you sure you want to remove this item?"),
                                                 MsgStyle::YesNo | MsgStyle::Question, QStringLiteral("Removal"));
    if (answer != AnswerYes)
        return;
    delete List1->selectedItems().first();
    List1->clearSelection();
    List1->setCurrentRow(-1);
    QCoreApplication::processEvents();
}

void frmPresets::cmdDone_Click()
{
    done(Accepted);
}

void frmPresets::List1_MouseMove(const QPoint& position)
{
    const QListWidgetItem* item = List1->itemAt(position);
    List1->setToolTip(item ? QStringLiteral(" ") + entry(item).left(kTipMax) + QStringLiteral(" ") : QString());
}

bool frmPresets::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == List1->viewport()) {
        if (event->type() == QEvent::MouseMove) {
            auto* move = static_cast<QMouseEvent*>(event);
            if (move->buttons() == Qt::NoButton)
                List1_MouseMove(move->position().toPoint());
        } else if (event->type() == QEvent::ToolTip) {
            // The list's own tooltip, not the items' (they have none).
            auto* help = static_cast<QHelpEvent*>(event);
            if (List1->toolTip().isEmpty())
                QToolTip::hideText();
            else
                QToolTip::showText(help->globalPos(), List1->toolTip(), List1);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
