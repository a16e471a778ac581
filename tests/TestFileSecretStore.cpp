#include "TestDataHome.h"
#include "auth/KeychainService.h"
#include "platform/linux/FileSecretStore.h"

#include <QJsonDocument>
#include <QTest>

namespace {
const QString Service = QStringLiteral("org.veilmark.Veilmark");
const QString Account = QStringLiteral("vault-token");

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

mode_t modeOf(const QString& path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// The secret under `service` and `account`, or "(absent)".
QByteArray secretOf(FileSecretStore& store, const QString& service, const QString& account)
{
    QByteArray secret;
    QString error;
    return store.read(service, account, &secret, &error) == SecretStore::Presence::found ? secret
                                                                                         : "(absent)";
}
} // namespace

class TestFileSecretStore : public QObject
{
    Q_OBJECT

private slots:
    void storesPrivatelyAndAtomically()
    {
        TestDataHome home;
        FileSecretStore store;
        const QString path = home.file("keyring.json");
        QCOMPARE(store.filePath(), path);
        QCOMPARE(store.lookup(Service, Account), SecretStore::Presence::notFound);
        QCOMPARE(secretOf(store, Service, Account), "(absent)");
        QVERIFY(!QFile::exists(path));

        // Every byte value, NUL and high bytes included.
        QByteArray allBytes;
        for (int i = 0; i < 256; ++i)
            allBytes.append(char(i));
        QCOMPARE(store.store(Service, Account, allBytes), std::nullopt);
        QCOMPARE(modeOf(home.dataDir()), mode_t(0700));
        QCOMPARE(modeOf(path), mode_t(0600));
        FileSecretStore restarted;
        QCOMPARE(secretOf(restarted, Service, Account), allBytes);

        // A replacement is a new file, never the old one rewritten in place, private again even when the
        // mode was widened, and clears what a killed write left behind.
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        QFile leftover(path + QLatin1String(".a1B2c3"));
        QVERIFY(leftover.open(QIODevice::WriteOnly));
        leftover.close();
        const FileStamp before = FileStamp::of(path);
        QCOMPARE(store.store(Service, QStringLiteral("other"), QByteArray()), std::nullopt);
        QVERIFY(FileStamp::of(path).inode != before.inode);
        QCOMPARE(modeOf(path), mode_t(0600));
        QVERIFY(!leftover.exists());

        // Items are keyed by service and account; an empty secret is still an item.
        QCOMPARE(store.store(QStringLiteral("org.example.Other"), Account, "other service"), std::nullopt);
        QCOMPARE(secretOf(store, Service, Account), allBytes);
        QCOMPARE(secretOf(store, Service, QStringLiteral("other")), QByteArray());
        QCOMPARE(secretOf(store, QStringLiteral("org.example.Other"), Account), "other service");
        QCOMPARE(store.lookup(QStringLiteral("org.example.Other"), QStringLiteral("other")),
                 SecretStore::Presence::notFound);

        // A vault token found at the next start is left as it is.
        const FileStamp stamp = FileStamp::of(path);
        KeychainService(restarted).ensureVaultToken();
        QCOMPARE(FileStamp::of(path), stamp);
    }

    void corruptDocumentHoldsNothingAndIsReplaced_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("truncated") << QByteArray("{\"org.veilmark.Veilmark\": {\"vault-token\": \"AAE");
        QTest::newRow("not an object") << QByteArray("[\"org.veilmark.Veilmark\"]");
        QTest::newRow("service not an object") << QByteArray("{\"org.veilmark.Veilmark\": \"vault-token\"}");
        QTest::newRow("secret not a string")
            << QByteArray("{\"org.veilmark.Veilmark\": {\"vault-token\": 7}}");
        QTest::newRow("secret not base64")
            << QByteArray("{\"org.veilmark.Veilmark\": {\"vault-token\": \"*?*\"}}");
        QTest::newRow("garbage") << QByteArray("\x00\xff\xfe garbage", 11);
    }

    void corruptDocumentHoldsNothingAndIsReplaced()
    {
        QFETCH(QByteArray, content);
        TestDataHome home;
        FileSecretStore store;
        QFile file(store.filePath());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        QCOMPARE(store.lookup(Service, Account), SecretStore::Presence::notFound);

        KeychainService(store).ensureVaultToken();
        QCOMPARE(secretOf(store, Service, Account).size(), 32);
        QCOMPARE(modeOf(store.filePath()), mode_t(0600));
        QVERIFY(QJsonDocument::fromJson(readFile(store.filePath())).isObject());
    }

    // Needs to run without root's permission bypass: see unprivileged.sh.
    void unreadableFileIsUnavailableAndKept()
    {
        TestDataHome home;
        FileSecretStore store;
        QCOMPARE(store.store(Service, QStringLiteral("other"), "keep me"), std::nullopt);
        const QByteArray content = readFile(store.filePath());
        QVERIFY(QFile::setPermissions(store.filePath(), QFileDevice::Permissions()));

        QCOMPARE(store.lookup(Service, Account), SecretStore::Presence::unavailable);
        QByteArray secret;
        QString error;
        QCOMPARE(store.read(Service, Account, &secret, &error), SecretStore::Presence::unavailable);
        QVERIFY(error.contains(store.filePath()));
        QVERIFY(store.store(Service, Account, "new").has_value());
        KeychainService(store).ensureVaultToken();

        QVERIFY(QFile::setPermissions(store.filePath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QCOMPARE(readFile(store.filePath()), content);
    }
};

QTEST_GUILESS_MAIN(TestFileSecretStore)
#include "TestFileSecretStore.moc"
