#include "qt_window/application.qt.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QWidget>
#include <memory>

bool InstallQtTranslations() {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QLocale(QLocale::German, QLocale::Germany), "qtbase", "_",
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator.get())) {
        return false;
    }
    translator.release()->setParent(qApp);  // the application owns it from now on
    return true;
}

void InstallAccessibleRoles() {
    // A plain top-level widget is a "filler" to AT-SPI; the main window is
    // a frame, which Qt's role Window stands for. Its notice of a long wait
    // is a notification, which a screen reader speaks when it shows.
    QAccessible::installFactory([](const QString& className, QObject* object) -> QAccessibleInterface* {
        if (className == QLatin1String("frmMain") && object->isWidgetType()) {
            return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
        }
        if (object->objectName() == QLatin1String("notice") && object->isWidgetType()) {
            return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Notification);
        }
        return nullptr;
    });
}
