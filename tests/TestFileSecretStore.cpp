#include "TestDataHome.h"
#include "platform/linux/FileSecretStore.h"

#include <QTest>

namespace {
const QString Service = QStringLiteral("org.veilmark.Veilmark");
const QString Account = QStringLiteral("vault-token");
const QString OtherService = QStringLiteral("org.example.Other");

mode_t modeOf(const QString& path)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// The secret under `service` and `account`, or "(absent)".
QByteArray secretOf(FileSecretStore& store, const QString& service, const QString& account)
{
    QByteArray secret;
    return store.read(service, account, &secret, nullptr) == SecretStore::Presence::found ? secret
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
        QCOMPARE(restarted.lookup(Service, Account), SecretStore::Presence::found);
        QCOMPARE(secretOf(restarted, Service, Account), allBytes);

        // A replacement is a new file, never the old one rewritten in place, private again even when the
        // mode was widened, and clears what a killed write left behind.
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        QFile leftover(home.file(".veilmark-tmp-keyring.json.a1B2c3"));
        QVERIFY(leftover.open(QIODevice::WriteOnly));
        leftover.close();
        const FileStamp before = FileStamp::of(path);
        QCOMPARE(store.store(Service, QStringLiteral("other"), QByteArray()), std::nullopt);
        QVERIFY(FileStamp::of(path).inode != before.inode);
        QCOMPARE(modeOf(path), mode_t(0600));
        QVERIFY(!leftover.exists());

        // Items are keyed by service and account; an empty secret is still an item.
        QCOMPARE(store.store(OtherService, Account, "other service"), std::nullopt);
        QCOMPARE(secretOf(store, Service, Account), allBytes);
        QCOMPARE(secretOf(store, Service, QStringLiteral("other")), QByteArray());
        QCOMPARE(secretOf(store, OtherService, Account), "other service");
        QCOMPARE(store.lookup(OtherService, QStringLiteral("other")), SecretStore::Presence::notFound);
    }

    void corruptDocumentHoldsNothingAndIsReplaced_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not an object") << QByteArray("[\"org.veilmark.Veilmark\"]");
        QTest::newRow("service not an object") << QByteArray("{\"org.veilmark.Veilmark\": \"c2VjcmV0\"}");
        QTest::newRow("secret not a string")
            << QByteArray("{\"org.veilmark.Veilmark\": {\"vault-token\": 7}}");
        QTest::newRow("secret not base64")
            << QByteArray("{\"org.veilmark.Veilmark\": {\"vault-token\": \"*?*\"}}");
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

        QCOMPARE(store.store(Service, Account, "new"), std::nullopt);
        QCOMPARE(secretOf(store, Service, Account), "new");
    }

    // Needs to run without root's permission bypass: see unprivileged.sh.
    void unreadableFileIsUnavailableAndKept()
    {
        TestDataHome home;
        FileSecretStore store;
        QCOMPARE(store.store(Service, QStringLiteral("other"), "keep me"), std::nullopt);
        const FileStamp stamp = FileStamp::of(store.filePath());
        QVERIFY(QFile::setPermissions(store.filePath(), QFileDevice::Permissions()));

        QCOMPARE(store.lookup(Service, Account), SecretStore::Presence::unavailable);
        QByteArray secret;
        QString error;
        QCOMPARE(store.read(Service, Account, &secret, &error), SecretStore::Presence::unavailable);
        QVERIFY(error.contains(store.filePath()));
        QVERIFY(store.store(Service, Account, "new").has_value());

        QCOMPARE(FileStamp::of(store.filePath()), stamp);
    }
};

QTEST_GUILESS_MAIN(TestFileSecretStore)
#include "TestFileSecretStore.moc"
