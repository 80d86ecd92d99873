#include <QApplication>

#include "frm_main.qt.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    InstallQtTranslations();
    InstallAccessibleRoles();
    frmMain window;
    window.show();
    return QApplication::exec();
}
