#include "TestDataHome.h"
#include "store/PolicySnapshot.h"
#include "store/PolicyStore.h"

#include <QSignalSpy>
#include <QTest>

namespace {
ProtectedApp app(const char* bundleID, bool enabled = true, const char* name = "App")
{
    return {bundleID, name, QStringLiteral("/usr/share/applications/%1.desktop").arg(bundleID), enabled,
            true};
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

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}
} // namespace

class TestPolicyStore : public QObject
{
    Q_OBJECT

private slots:
    void firstStartWritesNothingUntilAChange()
    {
        TestDataHome home;
        PolicyStore store;
        QVERIFY(store.apps().isEmpty() && store.folders().isEmpty());
        QCOMPARE(store.settings(), VeilmarkSettings());
        QCOMPARE(store.filePath(), home.file("policies.json"));
        QVERIFY(!QFile::exists(home.file("policies.json")));
        struct stat st
        {
        };
        QCOMPARE(::stat(QFile::encodeName(home.dataDir()).constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, 0700u);

        QVERIFY(store.addApp(app("org.gnome.Calculator")));
        const QByteArray text = readAll(home.file("policies.json"));
        // Pretty-printed, keys ascending at every level.
        QVERIFY(text.contains("\n    \"apps\": [\n"));
        auto before = [&](const char* a, const char* b) { return text.indexOf(a) < text.indexOf(b); };
        QVERIFY(before("\"apps\"", "\"folders\"") && before("\"folders\"", "\"settings\""));
        QVERIFY(before("\"appPath\"", "\"bundleID\"") && before("\"name\"", "\"relockOnFocusLoss\""));
        QVERIFY(before("\"appearance\"", "\"defaultFolderUnlockMinutes\""));
        QVERIFY(before("\"launchAtLogin\"", "\"relockAppsOnFocusLoss\""));
        const auto snapshot = PolicySnapshot::decode(text);
        QVERIFY(snapshot);
        QCOMPARE(snapshot->apps, store.apps());
        QCOMPARE(snapshot->settings, VeilmarkSettings());
    }

    void loadingNeverWrites()
    {
        TestDataHome home;
        {
            PolicyStore store;
            store.addFolder(folder("/home/u/Work"));
            store.addApp(app("firefox-esr"));
        }
        const FileStamp stamp = FileStamp::of(home.file("policies.json"));
        PolicyStore store;
        QCOMPARE(store.folders().size(), 1);
        QCOMPARE(store.apps().size(), 1);
        QVERIFY(!store.isLoading());
        QCOMPARE(FileStamp::of(home.file("policies.json")), stamp);

        VeilmarkSettings s = store.settings();
        s.defaultFolderUnlockMinutes = 30;
        store.setSettings(s);
        QVERIFY(FileStamp::of(home.file("policies.json")) != stamp);
    }

    void appOperations()
    {
        TestDataHome home;
        PolicyStore store;
        QSignalSpy changed(&store, &PolicyStore::appsChanged);
        QVERIFY(store.addApp(app("a")));
        QCOMPARE(changed.count(), 1);
        FileStamp stamp = FileStamp::of(home.file("policies.json"));

        // A duplicate bundle identifier is refused whatever its other fields.
        QVERIFY(!store.addApp(app("a", false, "Other name")));
        QCOMPARE(store.apps(), QList<ProtectedApp>{app("a")});
        QCOMPARE(changed.count(), 1);
        QCOMPARE(FileStamp::of(home.file("policies.json")), stamp);

        store.updateApp(app("unknown", false));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(FileStamp::of(home.file("policies.json")), stamp);

        store.updateApp(app("a", false));
        QCOMPARE(changed.count(), 2);
        QVERIFY(!store.enabledApp("a"));
        stamp = FileStamp::of(home.file("policies.json"));

        store.removeApp(app("nothing-like-it"));
        QCOMPARE(changed.count(), 3);
        QVERIFY(FileStamp::of(home.file("policies.json")) != stamp);
        QCOMPARE(store.apps().size(), 1);
    }

    void enabledAppSkipsDisabledDuplicates()
    {
        TestDataHome home;
        // addApp never creates duplicates; a stored file may hold them.
        PolicySnapshot snapshot;
        snapshot.apps = {app("x", false, "first"), app("x", true, "second"), app("x", true, "third"),
                         app("y", false)};
        {
            PolicyStore touch; // creates the directory
        }
        writeFile(home.file("policies.json"), snapshot.encode());
        PolicyStore store;
        QCOMPARE(store.enabledApp("x")->name, QString("second"));
        QVERIFY(!store.enabledApp("y"));
        QVERIFY(!store.enabledApp("X"));
        store.removeApp(app("x"));
        QCOMPARE(store.apps(), QList<ProtectedApp>{app("y", false)});
    }

    void folderOperations()
    {
        TestDataHome home;
        PolicyStore store;
        QSignalSpy changed(&store, &PolicyStore::foldersChanged);
        const ProtectedFolder work = folder("/home/u/Work");
        store.addFolder(work);
        store.addFolder(folder("/home/u/Work"));
        QCOMPARE(store.folders().size(), 1);
        // Exact string comparison: these are different paths to the store.
        store.addFolder(folder("/home/u/Work/"));
        store.addFolder(folder("/home/u/work"));
        QCOMPARE(store.folders().size(), 3);
        QCOMPARE(changed.count(), 3);

        FileStamp stamp = FileStamp::of(home.file("policies.json"));
        store.updateFolder(folder("/home/u/Elsewhere"));
        QCOMPARE(FileStamp::of(home.file("policies.json")), stamp);
        QCOMPARE(changed.count(), 3);

        const QByteArray content = readAll(home.file("policies.json"));
        store.removeFolder(QUuid::createUuid());
        QVERIFY(FileStamp::of(home.file("policies.json")) != stamp);
        QCOMPARE(readAll(home.file("policies.json")), content);
        QCOMPARE(changed.count(), 4);

        // One changed field of one folder: one notification, whole document rewritten.
        QList<ProtectedFolder> folders = store.folders();
        folders[0].isLocked = false;
        store.setFolders(folders);
        QCOMPARE(changed.count(), 5);
        QCOMPARE(PolicySnapshot::decode(readAll(home.file("policies.json")))->folders, folders);

        store.removeFolder(work.id);
        QCOMPARE(store.folders().size(), 2);
    }

    void badDocumentsAreIgnoredUntilTheNextChange_data()
    {
        QTest::addColumn<QByteArray>("document");
        PolicySnapshot good;
        good.apps = {app("a")};
        good.folders = {folder("/home/u/Work")};
        const QByteArray valid = good.encode();
        QByteArray noSettings = valid;
        noSettings.replace("\"settings\"", "\"settingz\"");
        QByteArray badUuid = valid;
        badUuid.replace("\"id\": \"", "\"id\": \"Z");
        QByteArray wrongType = valid;
        wrongType.replace("\"enabled\": true", "\"enabled\": \"yes\"");
        QTest::newRow("lacks settings") << noSettings;
        QTest::newRow("truncated") << valid.left(valid.size() / 2);
        QTest::newRow("unparsable uuid") << badUuid;
        QTest::newRow("wrong type") << wrongType;
        QTest::newRow("array at top") << QByteArray("[]");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe{\"apps\":", 10);
        QTest::newRow("deep nesting") << QByteArray(100000, '[');
        QTest::newRow("null members") << QByteArray(R"({"apps":null,"folders":null,"settings":null})");
    }

    void badDocumentsAreIgnoredUntilTheNextChange()
    {
        QFETCH(QByteArray, document);
        TestDataHome home;
        {
            PolicyStore touch;
        }
        writeFile(home.file("policies.json"), document);
        PolicyStore store;
        QVERIFY(store.apps().isEmpty() && store.folders().isEmpty());
        QCOMPARE(store.settings(), VeilmarkSettings());
        QCOMPARE(readAll(home.file("policies.json")), document);

        store.addApp(app("b"));
        QCOMPARE(PolicySnapshot::decode(readAll(home.file("policies.json")))->apps, store.apps());
    }

    void hugeDocumentIsNotLoaded()
    {
        TestDataHome home;
        {
            PolicyStore touch;
        }
        QFile f(home.file("policies.json"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(100 * 1024 * 1024)); // sparse: costs no disk
        f.close();
        PolicyStore store;
        QVERIFY(store.apps().isEmpty());
    }

    void failedWriteKeepsMemoryAuthoritative()
    {
        TestDataHome home;
        PolicyStore store;
        store.addApp(app("a"));
        const QByteArray before = readAll(home.file("policies.json"));
        QVERIFY(QFile::setPermissions(home.dataDir(), QFile::ReadOwner | QFile::ExeOwner));
        if (QFile(home.dataDir() + "/probe").open(QIODevice::WriteOnly)) {
            QFile::setPermissions(home.dataDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QSKIP("permission checks are bypassed (running with CAP_DAC_OVERRIDE)");
        }
        store.addApp(app("b"));
        store.addFolder(folder("/home/u/Work"));
        QCOMPARE(store.apps().size(), 2);
        QCOMPARE(readAll(home.file("policies.json")), before);

        QVERIFY(
            QFile::setPermissions(home.dataDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        store.addApp(app("c"));
        const auto snapshot = PolicySnapshot::decode(readAll(home.file("policies.json")));
        QCOMPARE(snapshot->apps.size(), 3);
        QCOMPARE(snapshot->folders.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestPolicyStore)
#include "TestPolicyStore.moc"
