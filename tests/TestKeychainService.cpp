#include "auth/KeychainService.h"
#include "fakes/FakeAuthenticator.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeSecretStore.h"

#include <QSet>
#include <QTest>

namespace {
const FakeSecretStore::Key TokenKey{QStringLiteral("org.veilmark.Veilmark"), QStringLiteral("vault-token")};

// A store and a clock `secondsAfter` the proof was issued.
struct Rig
{
    FakeSecretStore store;
    FakeClock clock;
    KeychainService keychain{store, clock};
    AuthenticationProof proof = FakeAuthenticator::freshProof();

    explicit Rig(qint64 secondsAfter = 1) { clock.setNow(proof.issuedAt().addSecs(secondsAfter)); }
};
} // namespace

class TestKeychainService : public QObject
{
    Q_OBJECT

private slots:
    void tokenIsCreatedOnceAndRenewedAfterDeletion()
    {
        Rig rig;
        rig.keychain.ensureVaultToken();
        const QByteArray token = rig.store.items.value(TokenKey);
        QCOMPARE(rig.store.items.keys(), QList{TokenKey});
        QCOMPARE(token.size(), 32);
        // 32 random bytes with this few distinct values would be a one in 10^40 event; a constant or
        // half-filled buffer has far fewer.
        QVERIFY2(QSet<char>(token.begin(), token.end()).size() > 12, token.toHex().constData());

        // Later starts find it and write nothing; without a clock the system time judges the proof.
        rig.keychain.ensureVaultToken();
        KeychainService nextStart(rig.store);
        nextStart.ensureVaultToken();
        QCOMPARE(rig.store.stores, 1);
        QCOMPARE(std::get<QByteArray>(nextStart.readVaultToken(FakeAuthenticator::freshProof())), token);

        rig.store.items.remove(TokenKey);
        rig.keychain.ensureVaultToken();
        QCOMPARE(rig.store.items.value(TokenKey).size(), 32);
        QVERIFY(rig.store.items.value(TokenKey) != token);
    }

    void troubledStoreGetsNoBlindWrite()
    {
        Rig rig;
        // An unreachable store may well hold the token already.
        rig.store.unavailable = true;
        rig.keychain.ensureVaultToken();
        QCOMPARE(rig.store.stores, 0);
        // A failed write is silent and retried at the next start.
        rig.store.unavailable = false;
        rig.store.storeError = QStringLiteral("disk full");
        rig.keychain.ensureVaultToken();
        QVERIFY(rig.store.items.isEmpty());
        rig.store.storeError.clear();
        rig.keychain.ensureVaultToken();
        QCOMPARE(rig.store.items.value(TokenKey).size(), 32);
    }

    void readNeedsAFreshProof_data()
    {
        QTest::addColumn<bool>("withProof");
        QTest::addColumn<qint64>("secondsAfterProof");
        QTest::addColumn<bool>("granted");
        QTest::newRow("at once") << true << qint64{0} << true;
        QTest::newRow("last fresh second") << true << qint64{30} << true;
        QTest::newRow("stale") << true << qint64{31} << false;
        QTest::newRow("from the future") << true << qint64{-1} << false;
        QTest::newRow("no proof") << false << qint64{1} << false;
    }

    void readNeedsAFreshProof()
    {
        QFETCH(bool, withProof);
        QFETCH(qint64, secondsAfterProof);
        QFETCH(bool, granted);
        Rig rig(secondsAfterProof);
        rig.keychain.ensureVaultToken();
        const auto result = rig.keychain.readVaultToken(withProof ? rig.proof : AuthenticationProof());
        if (granted) {
            QCOMPARE(std::get<QByteArray>(result), rig.store.items.value(TokenKey));
        } else {
            QCOMPARE(std::get<KeychainError>(result).description(),
                     QStringLiteral("Keyring error -25308 \u2014 No fresh proof of presence was given."));
            // The store is not even asked.
            QCOMPARE(rig.store.reads, 0);
        }
    }

    void readFailuresCarryStatusAndText_data()
    {
        QTest::addColumn<bool>("hasToken");
        QTest::addColumn<QString>("storeText");
        QTest::addColumn<QString>("description");
        QTest::newRow("missing") << false << QString()
                                 << QStringLiteral(
                                        "Keyring error -25300 \u2014 The vault token is not in the keyring.");
        QTest::newRow("store fails with text")
            << true << QStringLiteral("The keyring is locked.")
            << QStringLiteral("Keyring error -25291 \u2014 The keyring is locked.");
        QTest::newRow("store fails without text")
            << true << QString() << QStringLiteral("Keyring error -25291 \u2014 No keyring is available.");
    }

    void readFailuresCarryStatusAndText()
    {
        QFETCH(bool, hasToken);
        QFETCH(QString, storeText);
        QFETCH(QString, description);
        Rig rig;
        if (hasToken) {
            rig.keychain.ensureVaultToken();
            rig.store.failReads = true;
            rig.store.readError = storeText;
        }
        const auto result = rig.keychain.readVaultToken(rig.proof);
        QCOMPARE(std::get<KeychainError>(result).description(), description);
        // A read never creates the token.
        QCOMPARE(rig.store.stores, hasToken ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestKeychainService)
#include "TestKeychainService.moc"
