// The floor for start-up and memory: the least a Qt Widgets program with Quillon's window can do,
// one 640 x 600 window with a status bar, and nothing else.
#include <QApplication>
#include <QMainWindow>
#include <QStatusBar>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Floor"));
    window.statusBar()->showMessage(QStringLiteral("Ready"));
    window.setFixedSize(640, 600);
    window.show();
    return QApplication::exec();
}
