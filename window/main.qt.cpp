#include <QApplication>

#include "frm_main.qt.h"

int main(int argc, char* argv[]) {
    // QApplication takes the user's locale, so the system's error texts
    // come in the user's language too.
    QApplication app(argc, argv);
    InstallQtTranslations();
    frmMain window;
    window.show();
    return QApplication::exec();
}
