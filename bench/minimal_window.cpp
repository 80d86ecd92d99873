// The smallest Qt Widgets program with a window that shows text, Qt's own
// "Hello world" push button: the baseline for the window program's memory.

#include <QApplication>
#include <QPushButton>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QPushButton hello("Hello world!");
    hello.setWindowTitle("Minimal");
    hello.resize(345, 194);
    hello.show();
    return QApplication::exec();
}
