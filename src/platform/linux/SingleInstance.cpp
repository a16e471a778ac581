#include "platform/linux/SingleInstance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>

SingleInstance::SingleInstance(QObject* parent)
    : QObject(parent)
{}

SingleInstance::Claim SingleInstance::claim(bool bringForward)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        m_problem =
            tr("no session bus (%1); a second launch cannot find this one").arg(bus.lastError().message());
        return Claim::runWithout;
    }
    bus.registerObject(ObjectPath, this,
                       QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportAdaptors);
    const auto reply =
        bus.interface()->registerService(ServiceName, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        m_problem = tr("the session bus refused the name %1: %2").arg(ServiceName, reply.error().message());
        return Claim::runWithout;
    }
    if (reply.value() == QDBusConnectionInterface::ServiceRegistered)
        return Claim::owned;
    bus.unregisterObject(ObjectPath);
    const QDBusMessage call =
        QDBusMessage::createMethodCall(ServiceName, ObjectPath, ServiceName,
                                       bringForward ? QStringLiteral("Activate") : QStringLiteral("Ping"));
    const QDBusMessage answer = bus.call(call, QDBus::Block, 2000);
    // Veilmark answers Activate and Ping with an empty reply; anything else is not Veilmark, or a hung one.
    if (answer.type() == QDBusMessage::ReplyMessage && answer.arguments().isEmpty())
        return Claim::handedOver;
    const uint owner = bus.interface()->servicePid(ServiceName).value();
    m_problem = tr("%1 belongs to another process (pid %2) that did not answer as Veilmark does (%3); "
                   "running without the name")
                    .arg(ServiceName, owner > 0 ? QString::number(owner) : tr("unknown"),
                         answer.type() == QDBusMessage::ErrorMessage
                             ? answer.errorName() + QStringLiteral(": ") + answer.errorMessage()
                             : tr("an unexpected reply"));
    return Claim::runWithout;
}

void SingleInstance::Activate()
{
    emit activationRequested();
}
