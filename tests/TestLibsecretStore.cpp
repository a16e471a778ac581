#include "auth/KeychainService.h"
#include "fakes/FakeAuthenticator.h"
#include "platform/linux/LibsecretStore.h"

#include <QProcess>
#include <QTest>

#include <atomic>

// glib names a struct member `signals`, a keyword macro in Qt; this file uses only `slots`.
#undef signals
#include <libsecret/secret.h>

// Runs against the private keyring that keyring-session.sh starts; never against a user's own.
// The functions run in the order declared: the first must see no bus connection yet, and the
// last locks the keyring for good.
namespace {
const QString Service = QStringLiteral("org.veilmark.Veilmark");
const QString Account = QStringLiteral("vault-token");

QByteArray allBytes()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(char(i));
    return bytes;
}

// secret-tool, the keyring's own command-line client, as an outside view of the items.
QByteArray secretTool(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"), arguments);
    if (!tool.waitForFinished(10000)) {
        tool.kill();
        tool.waitForFinished();
        return "secret-tool failed to run";
    }
    return tool.readAllStandardOutput();
}

QByteArray tokenOf(KeychainService& keychain)
{
    const auto result = keychain.readVaultToken(FakeAuthenticator::freshProof());
    return std::holds_alternative<QByteArray>(result) ? std::get<QByteArray>(result) : QByteArray();
}

// Watches the session bus for the calls that would put up the keyring's password prompt: unlocking,
// creating a keyring, and running a prompt.
class PromptWatch
{
public:
    PromptWatch()
    {
        gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        if (!address)
            return;
        m_bus = g_dbus_connection_new_for_address_sync(
            address,
            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                 G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        g_free(address);
        if (!m_bus)
            return;
        g_dbus_connection_add_filter(m_bus, &PromptWatch::filter, &m_calls, nullptr);
        const gchar* rules[] = {
            "type='method_call',interface='org.freedesktop.Secret.Service',member='Unlock'",
            "type='method_call',interface='org.freedesktop.Secret.Service',member='CreateCollection'",
            "type='method_call',interface='org.freedesktop.Secret.Prompt'",
            nullptr,
        };
        GVariant* reply = g_dbus_connection_call_sync(m_bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                      "org.freedesktop.DBus.Monitoring", "BecomeMonitor",
                                                      g_variant_new("(^asu)", rules, 0u), nullptr,
                                                      G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
        m_watching = reply != nullptr;
        if (reply)
            g_variant_unref(reply);
    }
    ~PromptWatch()
    {
        if (m_bus) {
            g_dbus_connection_close_sync(m_bus, nullptr, nullptr);
            g_object_unref(m_bus);
        }
    }
    PromptWatch(const PromptWatch&) = delete;
    PromptWatch& operator=(const PromptWatch&) = delete;

    bool isWatching() const { return m_watching; }
    // Calls seen so far; copies reach the monitor shortly after the calls themselves.
    int calls() const
    {
        QTest::qWait(200);
        return m_calls.load();
    }

private:
    // Runs on GDBus's worker thread. Monitored calls are dropped here: a monitor must not answer them.
    static GDBusMessage* filter(GDBusConnection*, GDBusMessage* message, gboolean incoming, gpointer calls)
    {
        if (!incoming || g_dbus_message_get_message_type(message) != G_DBUS_MESSAGE_TYPE_METHOD_CALL)
            return message;
        ++*static_cast<std::atomic<int>*>(calls);
        g_object_unref(message);
        return nullptr;
    }

    GDBusConnection* m_bus = nullptr;
    std::atomic<int> m_calls{0};
    bool m_watching = false;
};

// Items carrying all of `attributes`, whatever their schema.
int itemCount(const QList<QPair<const char*, QString>>& attributes)
{
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, nullptr);
    if (!service)
        return -1;
    GHashTable* table = g_hash_table_new_full(g_str_hash, g_str_equal, nullptr, g_free);
    for (const auto& [name, value] : attributes)
        g_hash_table_insert(table, const_cast<char*>(name), g_strdup(value.toUtf8().constData()));
    GList* items = secret_service_search_sync(service, nullptr, table, SECRET_SEARCH_ALL, nullptr, nullptr);
    const int count = int(g_list_length(items));
    g_list_free_full(items, g_object_unref);
    g_hash_table_unref(table);
    g_object_unref(service);
    return count;
}

int itemCount(const QString& service, const QString& account)
{
    return itemCount({{"service", service}, {"account", account}});
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

    void noSessionBusMeansUnavailable()
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
    }

    void availableWhileTheKeyringRuns() { QVERIFY(LibsecretStore::isAvailable()); }

    void missingItemIsNotFound()
    {
        LibsecretStore store;
        QCOMPARE(store.lookup(Service, QStringLiteral("missing")), SecretStore::Presence::notFound);
        QByteArray secret("untouched");
        QString error;
        QCOMPARE(store.read(Service, QStringLiteral("missing"), &secret, &error),
                 SecretStore::Presence::notFound);
        QCOMPARE(secret, QByteArray("untouched"));
    }

    void storedSecretReadsBackAndIsSeenFromOutside()
    {
        LibsecretStore store;
        const QString account = QStringLiteral("round-trip");
        QCOMPARE(store.store(Service, account, allBytes()), std::nullopt);
        QCOMPARE(store.lookup(Service, account), SecretStore::Presence::found);
        QByteArray secret;
        QString error;
        QCOMPARE(LibsecretStore().read(Service, account, &secret, &error), SecretStore::Presence::found);
        QCOMPARE(secret, allBytes());

        QCOMPARE(secretTool({"lookup", "service", Service, "account", account}), allBytes());
        const QByteArray listing = secretTool({"search", "service", Service, "account", account});
        QVERIFY2(listing.contains("label = Veilmark vault token"), listing.constData());
        // secret-tool hides the schema attribute.
        QCOMPARE(itemCount({{"xdg:schema", Service}, {"account", account}}), 1);
    }

    void storingAgainReplacesTheItem()
    {
        LibsecretStore store;
        const QString account = QStringLiteral("replaced");
        QCOMPARE(store.store(Service, account, "first"), std::nullopt);
        QCOMPARE(store.store(Service, account, "second"), std::nullopt);
        QByteArray secret;
        QString error;
        QCOMPARE(store.read(Service, account, &secret, &error), SecretStore::Presence::found);
        QCOMPARE(secret, QByteArray("second"));
        QCOMPARE(itemCount(Service, account), 1);
    }

    void itemsAreKeyedByServiceAndAccount()
    {
        LibsecretStore store;
        const QString other = QStringLiteral("org.example.Other");
        QCOMPARE(store.store(Service, QStringLiteral("a"), "service a"), std::nullopt);
        QCOMPARE(store.store(other, QStringLiteral("a"), "other a"), std::nullopt);
        QByteArray secret;
        QString error;
        QCOMPARE(store.read(Service, QStringLiteral("a"), &secret, &error), SecretStore::Presence::found);
        QCOMPARE(secret, QByteArray("service a"));
        QCOMPARE(store.read(other, QStringLiteral("a"), &secret, &error), SecretStore::Presence::found);
        QCOMPARE(secret, QByteArray("other a"));
        QCOMPARE(store.lookup(other, QStringLiteral("b")), SecretStore::Presence::notFound);
    }

    void vaultTokenIsCreatedOnceAndRenewedAfterDeletion()
    {
        LibsecretStore store;
        KeychainService keychain(store);
        keychain.ensureVaultToken();
        const QByteArray first = tokenOf(keychain);
        QCOMPARE(first.size(), 32);

        KeychainService nextStart(store);
        nextStart.ensureVaultToken();
        QCOMPARE(tokenOf(nextStart), first);
        QCOMPARE(itemCount(Service, Account), 1);

        secretTool({"clear", "service", Service, "account", Account});
        QCOMPARE(store.lookup(Service, Account), SecretStore::Presence::notFound);
        const auto missing = keychain.readVaultToken(FakeAuthenticator::freshProof());
        QCOMPARE(std::get<KeychainError>(missing).status(), KeychainError::itemNotFound);

        keychain.ensureVaultToken();
        const QByteArray second = tokenOf(keychain);
        QCOMPARE(second.size(), 32);
        QVERIFY(second != first);
        QCOMPARE(itemCount(Service, Account), 1);
    }

    void tokenIsWithheldWithoutAProof()
    {
        LibsecretStore store;
        KeychainService keychain(store);
        keychain.ensureVaultToken();
        const auto result = keychain.readVaultToken(AuthenticationProof());
        QVERIFY(std::holds_alternative<KeychainError>(result));
        QCOMPARE(std::get<KeychainError>(result).status(), KeychainError::interactionNotAllowed);
    }

    // Last: the keyring stays locked, since unlocking it again would need its prompt.
    void lockedKeyringIsNeverUnlocked()
    {
        PromptWatch watch;
        QVERIFY(watch.isWatching());
        LibsecretStore store;
        KeychainService keychain(store);
        keychain.ensureVaultToken();
        QCOMPARE(tokenOf(keychain).size(), 32);

        GError* error = nullptr;
        SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &error);
        QVERIFY(service);
        SecretCollection* collection = secret_collection_for_alias_sync(
            service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, &error);
        QVERIFY(collection);
        GList* objects = g_list_append(nullptr, collection);
        const gint lockedCount = secret_service_lock_sync(service, objects, nullptr, nullptr, &error);
        g_list_free(objects);
        g_object_unref(collection);
        QCOMPARE(lockedCount, 1);

        // The item still shows, but neither it nor a new one gets through.
        QCOMPARE(store.lookup(Service, Account), SecretStore::Presence::found);
        QByteArray secret;
        QString text;
        QCOMPARE(store.read(Service, Account, &secret, &text), SecretStore::Presence::unavailable);
        QCOMPARE(text, QStringLiteral("The keyring is locked."));
        QCOMPARE(store.store(Service, QStringLiteral("new"), "secret"),
                 std::optional<QString>(QStringLiteral("The keyring is locked.")));
        QCOMPARE(store.lookup(Service, QStringLiteral("new")), SecretStore::Presence::notFound);

        const auto result = keychain.readVaultToken(FakeAuthenticator::freshProof());
        QCOMPARE(std::get<KeychainError>(result).description(),
                 QStringLiteral("Keyring error -25291 \u2014 The keyring is locked."));

        SecretCollection* after = secret_collection_for_alias_sync(service, SECRET_COLLECTION_DEFAULT,
                                                                   SECRET_COLLECTION_NONE, nullptr, &error);
        QVERIFY(after);
        QVERIFY(secret_collection_get_locked(after));
        QCOMPARE(watch.calls(), 0);

        // The watch does see an unlock attempt. Without a display the prompt fails at once.
        objects = g_list_append(nullptr, after);
        secret_service_unlock_sync(service, objects, nullptr, nullptr, nullptr);
        g_list_free(objects);
        QVERIFY(watch.calls() > 0);
        g_object_unref(after);
        g_object_unref(service);
    }
};

QTEST_GUILESS_MAIN(TestLibsecretStore)
#include "TestLibsecretStore.moc"
