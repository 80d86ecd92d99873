#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

#include "window/screen_reader.h"

namespace keil {

bool ScreenReaderRunning() {
    QDBusMessage get = QDBusMessage::createMethodCall("org.a11y.Bus", "/org/a11y/bus",
                                                      "org.freedesktop.DBus.Properties", "Get");
    get << QStringLiteral("org.a11y.Status") << QStringLiteral("ScreenReaderEnabled");
    // Asked after a lookup: a bus that does not answer at once must not
    // hold the window.
    constexpr int kTimeoutMs = 250;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, kTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

}  // namespace keil
