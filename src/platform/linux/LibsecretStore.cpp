#include "platform/linux/LibsecretStore.h"

#include "VeilmarkBuild.h"
#include "platform/linux/LinuxLogging.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>

#include <memory>

// glib names a struct member `signals`, which Qt defines as a keyword macro; this file needs
// neither Qt keyword.
#undef signals
#include <libsecret/secret.h>

namespace {
const char* const SecretsBusName = "org.freedesktop.secrets";
const char* const Label = "Veilmark vault token";
const char* const ContentType = "application/octet-stream";
// Timeout for the bus-name checks; the keyring calls use GDBus's default.
const int BusCallTimeoutMs = 5000;

const SecretSchema* schema()
{
    static const SecretSchema schema = {
        VEILMARK_APP_ID,
        SECRET_SCHEMA_NONE,
        {
            {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
    };
    return &schema;
}

struct GObjectUnref
{
    void operator()(gpointer o) const { g_object_unref(o); }
};
struct GHashTableUnref
{
    void operator()(GHashTable* t) const { g_hash_table_unref(t); }
};
struct ObjectListFree
{
    void operator()(GList* l) const { g_list_free_full(l, g_object_unref); }
};
struct SecretValueUnref
{
    void operator()(SecretValue* v) const { secret_value_unref(v); }
};
struct GVariantUnref
{
    void operator()(GVariant* v) const { g_variant_unref(v); }
};

// Collects a GError; empty when the call succeeded.
class Error
{
public:
    GError** out() { return &m_ptr; }
    explicit operator bool() const { return m_ptr != nullptr; }
    QString text() const { return m_ptr ? QString::fromUtf8(m_ptr->message) : QString(); }
    ~Error()
    {
        if (m_ptr)
            g_error_free(m_ptr);
    }

private:
    GError* m_ptr = nullptr;
};

std::unique_ptr<GHashTable, GHashTableUnref> attributes(const QString& service, const QString& account)
{
    const QByteArray s = service.toUtf8();
    const QByteArray a = account.toUtf8();
    return std::unique_ptr<GHashTable, GHashTableUnref>(
        secret_attributes_build(schema(), "service", s.constData(), "account", a.constData(), nullptr));
}

// The connection to the Secret Service, opened with a transfer session when secrets travel.
std::unique_ptr<SecretService, GObjectUnref> connect(bool forSecrets, Error& error)
{
    return std::unique_ptr<SecretService, GObjectUnref>(secret_service_get_sync(
        forSecrets ? SECRET_SERVICE_OPEN_SESSION : SECRET_SERVICE_NONE, nullptr, error.out()));
}

// Every matching item, locked or not; secrets are loaded for the unlocked ones when asked.
std::unique_ptr<GList, ObjectListFree> search(SecretService* service, GHashTable* attrs, bool loadSecrets,
                                              Error& error)
{
    const int flags = SECRET_SEARCH_ALL | (loadSecrets ? SECRET_SEARCH_LOAD_SECRETS : SECRET_SEARCH_NONE);
    return std::unique_ptr<GList, ObjectListFree>(secret_service_search_sync(
        service, schema(), attrs, static_cast<SecretSearchFlags>(flags), nullptr, error.out()));
}

bool callBus(GDBusConnection* bus, const char* method, GVariant* parameters, const char* replyType,
             std::unique_ptr<GVariant, GVariantUnref>& reply)
{
    reply.reset(g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method, parameters,
        G_VARIANT_TYPE(replyType), G_DBUS_CALL_FLAGS_NO_AUTO_START, BusCallTimeoutMs, nullptr, nullptr));
    return reply != nullptr;
}
} // namespace

bool LibsecretStore::isAvailable()
{
    // Without an address GDBus falls back to autolaunching a bus through X11; that is not ours to
    // start.
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") &&
        (runtimeDir.isEmpty() || !QFile::exists(runtimeDir + QLatin1String("/bus"))))
        return false;
    std::unique_ptr<GDBusConnection, GObjectUnref> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
    if (!bus)
        return false;
    std::unique_ptr<GVariant, GVariantUnref> reply;
    gboolean owned = FALSE;
    if (callBus(bus.get(), "NameHasOwner", g_variant_new("(s)", SecretsBusName), "(b)", reply))
        g_variant_get(reply.get(), "(b)", &owned);
    if (owned)
        return true;
    if (!callBus(bus.get(), "ListActivatableNames", nullptr, "(as)", reply))
        return false;
    GVariantIter* names = nullptr;
    const gchar* name = nullptr;
    bool activatable = false;
    g_variant_get(reply.get(), "(as)", &names);
    while (!activatable && g_variant_iter_next(names, "&s", &name))
        activatable = qstrcmp(name, SecretsBusName) == 0;
    g_variant_iter_free(names);
    return activatable;
}

SecretStore::Presence LibsecretStore::lookup(const QString& service, const QString& account)
{
    Error error;
    const auto secretService = connect(false, error);
    if (!secretService) {
        qCWarning(lcKeyring) << "cannot reach the Secret Service:" << error.text();
        return Presence::unavailable;
    }
    const auto attrs = attributes(service, account);
    const auto items = search(secretService.get(), attrs.get(), false, error);
    if (error) {
        qCWarning(lcKeyring) << "cannot search the keyring:" << error.text();
        return Presence::unavailable;
    }
    return items ? Presence::found : Presence::notFound;
}

std::optional<QString> LibsecretStore::store(const QString& service, const QString& account,
                                             const QByteArray& secret)
{
    Error error;
    const auto secretService = connect(true, error);
    if (!secretService)
        return error.text();
    const std::unique_ptr<SecretCollection, GObjectUnref> collection(secret_collection_for_alias_sync(
        secretService.get(), SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, error.out()));
    if (error)
        return error.text();
    // Creating the default keyring, or unlocking it, would prompt for its password.
    if (!collection)
        return QCoreApplication::translate("LibsecretStore", "The keyring has no default collection.");
    if (secret_collection_get_locked(collection.get()))
        return QCoreApplication::translate("LibsecretStore", "The keyring is locked.");
    const auto attrs = attributes(service, account);
    const std::unique_ptr<SecretValue, SecretValueUnref> value(
        secret_value_new(secret.constData(), secret.size(), ContentType));
    const std::unique_ptr<SecretItem, GObjectUnref> item(
        secret_item_create_sync(collection.get(), schema(), attrs.get(), Label, value.get(),
                                SECRET_ITEM_CREATE_REPLACE, nullptr, error.out()));
    if (!item)
        return error ? error.text()
                     : QCoreApplication::translate("LibsecretStore", "The keyring did not create the item.");
    return std::nullopt;
}

SecretStore::Presence LibsecretStore::read(const QString& service, const QString& account, QByteArray* secret,
                                           QString* error)
{
    Error failure;
    const auto secretService = connect(true, failure);
    const auto attrs = attributes(service, account);
    std::unique_ptr<GList, ObjectListFree> items;
    if (secretService)
        items = search(secretService.get(), attrs.get(), true, failure);
    if (failure) {
        if (error)
            *error = failure.text();
        return Presence::unavailable;
    }
    if (!items)
        return Presence::notFound;
    bool locked = true;
    for (GList* node = items.get(); node; node = node->next) {
        SecretItem* item = static_cast<SecretItem*>(node->data);
        locked = locked && secret_item_get_locked(item);
        const std::unique_ptr<SecretValue, SecretValueUnref> value(secret_item_get_secret(item));
        if (!value)
            continue;
        gsize length = 0;
        const gchar* data = secret_value_get(value.get(), &length);
        if (secret)
            *secret = QByteArray(data, static_cast<qsizetype>(length));
        return Presence::found;
    }
    if (error)
        *error = locked ? QCoreApplication::translate("LibsecretStore", "The keyring is locked.")
                        : QCoreApplication::translate("LibsecretStore",
                                                      "The keyring did not hand out the secret.");
    return Presence::unavailable;
}
