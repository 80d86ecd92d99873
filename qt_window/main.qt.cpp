#include <QApplication>

#include "application.qt.h"
#include "fixed_paths.h"
#include "frm_main.qt.h"
#include "launcher.h"
#include "wine_keeper.h"

int main(int argc, char* argv[]) {
    // Ended by a signal, as at a logout, the program takes a running lookup
    // program with it, and what that started.
    keil::EndLookupProgramWithThisProgram();
    QApplication app(argc, argv);
    InstallQtTranslations();
    InstallAccessibleRoles();
    frmMain window;
    window.show();
    // A Windows lookup program starts at once while Wine is kept ready.
    const keil::WineKeeper wine(keil::SplitCommandLine(keil::JoinCommandLine()).program);
    return QApplication::exec();
}
