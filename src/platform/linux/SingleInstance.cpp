#include "platform/linux/SingleInstance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace {
const QString ObjectPath = QStringLiteral("/org/veilmark/Veilmark");
}

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
