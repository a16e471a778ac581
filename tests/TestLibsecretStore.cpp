#include "ChildProcesses.h"
#include "auth/KeychainService.h"
#include "fakes/FakeAuthenticator.h"
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
    if (!tool.waitForFinished(10000)) {
        stop(tool);
        return program.toUtf8() + " failed to run";
    }
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
    QString error;
    return store.read(service, account, &secret, &error) == SecretStore::Presence::found ? secret
                                                                                         : "(absent)";
}

QByteArray tokenOf(KeychainService& keychain)
{
    const auto result = keychain.readVaultToken(FakeAuthenticator::freshProof());
    return std::holds_alternative<QByteArray>(result) ? std::get<QByteArray>(result) : QByteArray();
}

// Items with these service and account attributes: secret-tool heads each with its path.
int itemCount(const QString& service, const QString& account)
{
    const QByteArray listing = secretTool({"search", "--all", "service", service, "account", account});
    return int(listing.count("\n[/")) + (listing.startsWith("[/") ? 1 : 0);
}

// Watches the session bus for the calls that would put up the keyring's password prompt: unlocking,
// creating a keyring, and running a prompt.
class PromptWatch
{
public:
    PromptWatch()
    {
        dieWithTest(m_monitor);
        m_monitor.start(QStringLiteral("dbus-monitor"),
                        {"--session",
                         "type=method_call,interface=org.freedesktop.Secret.Service,member=Unlock",
                         "type=method_call,interface=org.freedesktop.Secret.Service,member=CreateCollection",
                         "type=method_call,interface=org.freedesktop.Secret.Prompt"});
        // Monitoring starts once the monitor has given up its own name.
        m_watching = m_monitor.waitForStarted() &&
                     QTest::qWaitFor([this] { return read().contains("NameLost"); }, 5000);
    }
    ~PromptWatch() { stop(m_monitor); }

    bool isWatching() const { return m_watching; }
    // Calls seen so far; copies reach the monitor shortly after the calls themselves.
    int calls()
    {
        QTest::qWait(200);
        return int(read().count("method call"));
    }

private:
    const QByteArray& read() { return m_seen += m_monitor.readAllStandardOutput(); }

    QProcess m_monitor;
    QByteArray m_seen;
    bool m_watching = false;
};
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
        QCOMPARE(store.lookup(Service, QStringLiteral("missing")), SecretStore::Presence::notFound);
        QCOMPARE(secretOf(store, Service, QStringLiteral("missing")), "(absent)");

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
        QCOMPARE(store.lookup(otherService, QStringLiteral("b")), SecretStore::Presence::notFound);
    }

    // Last: the keyring stays locked, since unlocking it again would need its prompt.
    void vaultTokenLivesInTheKeyringWithoutEverPrompting()
    {
        PromptWatch watch;
        QVERIFY(watch.isWatching());
        LibsecretStore store;
        KeychainService keychain(store);
        keychain.ensureVaultToken();
        const QByteArray first = tokenOf(keychain);
        QCOMPARE(first.size(), 32);
        KeychainService nextStart(store);
        nextStart.ensureVaultToken();
        QCOMPARE(tokenOf(nextStart), first);
        QCOMPARE(itemCount(Service, Account), 1);
        const auto withoutProof = keychain.readVaultToken(AuthenticationProof());
        QCOMPARE(std::get<KeychainError>(withoutProof).status(), KeychainError::interactionNotAllowed);

        secretTool({"clear", "service", Service, "account", Account});
        QCOMPARE(std::get<KeychainError>(keychain.readVaultToken(FakeAuthenticator::freshProof())).status(),
                 KeychainError::itemNotFound);
        keychain.ensureVaultToken();
        const QByteArray second = tokenOf(keychain);
        QCOMPARE(second.size(), 32);
        QVERIFY(second != first);
        QCOMPARE(itemCount(Service, Account), 1);

        // Locked, the item still shows, but neither it nor a new one gets through.
        QVERIFY(onDefaultCollection("Lock").contains("'/org/freedesktop/secrets/aliases/default'"));
        QCOMPARE(store.lookup(Service, Account), SecretStore::Presence::found);
        QCOMPARE(store.store(Service, QStringLiteral("new"), "secret"),
                 std::optional<QString>(QStringLiteral("The keyring is locked.")));
        QCOMPARE(store.lookup(Service, QStringLiteral("new")), SecretStore::Presence::notFound);
        QCOMPARE(
            std::get<KeychainError>(keychain.readVaultToken(FakeAuthenticator::freshProof())).description(),
            QStringLiteral("Keyring error -25291 \u2014 The keyring is locked."));
        QCOMPARE(watch.calls(), 0);

        // The watch does see an unlock attempt. Without a display the prompt fails at once.
        onDefaultCollection("Unlock");
        QVERIFY(watch.calls() > 0);
    }
};

QTEST_GUILESS_MAIN(TestLibsecretStore)
#include "TestLibsecretStore.moc"
