#include <QApplication>

#include "process/launcher.h"
#include "qt_window/application.qt.h"
#include "qt_window/frm_main.qt.h"
#include "shared_folder/fixed_paths.h"
#include "wine_keeper/wine_keeper.h"

int main(int argc, char* argv[]) {
    // Ended by a signal, as at a logout, the program takes a running lookup
    // program with it, and what that started.
    keil::EndLookupProgramWithThisProgram();
    QApplication app(argc, argv);
    InstallQtTranslations();
    InstallAccessibleRoles();
    frmMain window(keil::FixedLookupPlace());
    window.show();
    // A Windows lookup program starts at once while Wine is kept ready.
    const keil::WineKeeper wine(keil::ProgramPath());
    return QApplication::exec();
}
