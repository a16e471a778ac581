#include "platform/linux/SingleInstance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace {
// The object path of the application ID, as D-Bus convention has it: /org/example/App.
const QString ObjectPath =
    QLatin1Char('/') + SingleInstance::ServiceName.split(QLatin1Char('.')).join(QLatin1Char('/'));
} // namespace

SingleInstance::SingleInstance(QObject* parent)
    : QObject(parent)
{}

bool SingleInstance::claim()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return true;
    bus.registerObject(ObjectPath, this, QDBusConnection::ExportScriptableSlots);
    const auto reply =
        bus.interface()->registerService(ServiceName, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    // A bus that refuses the call cannot tell us about another instance either.
    if (!reply.isValid() || reply.value() == QDBusConnectionInterface::ServiceRegistered)
        return true;
    bus.unregisterObject(ObjectPath);
    const QDBusMessage call =
        QDBusMessage::createMethodCall(ServiceName, ObjectPath, ServiceName, QStringLiteral("Activate"));
    bus.call(call, QDBus::Block, 2000);
    return false;
}

void SingleInstance::Activate()
{
    emit activationRequested();
}
