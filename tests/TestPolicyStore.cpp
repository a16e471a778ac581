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

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool plant(const QString& path, const QByteArray& bytes)
{
    return QDir().mkpath(QFileInfo(path).path()) &&
           !DocumentFile::write(path, bytes, DocumentFile::Durability::Cached);
}
} // namespace

class TestPolicyStore : public QObject
{
    Q_OBJECT

private slots:
    // Every assignment notifies once and saves once; loading, duplicates and unknown updates never
    // write. A failed write leaves memory authoritative until the next save catches the file up.
    void savesEachChangeButNeverWhileLoading()
    {
        TestDataHome home;
        const QString file = home.file("policies.json");
        {
            PolicyStore store;
            QVERIFY(!QFile::exists(file));
            QVERIFY(!(QFile::permissions(home.dataDir()) & 0x0077)); // private to the user
            QVERIFY(store.addApp(app("org.gnome.Calculator")));
        }
        // Pretty-printed, keys ascending at every level.
        const QByteArray text = readAll(file);
        auto before = [&](const char* a, const char* b) { return text.indexOf(a) < text.indexOf(b); };
        QVERIFY(text.contains("\n    \"apps\": [\n") && before("\"folders\"", "\"settings\""));
        QVERIFY(before("\"appPath\"", "\"bundleID\"") &&
                before("\"launchAtLogin\"", "\"relockAppsOnFocusLoss\""));

        // addApp never creates duplicates, but a stored file may hold them. A write killed half-way
        // leaves its temporary file behind: loading removes it.
        PolicySnapshot snapshot;
        snapshot.apps = {app("x", false, "first"), app("x", true, "second"), app("x", true, "third"),
                         app("y", false)};
        QVERIFY(plant(file, snapshot.encode()) && plant(file + ".Ab3xZ9", "{\"apps\":"));
        FileStamp stamp = FileStamp::of(file);
        PolicyStore store;
        QCOMPARE(store.apps(), snapshot.apps);
        QCOMPARE(FileStamp::of(file), stamp);
        QCOMPARE(QDir(home.dataDir()).entryList(QDir::Files | QDir::Hidden), QStringList{"policies.json"});
        QCOMPARE(store.enabledApp("x")->name, QString("second"));
        QVERIFY(!store.enabledApp("y") && !store.enabledApp("X"));

        QSignalSpy apps(&store, &PolicyStore::appsChanged);
        QSignalSpy folders(&store, &PolicyStore::foldersChanged);
        QSignalSpy settings(&store, &PolicyStore::settingsChanged);
        VeilmarkSettings s = store.settings();
        s.defaultFolderUnlockMinutes = 30;
        store.setSettings(s);
        QCOMPARE(PolicySnapshot::decode(readAll(file))->settings, s);
        store.removeApp(app("x"));
        const ProtectedFolder work{QUuid::createUuid(), "/home/u/Work", "Work"};
        store.addFolder(work);
        QCOMPARE(PolicySnapshot::decode(readAll(file)), (PolicySnapshot{{app("y", false)}, {work}, s}));
        stamp = FileStamp::of(file);
        QVERIFY(!store.addApp(app("y", false, "Other name")));
        store.addFolder({QUuid::createUuid(), "/home/u/Work", "Work"});
        store.updateApp(app("unknown", false));
        store.updateFolder({QUuid::createUuid(), "/home/u/Elsewhere", "Elsewhere"});
        QCOMPARE(store.apps(), QList<ProtectedApp>{app("y", false)});
        QCOMPARE(store.folders(), QList<ProtectedFolder>{work});
        QCOMPARE(QList<int>({int(apps.count()), int(folders.count()), int(settings.count())}),
                 QList<int>({1, 1, 1}));
        QCOMPARE(FileStamp::of(file), stamp);

        const QByteArray content = readAll(file);
        QVERIFY(QFile::setPermissions(home.dataDir(), QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY2(!QFile(home.dataDir() + "/probe").open(QIODevice::WriteOnly),
                 "permission checks are bypassed: run through tests/unprivileged.sh");
        store.addApp(app("b"));
        QCOMPARE(store.apps().size(), 2);
        QCOMPARE(readAll(file), content);
        QVERIFY(
            QFile::setPermissions(home.dataDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QList<ProtectedFolder> unlocked = store.folders();
        unlocked[0].isLocked = false;
        store.setFolders(unlocked);
        QCOMPARE(PolicySnapshot::decode(readAll(file)), (PolicySnapshot{store.apps(), unlocked, s}));
    }

    // Loading takes nothing from a bad document and leaves it alone until the next change.
    void badDocumentsAreIgnoredUntilTheNextChange_data()
    {
        QTest::addColumn<QByteArray>("document");
        PolicySnapshot good;
        good.apps = {app("a")};
        good.folders = {{QUuid::createUuid(), "/home/u/Work", "Work"}};
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
        QVERIFY(plant(home.file("policies.json"), document));
        const FileStamp stamp = FileStamp::of(home.file("policies.json"));
        PolicyStore store;
        QVERIFY((PolicySnapshot{store.apps(), store.folders(), store.settings()} == PolicySnapshot()));
        QCOMPARE(FileStamp::of(home.file("policies.json")), stamp);
        store.addApp(app("b"));
        QCOMPARE(PolicySnapshot::decode(readAll(home.file("policies.json")))->apps, store.apps());
    }
};

QTEST_GUILESS_MAIN(TestPolicyStore)
#include "TestPolicyStore.moc"
