#include "speech/atspi_linux.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusVariant>

AtSpiStatus::AtSpiStatus(const QDBusConnection& bus, int timeoutMs)
    : m_bus(bus)
    , m_timeoutMs(timeoutMs)
    , m_quiet(0)
{
}

bool AtSpiStatus::screenReaderEnabled()
{
    if (!m_bus.isConnected() || !m_quiet.hasExpired())
        return false;
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << QStringLiteral("org.a11y.Status") << QStringLiteral("ScreenReaderEnabled");
    // Without AT-SPI running there is no screen reader to ask for; starting the bus launcher would only cost time.
    call.setAutoStartService(false);
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, m_timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        if (reply.errorName() == QDBusError::errorString(QDBusError::NoReply) ||
            reply.errorName() == QDBusError::errorString(QDBusError::Timeout))
            m_quiet.setRemainingTime(QuietAfterTimeoutMs);
        return false;
    }
    const QVariant value = reply.arguments().constFirst().value<QDBusVariant>().variant();
    return value.typeId() == QMetaType::Bool && value.toBool();
}
