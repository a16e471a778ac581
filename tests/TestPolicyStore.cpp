#include "TestDataHome.h"
#include "io/DocumentFile.h"
#include "model/JsonFields.h"
#include "store/PolicySnapshot.h"
#include "store/PolicyStore.h"

#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

namespace {
ProtectedApp app(const char* bundleID, bool enabled = true, const char* name = "App")
{
    return {bundleID, name, QStringLiteral("/usr/share/applications/%1.desktop").arg(bundleID), enabled};
}

// The whole of `text` matches `pattern`.
bool matches(const QString& pattern, const QString& text)
{
    return QRegularExpression("^(" + pattern + ")$").match(text).hasMatch();
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

// Puts a document, or something else of that name, in place of `path`.
bool put(const QString& kind, const QString& path, const QByteArray& bytes)
{
    if (kind == "FIFO")
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    if (kind == "directory")
        return QDir().mkdir(path);
    if (kind == "symbolic link")
        return plant(path + "-target", bytes) && QFile::link(path + "-target", path);
    return plant(path, bytes) && (kind != "no permission" || QFile::setPermissions(path, {}));
}

// Renaming keeps the inode: the same number under another name is the very same file.
ino_t inodeOf(const QString& path)
{
    struct stat st = {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// Read-only fails when root's permission bypass is still on: run through tests/unprivileged.sh.
bool setWritable(const QString& dir, bool writable)
{
    const QFile::Permissions mode = QFile::ReadOwner | QFile::ExeOwner;
    return QFile::setPermissions(dir, writable ? mode | QFile::WriteOwner : mode) &&
           (writable || !QFile(dir + "/probe").open(QIODevice::WriteOnly));
}
} // namespace

class TestPolicyStore : public QObject
{
    Q_OBJECT

private slots:
    // Every assignment notifies once and saves once; loading, duplicates and unknown updates never
    // write. A failed write keeps memory authoritative, says why once per run of failures, and is
    // tried again by the next save, or by savePending() at quit.
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
        // leaves its temporary file behind: loading removes it, and nothing else of the user's.
        PolicySnapshot snapshot;
        snapshot.apps = {app("x", false, "first"), app("x", true, "second"), app("x", true, "third"),
                         app("y", false)};
        QVERIFY(plant(file, snapshot.encode()) && plant(file + ".backup", "{\"apps\":") &&
                plant(home.file(".veilmark-tmp-policies.json.Ab3xZ9"), "{\"apps\":"));
        FileStamp stamp = FileStamp::of(file);
        PolicyStore store;
        QCOMPARE(store.apps(), snapshot.apps);
        QVERIFY(store.loadProblems().isEmpty() && store.unreadableCopy().isEmpty());
        QCOMPARE(FileStamp::of(file), stamp);
        QCOMPARE(QDir(home.dataDir()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"policies.json", "policies.json.backup"}));
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
        QSignalSpy saveErrors(&store, &PolicyStore::saveErrorChanged);
        QVERIFY(setWritable(home.dataDir(), false));
        store.addApp(app("b"));
        store.updateFolder({work.id, work.path, work.name, true, false});
        store.savePending();
        QCOMPARE(store.apps().size(), 2);
        QCOMPARE(readAll(file), content);
        QCOMPARE(store.saveError(), "Permission denied");
        QCOMPARE(saveErrors.size(), 1);
        QVERIFY(setWritable(home.dataDir(), true));
        store.savePending();
        QVERIFY(store.saveError().isEmpty());
        QCOMPARE(saveErrors.size(), 2);
        QCOMPARE(PolicySnapshot::decode(readAll(file)), (PolicySnapshot{store.apps(), store.folders(), s}));
        QVERIFY(!store.folders()[0].isLocked);
    }

    // Whatever is in place of policies.json, loading returns at once (a FIFO without a writer
    // included), keeps every record that decodes on its own, moves the original aside under a new
    // name, and writes what it kept straight away.
    void unreadableDocumentIsMovedAsideKeepingWhatDecodes_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QByteArray>("kept");
        QTest::addColumn<QString>("problems"); // a pattern for the problems, one per line
        PolicySnapshot good;
        good.apps = {app("a"), {"b", "B", "/b.desktop", true, false}, app("c")};
        good.folders = {{QUuid::createUuid(), "/home/u/Work", "Work"},
                        {QUuid::createUuid(), "/home/u/Tax", "Tax"}};
        const QByteArray valid = good.encode();
        const QByteArray nothing = PolicySnapshot().encode();

        PolicySnapshot kept = good;
        kept.apps.removeAt(1);
        QTest::newRow("app without relockOnFocusLoss")
            << "document" << QByteArray(valid).replace("\"relockOnFocusLoss\": false", "\"relock\": false")
            << kept.encode() << R"(apps\[1\] \(b\) cannot be read)";
        kept = good;
        kept.folders.removeFirst();
        QTest::newRow("bad folder id, bad settings")
            << "document"
            << QByteArray(valid)
                   .replace(JsonFields::uuidText(good.folders[0].id).toLatin1(), "Z")
                   .replace("\"appearance\": \"system\"", "\"appearance\": \"Dark\"")
            << kept.encode()
            << "folders\\[0\\] \\(/home/u/Work\\) cannot be read\nsettings cannot be read; the defaults are "
               "used";
        kept = PolicySnapshot();
        PolicySnapshot many;
        for (int i = 0; i <= PolicySnapshot::MaxFolders; ++i) {
            many.folders.append({QUuid::createUuid(), QStringLiteral("/home/u/F%1").arg(i), "F"});
            if (i <= PolicySnapshot::MaxApps)
                many.apps.append(app(QByteArray::number(i).constData()));
        }
        kept.apps = many.apps.first(PolicySnapshot::MaxApps);
        kept.folders = many.folders.first(PolicySnapshot::MaxFolders);
        QTest::newRow("beyond the limits") << "document" << many.encode() << kept.encode()
                                           << "apps beyond the first 1,000 were left out \\(1 of them\\)\n"
                                              "folders beyond the first 10,000 were left out \\(1 of them\\)";
        QTest::newRow("truncated") << "document" << valid.left(valid.size() / 2) << nothing
                                   << "not JSON \\(.+ at byte \\d+\\)";
        QTest::newRow("members of the wrong type")
            << "document" << QByteArray(R"({"apps":null,"folders":[],"settings":{}})") << nothing
            << "not a policy .+";
        // Valid, but too large to be ours: padded with blanks past the size limit.
        QTest::newRow("larger than the limit")
            << "document" << valid + QByteArray(DocumentFile::MaxSize + 1 - valid.size(), ' ') << nothing
            << "it is larger than 64 MiB";
        QTest::newRow("no permission") << "no permission" << valid << nothing << "Permission denied";
        QTest::newRow("symbolic link") << "symbolic link" << valid << nothing << "it is a symbolic link";
        for (const char* kind : {"FIFO", "directory"})
            QTest::newRow(kind) << kind << QByteArray() << nothing << "it is not a regular file";
    }

    void unreadableDocumentIsMovedAsideKeepingWhatDecodes()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, document);
        QFETCH(QByteArray, kept);
        QFETCH(QString, problems);
        TestDataHome home;
        const QString file = home.file("policies.json");
        QVERIFY(QDir().mkpath(home.dataDir()) && put(kind, file, document));
        const ino_t original = inodeOf(file);
        PolicyStore store;
        QCOMPARE((PolicySnapshot{store.apps(), store.folders(), store.settings()}).encode(), kept);
        QVERIFY2(matches(problems, store.loadProblems().join('\n')),
                 qPrintable(store.loadProblems().join('\n')));
        QVERIFY2(matches(R"(policies\.json\.unreadable-\d{8}T\d{6}Z)", store.unreadableCopy()),
                 qPrintable(store.unreadableCopy()));
        QCOMPARE(inodeOf(home.dataDir() + "/" + store.unreadableCopy()), original);
        QCOMPARE(readAll(file), kept);
        QVERIFY(!store.isReadOnly() && store.saveError().isEmpty());
    }

    // Earlier copies are never replaced; a document that cannot be moved aside is never written.
    void movingAsideNeverReplacesAnything()
    {
        TestDataHome home;
        const QString file = home.file("policies.json");
        QStringList earlier;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (int s = 0; s < 10; ++s) {
            earlier << file + ".unreadable-" + now.addSecs(s).toString("yyyyMMdd'T'HHmmss'Z'");
            QVERIFY(plant(earlier.last(), "earlier"));
        }
        QVERIFY(plant(file, "{"));
        QVERIFY(PolicyStore().unreadableCopy().endsWith("Z-2"));
        for (const QString& copy : earlier)
            QCOMPARE(readAll(copy), "earlier");

        QVERIFY(plant(file, "{"));
        QVERIFY(setWritable(home.dataDir(), false));
        PolicyStore store;
        QVERIFY(setWritable(home.dataDir(), true));
        QCOMPARE(store.moveAsideError(), "Permission denied");
        QVERIFY(store.isReadOnly() && store.unreadableCopy().isEmpty());
        store.addApp(app("a"));
        store.savePending();
        QCOMPARE(readAll(file), "{");
    }
};

QTEST_GUILESS_MAIN(TestPolicyStore)
#include "TestPolicyStore.moc"
