#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QPointer>
#include <QVariantMap>

#include "window/screen_reader.h"

namespace {

// Knows whether a screen reader runs, from AT-SPI's status: asked once,
// without the window waiting for the answer, and told of each change
// from then on, so that the answer is there whenever a lookup ends.
class ScreenReaderWatch : public QObject {
    Q_OBJECT

public:
    explicit ScreenReaderWatch(QObject* parent) : QObject(parent) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) return;
        bus.connect("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "PropertiesChanged", this,
                    SLOT(Changed(QString, QVariantMap, QStringList)));
        QDBusMessage get = QDBusMessage::createMethodCall("org.a11y.Bus", "/org/a11y/bus",
                                                          "org.freedesktop.DBus.Properties", "Get");
        get << QStringLiteral("org.a11y.Status") << QStringLiteral("ScreenReaderEnabled");
        auto* answer = new QDBusPendingCallWatcher(bus.asyncCall(get), this);
        connect(answer, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
            const QDBusPendingReply<QDBusVariant> reply = *call;
            if (!reply.isError() && !told_) running = reply.value().variant().toBool();
            call->deleteLater();
        });
    }

    bool running = false;

private slots:
    void Changed(const QString& interface, const QVariantMap& changed, const QStringList&) {
        if (interface != QLatin1String("org.a11y.Status") || !changed.contains("ScreenReaderEnabled")) return;
        running = changed.value("ScreenReaderEnabled").toBool();
        told_ = true;
    }

private:
    // Told of a change before the first answer came: the change is newer.
    bool told_ = false;
};

}  // namespace

namespace keil {

bool ScreenReaderRunning() {
    static QPointer<ScreenReaderWatch> watch;
    if (!watch && QCoreApplication::instance() != nullptr) watch = new ScreenReaderWatch(QCoreApplication::instance());
    return watch && watch->running;
}

}  // namespace keil

#include "screen_reader.qt.moc"
