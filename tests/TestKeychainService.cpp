#include "auth/KeychainService.h"
#include "fakes/FakeAuthenticator.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeSecretStore.h"

#include <QSet>
#include <QTest>

namespace {
const FakeSecretStore::Key TokenKey{QStringLiteral("org.veilmark.Veilmark"), QStringLiteral("vault-token")};

// A store holding `token`, and a clock `secondsAfter` the proof was issued.
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
    void firstStartCreatesTheToken()
    {
        Rig rig;
        rig.keychain.ensureVaultToken();
        QCOMPARE(rig.store.items.keys(), QList<FakeSecretStore::Key>{TokenKey});
        QCOMPARE(rig.store.items.value(TokenKey).size(), 32);
        QCOMPARE(rig.store.stores, 1);
    }

    void laterStartsFindTheTokenAndWriteNothing()
    {
        Rig rig;
        rig.keychain.ensureVaultToken();
        const QByteArray token = rig.store.items.value(TokenKey);
        rig.keychain.ensureVaultToken();
        KeychainService nextStart(rig.store, rig.clock);
        nextStart.ensureVaultToken();
        QCOMPARE(rig.store.lookups, 3);
        QCOMPARE(rig.store.stores, 1);
        QCOMPARE(rig.store.items.value(TokenKey), token);
    }

    void deletedTokenIsRecreatedWithNewBytes()
    {
        Rig rig;
        rig.keychain.ensureVaultToken();
        const QByteArray first = rig.store.items.take(TokenKey);
        rig.keychain.ensureVaultToken();
        QCOMPARE(rig.store.stores, 2);
        QCOMPARE(rig.store.items.value(TokenKey).size(), 32);
        QVERIFY(rig.store.items.value(TokenKey) != first);
    }

    void tokensAreRandom()
    {
        Rig a;
        Rig b;
        a.keychain.ensureVaultToken();
        b.keychain.ensureVaultToken();
        const QByteArray token = a.store.items.value(TokenKey);
        QVERIFY(token != b.store.items.value(TokenKey));
        // 32 random bytes with this few distinct values would be a one in 10^40 event; a constant or
        // half-filled buffer has far fewer.
        QSet<char> distinct(token.begin(), token.end());
        QVERIFY2(distinct.size() > 12, token.toHex().constData());
    }

    void unavailableStoreGetsNoToken()
    {
        Rig rig;
        rig.store.unavailable = true;
        rig.keychain.ensureVaultToken();
        QCOMPARE(rig.store.lookups, 1);
        QCOMPARE(rig.store.stores, 0);
    }

    void storeFailureIsSilentAndRetriedNextStart()
    {
        Rig rig;
        rig.store.storeError = QStringLiteral("disk full");
        rig.keychain.ensureVaultToken();
        QCOMPARE(rig.store.stores, 1);
        QVERIFY(rig.store.items.isEmpty());
        rig.store.storeError.clear();
        rig.keychain.ensureVaultToken();
        QCOMPARE(rig.store.items.value(TokenKey).size(), 32);
    }

    void readNeedsAFreshProof_data()
    {
        QTest::addColumn<bool>("withProof");
        QTest::addColumn<qint64>("secondsAfterProof");
        QTest::newRow("no proof") << false << qint64{1};
        QTest::newRow("stale proof") << true << qint64{31};
        QTest::newRow("long stale proof") << true << qint64{86400};
        QTest::newRow("proof from the future") << true << qint64{-1};
    }

    void readNeedsAFreshProof()
    {
        QFETCH(bool, withProof);
        QFETCH(qint64, secondsAfterProof);
        Rig rig(secondsAfterProof);
        rig.keychain.ensureVaultToken();
        const auto result = rig.keychain.readVaultToken(withProof ? rig.proof : AuthenticationProof());
        const KeychainError* error = std::get_if<KeychainError>(&result);
        QVERIFY(error);
        QCOMPARE(error->kind(), KeychainError::Kind::unhandled);
        QCOMPARE(error->status(), -25308);
        QCOMPARE(error->description(),
                 QStringLiteral("Keyring error -25308 \u2014 No fresh proof of presence was given."));
        QCOMPARE(rig.store.reads, 0);
    }

    void freshProofReadsTheToken_data()
    {
        QTest::addColumn<qint64>("secondsAfterProof");
        QTest::newRow("at once") << qint64{0};
        QTest::newRow("last fresh second") << qint64{30};
    }

    void freshProofReadsTheToken()
    {
        QFETCH(qint64, secondsAfterProof);
        Rig rig(secondsAfterProof);
        rig.keychain.ensureVaultToken();
        const auto result = rig.keychain.readVaultToken(rig.proof);
        QVERIFY(std::holds_alternative<QByteArray>(result));
        QCOMPARE(std::get<QByteArray>(result), rig.store.items.value(TokenKey));
        QCOMPARE(rig.store.stores, 1);
    }

    void withoutAClockTheSystemTimeJudges()
    {
        FakeSecretStore store;
        KeychainService keychain(store);
        keychain.ensureVaultToken();
        const auto fresh = keychain.readVaultToken(FakeAuthenticator::freshProof());
        QCOMPARE(std::get<QByteArray>(fresh), store.items.value(TokenKey));
        QVERIFY(std::holds_alternative<KeychainError>(keychain.readVaultToken(AuthenticationProof())));
    }

    void missingTokenIsNotCreatedByARead()
    {
        Rig rig;
        const auto result = rig.keychain.readVaultToken(rig.proof);
        const KeychainError* error = std::get_if<KeychainError>(&result);
        QVERIFY(error);
        QCOMPARE(error->status(), -25300);
        QCOMPARE(error->description(),
                 QStringLiteral("Keyring error -25300 \u2014 The vault token is not in the keyring."));
        QCOMPARE(rig.store.stores, 0);
        QVERIFY(rig.store.items.isEmpty());
    }

    void storeFailureOnReadCarriesItsText_data()
    {
        QTest::addColumn<QString>("storeText");
        QTest::addColumn<QString>("description");
        QTest::newRow("with text") << QStringLiteral("The keyring is locked.")
                                   << QStringLiteral("Keyring error -25291 \u2014 The keyring is locked.");
        QTest::newRow("without text")
            << QString() << QStringLiteral("Keyring error -25291 \u2014 No keyring is available.");
    }

    void storeFailureOnReadCarriesItsText()
    {
        QFETCH(QString, storeText);
        QFETCH(QString, description);
        Rig rig;
        rig.keychain.ensureVaultToken();
        rig.store.failReads = true;
        rig.store.readError = storeText;
        const auto result = rig.keychain.readVaultToken(rig.proof);
        const KeychainError* error = std::get_if<KeychainError>(&result);
        QVERIFY(error);
        QCOMPARE(error->status(), -25291);
        QCOMPARE(error->description(), description);
    }

    void errorDescriptions()
    {
        QCOMPARE(KeychainError::unhandled(-25293, QStringLiteral("Bad password.")).description(),
                 QStringLiteral("Keyring error -25293 \u2014 Bad password."));
        // No message, no dash.
        QCOMPARE(KeychainError::unhandled(0).description(), QStringLiteral("Keyring error 0"));
        QCOMPARE(KeychainError::unhandled(7, QString()).description(), QStringLiteral("Keyring error 7"));
        QCOMPARE(KeychainError::accessControlCreationFailed().description(),
                 QStringLiteral("Could not create keyring access control."));
        QCOMPARE(KeychainError::accessControlCreationFailed().kind(),
                 KeychainError::Kind::accessControlCreationFailed);
        QVERIFY(KeychainError::unhandled(1) != KeychainError::unhandled(2));
        QVERIFY(KeychainError::unhandled(1, QStringLiteral("a")) ==
                KeychainError::unhandled(1, QStringLiteral("a")));
    }
};

QTEST_GUILESS_MAIN(TestKeychainService)
#include "TestKeychainService.moc"
