#include <QApplication>

#include "frm_main.qt.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    frmMain window;
    window.show();
    return QApplication::exec();
}
