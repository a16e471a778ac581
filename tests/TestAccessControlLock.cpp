#include "io/AccessControlLock.h"
#include "io/DirectoryHandle.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <memory>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

constexpr const char* kAttribute = "user.veilmark.owner";

class TestAccessControlLock : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    static QByteArray native(const QString& path) { return QFile::encodeName(path); }
    static bool setMode(const QString& path, int mode) { return ::chmod(native(path), mode_t(mode)) == 0; }
    static bool isRealDirectory(const QString& path)
    {
        return QFileInfo(path).isDir() && !QFileInfo(path).isSymLink();
    }
    // "ok" or the error text. Directories go through a handle, as the folder engine does; files and
    // links by path, as the application engine does.
    static QString lock(const QString& path)
    {
        return (isRealDirectory(path) ? AccessControlLock::lockDirectory(DirectoryHandle::open(path))
                                      : AccessControlLock::lockAndVerify(path))
            .value_or("ok");
    }
    // "ok", "ok, distrusted" (the remembered bits were not usable) or the error text.
    static QString unlock(const QString& path)
    {
        if (!isRealDirectory(path))
            return AccessControlLock::unlockAndVerify(path).value_or("ok");
        const auto result = AccessControlLock::unlockDirectory(DirectoryHandle::open(path));
        return result.error.value_or("ok") + (result.distrustedRememberedBits ? ", distrusted" : "");
    }
    // Needs the owner's read bit on the path.
    static bool remembers(const QString& p) { return ::getxattr(native(p), kAttribute, nullptr, 0) >= 0; }

    // Permission bits of the target (symbolic links followed), in octal.
    static QString modeOf(const QString& path)
    {
        struct stat st;
        return ::stat(native(path), &st) == 0 ? QString::number(st.st_mode & 07777, 8) : "missing";
    }

    // A directory holding one file (0600), or a file when `isFile`.
    QString make(const QString& name, int mode, bool isFile = false)
    {
        const QString path = m_dir->filePath(name);
        QFile file(isFile ? path : path + "/inside");
        const bool made = (isFile || QDir().mkdir(path)) && file.open(QIODevice::WriteOnly) &&
                          file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        file.close();
        return made && setMode(path, mode) ? path : QString();
    }

private slots:
    void initTestCase()
    {
        // As root with CAP_DAC_OVERRIDE every path stays accessible and no lock could verify.
        QTemporaryDir probe;
        QVERIFY2(setMode(probe.path(), 0) && !AccessControlLock::isAccessible(probe.path()) &&
                     setMode(probe.path(), 0700),
                 "permission checks are bypassed: run through tests/unprivileged.sh or as an ordinary user");
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void cleanup()
    {
        // Locked leftovers of a failed test: owner rwx back so the temporary tree can be removed.
        for (const QFileInfo& entry : QDir(m_dir->path()).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
            setMode(entry.filePath(), 0700);
        m_dir.reset();
    }

    // A directory is open with the owner's read and search bits; either alone, or others' bits, do
    // not suffice. A FIFO must not block the probe.
    void accessProbe()
    {
        const QString fifo = m_dir->filePath("fifo");
        QCOMPARE(::mkfifo(native(fifo), 0600), 0);
        for (const QString& open : {make("readable", 0500), fifo})
            QVERIFY2(AccessControlLock::isAccessible(open), qPrintable(open));
        for (const QString& closed : {make("search", 0100), make("list only", 0400), make("others", 0077),
                                      make("writable", 0200, true), m_dir->filePath("missing")})
            QVERIFY2(!closed.isEmpty() && !AccessControlLock::isAccessible(closed), qPrintable(closed));
    }

    // Locking clears only the owner bits of the entry itself: never what a directory holds, never a
    // link instead of its target. Unlocking gives back the remembered bits and drops the attribute;
    // without remembered bits, or with bits that would shut the owner out of a directory (no read
    // or no search: a tampered attribute), the owner gets rwx.
    void lockThenUnlock_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("unlocked");
        QTest::addColumn<int>("locks");
        QTest::addColumn<QByteArray>("remembered"); // written over the stored value while locked
        QTest::newRow("0750") << "dir" << 0750 << 0750 << 1 << QByteArray();
        QTest::newRow("0500 owner cannot write") << "dir" << 0500 << 0500 << 1 << QByteArray();
        QTest::newRow("01751 sticky, odd bits") << "dir" << 01751 << 01751 << 1 << QByteArray();
        QTest::newRow("non-ASCII name")
            << "Fotos \u00e9t\u00e9 \u2014 2024" << 0750 << 0750 << 1 << QByteArray();
        QTest::newRow("desktop entry") << "file" << 0644 << 0644 << 1 << QByteArray();
        QTest::newRow("symbolic link") << "link" << 0750 << 0750 << 1 << QByteArray();
        QTest::newRow("locked twice") << "dir" << 0550 << 0550 << 2 << QByteArray();
        QTest::newRow("closed from outside") << "dir" << 0 << 0700 << 1 << QByteArray();
        QTest::newRow("remembered 5") << "dir" << 0750 << 0550 << 1 << QByteArray("5");
        for (const QByteArray& damaged : QByteArrayList{"4", "6", "0", "9", "5\n", QByteArray(64, '5')})
            QTest::addRow("remembered %s", damaged.left(4).toPercentEncoding().constData())
                << "dir" << 0750 << 0750 << 1 << damaged;
    }

    void lockThenUnlock()
    {
        QFETCH(QString, kind);
        QFETCH(int, mode);
        QFETCH(int, unlocked);
        QFETCH(int, locks);
        QFETCH(QByteArray, remembered);
        QString path = make(kind, mode, kind == "file");
        QVERIFY(!path.isEmpty());
        if (kind == "link" && QFile::link(path, path + ".link"))
            path += ".link";
        for (int i = 0; i < locks; ++i)
            QCOMPARE(lock(path), "ok");
        QCOMPARE(modeOf(path), QString::number(mode & ~0700, 8));
        QVERIFY(!AccessControlLock::isAccessible(path));
        // Writing the attribute needs the owner's read and write bits for a moment.
        QVERIFY(remembered.isNull() || (setMode(path, 0600 | (mode & ~0700)) &&
                                        ::setxattr(native(path), kAttribute, remembered.constData(),
                                                   size_t(remembered.size()), 0) == 0 &&
                                        setMode(path, mode & ~0700)));

        QCOMPARE(unlock(path),
                 remembered.isNull() || remembered == "5" || kind != "dir" ? "ok" : "ok, distrusted");
        QCOMPARE(modeOf(path), QString::number(unlocked, 8));
        QVERIFY(AccessControlLock::isAccessible(path) && !remembers(path));
        QVERIFY(setMode(path, mode | 0700));
        QCOMPARE(modeOf(path + "/inside"), kind == "file" ? "missing" : "600");
        QCOMPARE(QFileInfo(path).isSymLink(), kind == "link");
    }

    // A vanished path cannot be listed, so it counts as locked; unlocking reports why not.
    void vanishedPath()
    {
        QCOMPARE(lock(m_dir->filePath("gone")), "ok");
        QCOMPARE(unlock(m_dir->filePath("gone")), "No such file or directory");
    }

    // Someone else's directory, open to everyone: chmod is refused though the attribute could be
    // stored. The lock failed and must leave no trace.
    void foreignOwner()
    {
        const QString dir = make("foreign", 0777);
        if (::chown(native(dir), 54321, 54321) != 0)
            QSKIP("cannot give a directory to another user here (needs CAP_CHOWN)");
        QVERIFY2(!setMode(dir, 0), "CAP_FOWNER must be dropped for this test");
        QCOMPARE(lock(dir), "Operation not permitted");
        QVERIFY(modeOf(dir) == "777" && !remembers(dir));
        QCOMPARE(unlock(dir), "ok");
    }

    // Nothing can be remembered: locking still works and unlocking gives the owner rwx.
    void fileSystemWithoutUserAttributes()
    {
        const QString mountPoint = make("ramfs", 0700), dir = mountPoint + "/folder";
        // A private mount namespace keeps the mount away from the rest of the system.
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("none", native(mountPoint), "ramfs", 0, "mode=0700") != 0)
            QSKIP(qPrintable(QStringLiteral("cannot mount a ramfs here: %1").arg(std::strerror(errno))));
        const auto unmount = qScopeGuard([&] { ::umount2(native(mountPoint), MNT_DETACH); });
        QCOMPARE(::mkdir(native(dir), 0700), 0);
        if (::setxattr(native(dir), kAttribute, "5", 1, 0) == 0 || errno != ENOTSUP)
            QSKIP("this ramfs supports user attributes; nothing to test");
        QVERIFY(setMode(dir, 0550));
        QCOMPARE(lock(dir), "ok");
        QCOMPARE(modeOf(dir), "50");
        QCOMPARE(unlock(dir), "ok");
        QCOMPARE(modeOf(dir), "750");
    }
};

QTEST_GUILESS_MAIN(TestAccessControlLock)
#include "TestAccessControlLock.moc"
