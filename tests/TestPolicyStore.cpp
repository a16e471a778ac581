#include "TestDataHome.h"
#include "io/DocumentFile.h"
#include "store/PolicySnapshot.h"
#include "store/PolicyStore.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

namespace {
ProtectedApp app(const char* bundleID, bool enabled = true, const char* name = "App")
{
    return {bundleID, name, QStringLiteral("/usr/share/applications/%1.desktop").arg(bundleID), enabled};
}

ProtectedFolder folder(const char* path)
{
    return {QUuid::createUuid(), path, QString(path).section('/', -1)};
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
} // namespace

class TestPolicyStore : public QObject
{
    Q_OBJECT

private slots:
    void writesOnlyOnChangeNeverWhileLoading()
    {
        TestDataHome home;
        const QString file = home.file("policies.json");
        {
            PolicyStore store;
            QVERIFY(!QFile::exists(file));
            struct stat st = {};
            QVERIFY(::stat(QFile::encodeName(home.dataDir()).constData(), &st) == 0);
            QCOMPARE(st.st_mode & 07777, 0700u);
            QVERIFY(store.addApp(app("org.gnome.Calculator")));
        }
        // Pretty-printed, keys ascending at every level.
        const QByteArray text = readAll(file);
        auto before = [&](const char* a, const char* b) { return text.indexOf(a) < text.indexOf(b); };
        QVERIFY(text.contains("\n    \"apps\": [\n") && before("\"folders\"", "\"settings\""));
        QVERIFY(before("\"appPath\"", "\"bundleID\"") &&
                before("\"launchAtLogin\"", "\"relockAppsOnFocusLoss\""));

        // addApp never creates duplicates, but a stored file may hold them. A write killed half-way
        // leaves its temporary file behind: loading removes it, and writes nothing itself.
        PolicySnapshot snapshot;
        snapshot.apps = {app("x", false, "first"), app("x", true, "second"), app("x", true, "third"),
                         app("y", false)};
        QVERIFY(writeFile(file, snapshot.encode()));
        QVERIFY(writeFile(file + ".Ab3xZ9", "{\"apps\":"));
        const FileStamp stamp = FileStamp::of(file);
        PolicyStore store;
        QCOMPARE(store.apps(), snapshot.apps);
        QCOMPARE(FileStamp::of(file), stamp);
        QCOMPARE(QDir(home.dataDir()).entryList(QDir::Files | QDir::Hidden), QStringList{"policies.json"});
        QCOMPARE(store.enabledApp("x")->name, QString("second"));
        QVERIFY(!store.enabledApp("y") && !store.enabledApp("X"));

        // Each assignment: one notification, one save.
        QSignalSpy changed(&store, &PolicyStore::settingsChanged);
        VeilmarkSettings s = store.settings();
        s.defaultFolderUnlockMinutes = 30;
        store.setSettings(s);
        QCOMPARE(changed.count(), 1);
        QVERIFY(FileStamp::of(file) != stamp);
        QCOMPARE(PolicySnapshot::decode(readAll(file))->settings, s);
        store.removeApp(app("x"));
        QCOMPARE(PolicySnapshot::decode(readAll(file))->apps, QList<ProtectedApp>{app("y", false)});
    }

    void editsWriteOnlyWhatMayChangeAndSurviveFailedWrites()
    {
        TestDataHome home;
        const QString file = home.file("policies.json");
        PolicyStore store;
        QSignalSpy apps(&store, &PolicyStore::appsChanged);
        QSignalSpy folders(&store, &PolicyStore::foldersChanged);
        const ProtectedFolder work = folder("/home/u/Work");
        QVERIFY(store.addApp(app("a")));
        store.addFolder(work);
        const FileStamp stamp = FileStamp::of(file);

        // Duplicates (same bundle identifier, same path) and unknown updates neither notify nor write.
        QVERIFY(!store.addApp(app("a", false, "Other name")));
        store.addFolder(folder("/home/u/Work"));
        store.updateApp(app("unknown", false));
        store.updateFolder(folder("/home/u/Elsewhere"));
        QCOMPARE(store.apps(), QList<ProtectedApp>{app("a")});
        QCOMPARE(store.folders(), QList<ProtectedFolder>{work});
        QCOMPARE(apps.count() + folders.count(), 2);
        QCOMPARE(FileStamp::of(file), stamp);

        // Removing an unknown folder is still an assignment: notified and rewritten, same content.
        const QByteArray content = readAll(file);
        store.removeFolder(QUuid::createUuid());
        QCOMPARE(folders.count(), 2);
        QVERIFY(FileStamp::of(file) != stamp);
        QCOMPARE(readAll(file), content);

        // A failed write leaves memory authoritative; the next successful save catches the file up.
        QVERIFY(QFile::setPermissions(home.dataDir(), QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY2(!QFile(home.dataDir() + "/probe").open(QIODevice::WriteOnly),
                 "permission checks are bypassed: run through tests/unprivileged.sh");
        store.addApp(app("b"));
        QCOMPARE(store.apps().size(), 2);
        QCOMPARE(readAll(file), content);
        QVERIFY(
            QFile::setPermissions(home.dataDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QList<ProtectedFolder> changed = store.folders();
        changed[0].isLocked = false;
        store.setFolders(changed);
        QCOMPARE(folders.count(), 3);
        const auto snapshot = PolicySnapshot::decode(readAll(file));
        QCOMPARE(snapshot->apps, store.apps());
        QCOMPARE(snapshot->folders, changed);
    }

    void badDocumentsAreIgnoredUntilTheNextChange_data()
    {
        QTest::addColumn<QByteArray>("document");
        PolicySnapshot good;
        good.apps = {app("a")};
        good.folders = {folder("/home/u/Work")};
        const QByteArray valid = good.encode();
        QTest::newRow("lacks settings") << QByteArray(valid).replace("\"settings\"", "\"settingz\"");
        QTest::newRow("unparsable uuid") << QByteArray(valid).replace("\"id\": \"", "\"id\": \"Z");
        QTest::newRow("truncated") << valid.left(valid.size() / 2);
        QTest::newRow("deep nesting") << QByteArray(100000, '[');
        QTest::newRow("null members") << QByteArray(R"({"apps":null,"folders":null,"settings":null})");
        // Valid, but too large to be ours: padded with blanks past the size limit.
        QTest::newRow("larger than the limit")
            << valid + QByteArray(DocumentFile::MaxSize + 1 - valid.size(), ' ');
    }

    void badDocumentsAreIgnoredUntilTheNextChange()
    {
        QFETCH(QByteArray, document);
        TestDataHome home;
        QVERIFY(QDir().mkpath(home.dataDir()));
        QVERIFY(writeFile(home.file("policies.json"), document));
        PolicyStore store;
        QVERIFY(store.apps().isEmpty() && store.folders().isEmpty());
        QCOMPARE(store.settings(), VeilmarkSettings());
        QVERIFY(readAll(home.file("policies.json")) == document);

        store.addApp(app("b"));
        QCOMPARE(PolicySnapshot::decode(readAll(home.file("policies.json")))->apps, store.apps());
    }
};

QTEST_GUILESS_MAIN(TestPolicyStore)
#include "TestPolicyStore.moc"
