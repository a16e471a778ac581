#include "TestDataHome.h"
#include "auth/KeychainService.h"
#include "fakes/FakeAuthenticator.h"
#include "platform/linux/FileSecretStore.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {
const QString Service = QStringLiteral("org.veilmark.Veilmark");
const QString Account = QStringLiteral("vault-token");

// Every byte value, NUL and high bytes included.
QByteArray allBytes()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(char(i));
    return bytes;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

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

QByteArray tokenOf(KeychainService& keychain)
{
    const auto result = keychain.readVaultToken(FakeAuthenticator::freshProof());
    return std::holds_alternative<QByteArray>(result) ? std::get<QByteArray>(result) : QByteArray();
}
} // namespace

class TestFileSecretStore : public QObject
{
    Q_OBJECT

private slots:
    void missingFileMeansNotFoundAndCreatesNothing()
    {
        TestDataHome home;
        FileSecretStore store;
        QCOMPARE(store.filePath(), home.file("keyring.json"));
        QCOMPARE(store.lookup(Service, Account), SecretStore::Presence::notFound);
        QByteArray secret("untouched");
        QString error;
        QCOMPARE(store.read(Service, Account, &secret, &error), SecretStore::Presence::notFound);
        QCOMPARE(secret, QByteArray("untouched"));
        QVERIFY(!QFile::exists(home.file("keyring.json")));
    }

    void roundTripIsPrivateAndAtomic()
    {
        TestDataHome home;
        FileSecretStore store;
        QCOMPARE(store.store(Service, Account, allBytes()), std::nullopt);
        QCOMPARE(modeOf(home.dataDir()), mode_t(0700));
        QCOMPARE(modeOf(home.file("keyring.json")), mode_t(0600));
        QCOMPARE(store.lookup(Service, Account), SecretStore::Presence::found);
        QByteArray secret;
        QString error;
        QCOMPARE(FileSecretStore().read(Service, Account, &secret, &error), SecretStore::Presence::found);
        QCOMPARE(secret, allBytes());

        // A replacement is a new file, never the old one rewritten in place.
        const FileStamp before = FileStamp::of(home.file("keyring.json"));
        QCOMPARE(store.store(Service, Account, QByteArray("second")), std::nullopt);
        QVERIFY(FileStamp::of(home.file("keyring.json")).inode != before.inode);
        QCOMPARE(modeOf(home.file("keyring.json")), mode_t(0600));
        QCOMPARE(store.read(Service, Account, &secret, &error), SecretStore::Presence::found);
        QCOMPARE(secret, QByteArray("second"));
    }

    void widenedModeIsNarrowedByTheNextStore()
    {
        TestDataHome home;
        FileSecretStore store;
        QCOMPARE(store.store(Service, QStringLiteral("a"), "1"), std::nullopt);
        QVERIFY(QFile::setPermissions(home.file("keyring.json"), QFileDevice::ReadOwner |
                                                                     QFileDevice::WriteOwner |
                                                                     QFileDevice::ReadOther));
        QCOMPARE(store.store(Service, QStringLiteral("b"), "2"), std::nullopt);
        QCOMPARE(modeOf(home.file("keyring.json")), mode_t(0600));
    }

    void itemsAreKeyedByServiceAndAccount()
    {
        TestDataHome home;
        FileSecretStore store;
        QCOMPARE(store.store(Service, Account, "token"), std::nullopt);
        QCOMPARE(store.store(Service, QStringLiteral("other"), "other account"), std::nullopt);
        QCOMPARE(store.store(QStringLiteral("org.example.Other"), Account, "other service"), std::nullopt);
        QByteArray secret;
        QString error;
        QCOMPARE(store.read(Service, Account, &secret, &error), SecretStore::Presence::found);
        QCOMPARE(secret, QByteArray("token"));
        QCOMPARE(store.read(Service, QStringLiteral("other"), &secret, &error), SecretStore::Presence::found);
        QCOMPARE(secret, QByteArray("other account"));
        QCOMPARE(store.read(QStringLiteral("org.example.Other"), Account, &secret, &error),
                 SecretStore::Presence::found);
        QCOMPARE(secret, QByteArray("other service"));
        QCOMPARE(store.lookup(QStringLiteral("org.example.Other"), QStringLiteral("other")),
                 SecretStore::Presence::notFound);
    }

    void emptySecretIsStillAnItem()
    {
        TestDataHome home;
        FileSecretStore store;
        QCOMPARE(store.store(Service, Account, QByteArray()), std::nullopt);
        QCOMPARE(store.lookup(Service, Account), SecretStore::Presence::found);
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
        writeFile(store.filePath(), content);
        QCOMPARE(store.lookup(Service, Account), SecretStore::Presence::notFound);

        KeychainService keychain(store);
        keychain.ensureVaultToken();
        QCOMPARE(store.lookup(Service, Account), SecretStore::Presence::found);
        QCOMPARE(tokenOf(keychain).size(), 32);
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

    void storeClearsLeftoversOfAKilledWrite()
    {
        TestDataHome home;
        FileSecretStore store;
        writeFile(store.filePath() + QLatin1String(".a1B2c3"), "half a token");
        QCOMPARE(store.store(Service, Account, "token"), std::nullopt);
        QVERIFY(!QFile::exists(home.file("keyring.json.a1B2c3")));
    }

    void vaultTokenSurvivesARestart()
    {
        TestDataHome home;
        QByteArray first;
        {
            FileSecretStore store;
            KeychainService keychain(store);
            keychain.ensureVaultToken();
            first = tokenOf(keychain);
        }
        QCOMPARE(first.size(), 32);
        const FileStamp stamp = FileStamp::of(home.file("keyring.json"));
        FileSecretStore store;
        KeychainService keychain(store);
        keychain.ensureVaultToken();
        QCOMPARE(FileStamp::of(home.file("keyring.json")), stamp);
        QCOMPARE(tokenOf(keychain), first);
    }
};

QTEST_GUILESS_MAIN(TestFileSecretStore)
#include "TestFileSecretStore.moc"
