#include "platform/linux/BusInstance.h"

#include "platform/linux/SingleInstance.h"
#include "platform/linux/VeilmarkBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>

namespace {
// Long enough for a relock of many folders; a hung instance is reported after it.
constexpr int Timeout = 10000;
} // namespace

RunningInstance::Reply BusInstance::lockEverything()
{
    return call(QStringLiteral("LockEverything"));
}

RunningInstance::Reply BusInstance::status()
{
    return call(QStringLiteral("Status"));
}

RunningInstance::Reply BusInstance::call(const QString& method)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(SingleInstance::ServiceName).value())
        return {Reply::Reach::none, {}, {}};
    const QDBusMessage answer =
        bus.call(QDBusMessage::createMethodCall(SingleInstance::ServiceName, SingleInstance::ObjectPath,
                                                VeilmarkBus::Interface, method),
                 QDBus::Block, Timeout);
    if (answer.type() == QDBusMessage::ReplyMessage)
        return {Reply::Reach::answered, answer.arguments().value(0).toString().toUtf8(), {}};
    // It ended between the question and the call.
    if (answer.errorName() == QDBusError::errorString(QDBusError::ServiceUnknown))
        return {Reply::Reach::none, {}, {}};
    return {Reply::Reach::failed, {}, answer.errorName() + QStringLiteral(": ") + answer.errorMessage()};
}
