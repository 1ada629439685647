// The yardsticks for start-up cost: an empty Qt main window, nothing else;
// with --with-text, the same window holding one line of text, so that the
// cost of Qt's font system, which any window with text pays, shows apart.

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

#include <cstring>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    if (argc > 1 && std::strcmp(argv[1], "--with-text") == 0)
        window.setCentralWidget(new QLabel(QStringLiteral("Real date"), &window));
    window.show();
    return app.exec();
}
