// The yardsticks for start-up cost: an empty Qt main window, nothing else;
// with --with-text, the same window holding one line of text, so that the
// cost of Qt's font system, which any window with text pays, shows apart;
// with --with-controls, the main window's controls, fonts and menus made
// straight with Qt and nothing of Ravodor: what Qt itself costs to draw them.

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>

#include <cstring>

namespace {

// Placed in pixels at 96 dots per inch, as the main window's twips come out.
template <typename W>
W* place(W* widget, int left, int top, int width, int height)
{
    widget->setGeometry(left / 15, top / 15, width / 15, height / 15);
    return widget;
}

QLineEdit* dateBox(QWidget* parent, int top, const QColor& base, const QColor& text)
{
    auto* box = place(new QLineEdit(QStringLiteral("08/12/2026"), parent), 1035, top, 1320, 285);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::Text, text);
    box->setPalette(palette);
    QFont bold = box->font();
    bold.setBold(true);
    box->setFont(bold);
    return box;
}

void addControls(QMainWindow& window)
{
    QFont small = window.font();
    small.setPointSizeF(8.25);
    window.setFont(small);
    auto* client = new QWidget(&window);
    client->setFixedSize(3855 / 15, 2355 / 15);
    window.setCentralWidget(client);
    auto* frame = place(new QGroupBox(client), 90, 0, 3660, 1860);
    place(new QLabel(QStringLiteral("Real date"), frame), 210, 300, 840, 225);
    place(new QLabel(QStringLiteral("Alter date"), frame), 210, 645, 840, 210);
    dateBox(frame, 270, QColor(255, 0, 0), Qt::white)->setReadOnly(true);
    dateBox(frame, 615, QColor(0, 192, 0), Qt::black);
    place(new QPushButton(QStringLiteral("&Set"), frame), 2430, 615, 1035, 315)->setDefault(true);
    place(new QPushButton(QStringLiteral("&Reset to actual date"), frame), 210, 1020, 3255, 315);
    place(new QPushButton(QStringLiteral("A&bout"), frame), 210, 1380, 1035, 315);
    place(new QPushButton(QStringLiteral("&Hide"), frame), 1320, 1380, 1035, 315);
    place(new QPushButton(QStringLiteral("E&xit"), frame), 2430, 1380, 1035, 315);
    place(new QCheckBox(QStringLiteral("Change date on startup"), client), 300, 1980, 3195, 225);
    for (const char* title : {"&Preset", "&Quickset", "&Autoquit"})
        window.menuBar()->addMenu(QString::fromLatin1(title))->addAction(QStringLiteral("Empty"));
    window.setFixedSize(window.sizeHint());
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    if (argc > 1 && std::strcmp(argv[1], "--with-text") == 0)
        window.setCentralWidget(new QLabel(QStringLiteral("Real date"), &window));
    if (argc > 1 && std::strcmp(argv[1], "--with-controls") == 0)
        addControls(window);
    window.show();
    return app.exec();
}
