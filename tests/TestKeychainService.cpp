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
    void tokenIsCreatedOnlyWhenTheStoreSaysItIsMissing()
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

        // An unreachable store may well hold the token already.
        Rig unreachable;
        unreachable.store.unavailable = true;
        unreachable.keychain.ensureVaultToken();
        QCOMPARE(unreachable.store.stores, 0);
    }

    // The token is handed out against a fresh proof only, a refusal says why, and a read never creates the
    // token.
    void reads_data()
    {
        QTest::addColumn<bool>("withProof");
        QTest::addColumn<qint64>("secondsAfterProof");
        QTest::addColumn<QString>("store"); // "token", "empty", or the text of a failing read
        QTest::addColumn<QString>("refusal");
        const QString noProof = QStringLiteral("-25308 \u2014 No fresh proof of presence was given.");
        QTest::newRow("at once") << true << qint64{0} << "token" << QString();
        QTest::newRow("last fresh second") << true << qint64{30} << "token" << QString();
        QTest::newRow("stale") << true << qint64{31} << "token" << noProof;
        QTest::newRow("from the future") << true << qint64{-1} << "token" << noProof;
        QTest::newRow("no proof") << false << qint64{1} << "token" << noProof;
        QTest::newRow("missing") << true << qint64{1} << "empty"
                                 << QStringLiteral("-25300 \u2014 The vault token is not in the keyring.");
        QTest::newRow("read fails with text") << true << qint64{1} << "The keyring is locked."
                                              << QStringLiteral("-25291 \u2014 The keyring is locked.");
        QTest::newRow("read fails without text")
            << true << qint64{1} << "" << QStringLiteral("-25291 \u2014 No keyring is available.");
    }

    void reads()
    {
        QFETCH(bool, withProof);
        QFETCH(qint64, secondsAfterProof);
        QFETCH(QString, store);
        QFETCH(QString, refusal);
        Rig rig(secondsAfterProof);
        if (store != "empty")
            rig.keychain.ensureVaultToken();
        rig.store.failReads = store != "empty" && store != "token";
        rig.store.readError = store;

        const auto result = rig.keychain.readVaultToken(withProof ? rig.proof : AuthenticationProof());
        if (refusal.isEmpty())
            QCOMPARE(std::get<QByteArray>(result), rig.store.items.value(TokenKey));
        else
            QCOMPARE(std::get<KeychainError>(result).description(), "Keyring error " + refusal);
        // Without a fresh proof the store is not even asked.
        QCOMPARE(rig.store.reads, refusal.startsWith("-25308") ? 0 : 1);
        QCOMPARE(rig.store.stores, store == "empty" ? 0 : 1);
    }
};

QTEST_GUILESS_MAIN(TestKeychainService)
#include "TestKeychainService.moc"
