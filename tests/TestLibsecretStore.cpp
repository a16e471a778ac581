#include "ChildProcesses.h"
#include "platform/linux/LibsecretStore.h"

#include <QProcess>
#include <QTest>

// Runs against the private keyring that keyring-session.sh starts; never against a user's own.
// The functions run in the order declared: the first must see no bus connection yet, and the
// last locks the keyring for good.
namespace {
const QString Service = QStringLiteral("org.veilmark.Veilmark");
const QString Account = QStringLiteral("vault-token");

QByteArray run(const QString& program, const QStringList& arguments)
{
    QProcess tool;
    tool.start(program, arguments);
    tool.waitForFinished(10000);
    return tool.readAllStandardOutput();
}

// secret-tool, the keyring's own command-line client, as an outside view of the items.
QByteArray secretTool(const QStringList& arguments)
{
    return run(QStringLiteral("secret-tool"), arguments);
}

// Lock or Unlock on the default collection, as any client of the keyring may ask.
QByteArray onDefaultCollection(const QString& method)
{
    return run(QStringLiteral("gdbus"),
               {"call", "--session", "--dest", "org.freedesktop.secrets", "--object-path",
                "/org/freedesktop/secrets", "--method", "org.freedesktop.Secret.Service." + method,
                "['/org/freedesktop/secrets/aliases/default']"});
}

QByteArray secretOf(LibsecretStore& store, const QString& service, const QString& account)
{
    QByteArray secret;
    return store.read(service, account, &secret, nullptr) == SecretStore::Presence::found ? secret
                                                                                          : "(absent)";
}

// Items with these service and account attributes: secret-tool heads each with its path.
int itemCount(const QString& service, const QString& account)
{
    return int(secretTool({"search", "--all", "service", service, "account", account}).count("[/"));
}
} // namespace

class TestLibsecretStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("VEILMARK_KEYRING_SESSION"))
            QFAIL("run this test through tests/keyring-session.sh");
    }

    void availableOnlyWithASessionBus()
    {
        const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        const QByteArray runtimeDir = qgetenv("XDG_RUNTIME_DIR");
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/veilmark-bus");
        const bool withDeadAddress = LibsecretStore::isAvailable();
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qunsetenv("XDG_RUNTIME_DIR");
        const bool withoutAddress = LibsecretStore::isAvailable();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        qputenv("XDG_RUNTIME_DIR", runtimeDir);
        QVERIFY(!withDeadAddress);
        QVERIFY(!withoutAddress);
        QVERIFY(LibsecretStore::isAvailable());
    }

    void itemsAreKeyedAndSeenFromOutside()
    {
        LibsecretStore store;
        QByteArray secret;
        QCOMPARE(store.lookup(Service, QStringLiteral("missing")), SecretStore::Presence::notFound);
        QCOMPARE(store.read(Service, QStringLiteral("missing"), &secret, nullptr),
                 SecretStore::Presence::notFound);

        // Every byte value, NUL and high bytes included.
        QByteArray allBytes;
        for (int i = 0; i < 256; ++i)
            allBytes.append(char(i));
        const QString account = QStringLiteral("round-trip");
        QCOMPARE(store.store(Service, account, "first"), std::nullopt);
        QCOMPARE(store.store(Service, account, allBytes), std::nullopt);
        QCOMPARE(store.lookup(Service, account), SecretStore::Presence::found);
        LibsecretStore other;
        QCOMPARE(secretOf(other, Service, account), allBytes);
        QCOMPARE(itemCount(Service, account), 1);
        QCOMPARE(secretTool({"lookup", "service", Service, "account", account}), allBytes);
        const QByteArray listing = secretTool({"search", "service", Service, "account", account});
        QVERIFY2(listing.contains("label = Veilmark vault token"), listing.constData());

        const QString otherService = QStringLiteral("org.example.Other");
        QCOMPARE(store.store(otherService, account, "other"), std::nullopt);
        QCOMPARE(secretOf(store, otherService, account), "other");
        QCOMPARE(secretOf(store, Service, account), allBytes);
    }

    // Last: the keyring stays locked, since unlocking it again would need its prompt. A monitor on the
    // session bus sees every call that would put up the keyring's password prompt: unlocking, creating
    // a keyring, and running a prompt.
    void lockedKeyringShowsItemsButHandsOutNoneWithoutPrompting()
    {
        QProcess monitor;
        dieWithTest(monitor);
        monitor.start("dbus-monitor",
                      {"--session", "type=method_call,interface=org.freedesktop.Secret.Service,member=Unlock",
                       "type=method_call,interface=org.freedesktop.Secret.Service,member=CreateCollection",
                       "type=method_call,interface=org.freedesktop.Secret.Prompt"});
        QByteArray seen;
        // Monitoring starts once the monitor has given up its own name; copies of the calls reach it
        // shortly after the calls themselves.
        QVERIFY(
            QTest::qWaitFor([&] { return (seen += monitor.readAllStandardOutput()).contains("NameLost"); }));
        const auto promptCalls = [&] {
            QTest::qWait(200);
            return (seen += monitor.readAllStandardOutput()).count("method call");
        };

        LibsecretStore store;
        QCOMPARE(store.store(Service, Account, "token"), std::nullopt);
        QVERIFY(onDefaultCollection("Lock").contains("'/org/freedesktop/secrets/aliases/default'"));
        QCOMPARE(store.lookup(Service, Account), SecretStore::Presence::found);
        QByteArray secret;
        QString error;
        QCOMPARE(store.read(Service, Account, &secret, &error), SecretStore::Presence::unavailable);
        QCOMPARE(error, QStringLiteral("The keyring is locked."));
        QCOMPARE(store.store(Service, QStringLiteral("new"), "secret"),
                 std::optional<QString>(QStringLiteral("The keyring is locked.")));
        QCOMPARE(store.lookup(Service, QStringLiteral("new")), SecretStore::Presence::notFound);
        QCOMPARE(promptCalls(), 0);

        // The monitor does see an unlock attempt. Without a display the prompt fails at once.
        onDefaultCollection("Unlock");
        QVERIFY(promptCalls() > 0);
        stop(monitor);
    }
};

QTEST_GUILESS_MAIN(TestLibsecretStore)
#include "TestLibsecretStore.moc"
