#include "folders/AccessControlLock.h"

#include <QDir>
#include <QFile>
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

namespace {

constexpr const char* kOwnerAttribute = "user.veilmark.owner";
constexpr uid_t kForeignUid = 54321;
const std::optional<QString> kSuccess;
const std::optional<QString> kNoSuchFile = QStringLiteral("No such file or directory");

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

// Permission bits of the target (symbolic links followed), or -1 when it cannot be stat'ed.
int modeOf(const QString& path)
{
    struct stat st;
    if (::stat(native(path).constData(), &st) != 0) {
        return -1;
    }
    return static_cast<int>(st.st_mode & 07777);
}

bool setMode(const QString& path, int mode)
{
    return ::chmod(native(path).constData(), static_cast<mode_t>(mode)) == 0;
}

QString octal(int mode)
{
    return mode < 0 ? QStringLiteral("missing") : QStringLiteral("0%1").arg(mode, 0, 8);
}

// Whether the attribute exists; needs the owner's read bit on the path.
bool hasRememberedBits(const QString& path)
{
    return ::getxattr(native(path).constData(), kOwnerAttribute, nullptr, 0) >= 0;
}

// Gives every directory below root (and root) owner rwx so QTemporaryDir can remove it.
void makeRemovable(const QString& root)
{
    const int mode = modeOf(root);
    if (mode < 0) {
        return;
    }
    setMode(root, mode | 0700);
    const QFileInfoList entries =
        QDir(root).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QFileInfo& entry : entries) {
        if (!entry.isSymLink()) {
            makeRemovable(entry.filePath());
        }
    }
}

} // namespace

namespace QTest {
template <>
char* toString(const std::optional<QString>& result)
{
    return result ? toString(QStringLiteral("error \"%1\"").arg(*result)) : qstrdup("success");
}
} // namespace QTest

class TestAccessControlLock : public QObject
{
    Q_OBJECT

private:
    QString makeDir(const QString& name, int mode)
    {
        const QString path = m_dir->filePath(name);
        if (::mkdir(native(path).constData(), 0700) != 0 || !setMode(path, mode)) {
            qWarning("cannot create %s: %s", qPrintable(path), std::strerror(errno));
            return {};
        }
        return path;
    }

    QString makeFile(const QString& name, int mode)
    {
        const QString path = m_dir->filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write("[Desktop Entry]\nType=Application\nExec=true\n") < 0) {
            return {};
        }
        file.close();
        return setMode(path, mode) ? path : QString();
    }

    // Stores a raw attribute value on a locked directory, as a damaged or foreign one would be.
    bool storeRememberedBits(const QString& path, const QByteArray& value)
    {
        const int mode = modeOf(path);
        return setMode(path, mode | 0600) &&
               ::setxattr(native(path).constData(), kOwnerAttribute, value.constData(),
                          static_cast<size_t>(value.size()), 0) == 0 &&
               setMode(path, mode);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_mountPoint;

private slots:
    void initTestCase()
    {
        // As root with CAP_DAC_OVERRIDE every path stays accessible and no lock could verify.
        QTemporaryDir probe;
        QVERIFY(probe.isValid());
        const QString closed = probe.filePath(QStringLiteral("closed"));
        QVERIFY(QDir().mkdir(closed));
        QVERIFY(setMode(closed, 0));
        const bool bypassed = AccessControlLock::isAccessible(closed);
        setMode(closed, 0700);
        if (bypassed) {
            QFAIL("Permission checks are bypassed (root with CAP_DAC_OVERRIDE/CAP_DAC_READ_SEARCH): "
                  "run this test through tests/unprivileged.sh or as an ordinary user");
        }
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void cleanup()
    {
        if (!m_mountPoint.isEmpty()) {
            ::umount2(native(m_mountPoint).constData(), MNT_DETACH);
            m_mountPoint.clear();
        }
        makeRemovable(m_dir->path());
        m_dir.reset();
    }

    void isAccessible_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("accessible");

        QTest::newRow("directory rwx") << "dir" << 0700 << true;
        QTest::newRow("directory read only lists") << "dir" << 0400 << true;
        QTest::newRow("directory search only") << "dir" << 0100 << false;
        QTest::newRow("directory no owner bits, others rwx") << "dir" << 0077 << false;
        QTest::newRow("file readable") << "file" << 0644 << true;
        QTest::newRow("file write only") << "file" << 0200 << false;
        QTest::newRow("file no owner bits") << "file" << 0044 << false;
        QTest::newRow("fifo readable does not block") << "fifo" << 0600 << true;
        QTest::newRow("missing") << "missing" << 0 << false;
    }

    void isAccessible()
    {
        QFETCH(QString, kind);
        QFETCH(int, mode);
        QFETCH(bool, accessible);

        QString path = m_dir->filePath(QStringLiteral("entry"));
        if (kind == QLatin1String("dir")) {
            path = makeDir(QStringLiteral("entry"), mode);
        } else if (kind == QLatin1String("file")) {
            path = makeFile(QStringLiteral("entry"), mode);
        } else if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(native(path).constData(), static_cast<mode_t>(mode)), 0);
        }
        QVERIFY(!path.isEmpty());
        QCOMPARE(AccessControlLock::isAccessible(path), accessible);
    }

    void lockThenUnlockRestoresMode_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("mode");

        QTest::newRow("0700") << "private" << 0700;
        QTest::newRow("0750") << "shared" << 0750;
        QTest::newRow("0755") << "public" << 0755;
        QTest::newRow("0500 owner cannot write") << "readonly" << 0500;
        QTest::newRow("01751 sticky, odd other bits") << "sticky" << 01751;
        QTest::newRow("non-ASCII name") << QStringLiteral("Fotos \u00e9t\u00e9 \u2014 2024") << 0750;
        QTest::newRow("name starting with a dash") << "-rf" << 0750;
    }

    void lockThenUnlockRestoresMode()
    {
        QFETCH(QString, name);
        QFETCH(int, mode);
        const QString dir = makeDir(name, 0700);
        QVERIFY(!dir.isEmpty());
        QVERIFY(QFile(dir + QStringLiteral("/inside")).open(QIODevice::WriteOnly));
        QVERIFY(setMode(dir, mode));

        QCOMPARE(AccessControlLock::lockAndVerify(dir), kSuccess);
        QCOMPARE(octal(modeOf(dir)), octal(mode & ~0700));
        QVERIFY(!AccessControlLock::isAccessible(dir));

        QCOMPARE(AccessControlLock::unlockAndVerify(dir), kSuccess);
        QCOMPARE(octal(modeOf(dir)), octal(mode));
        QVERIFY(AccessControlLock::isAccessible(dir));
        QVERIFY2(!hasRememberedBits(dir), "unlocking must remove the remembered owner bits");
        // Only the directory itself changes, never its contents.
        QVERIFY(QFileInfo::exists(dir + QStringLiteral("/inside")));
    }

    void fileLockBlocksReading()
    {
        const QString entry = makeFile(QStringLiteral("org.example.Editor.desktop"), 0644);
        QVERIFY(!entry.isEmpty());

        QCOMPARE(AccessControlLock::lockAndVerify(entry), kSuccess);
        QCOMPARE(octal(modeOf(entry)), octal(0044));
        QFile locked(entry);
        QVERIFY(!locked.open(QIODevice::ReadOnly));

        QCOMPARE(AccessControlLock::unlockAndVerify(entry), kSuccess);
        QCOMPARE(octal(modeOf(entry)), octal(0644));
        QFile unlocked(entry);
        QVERIFY(unlocked.open(QIODevice::ReadOnly));
        QVERIFY(unlocked.readAll().startsWith("[Desktop Entry]"));
    }

    void alreadyLockedDirectories()
    {
        // Locked from outside: nothing is remembered, so unlocking gives the owner rwx.
        const QString outside = makeDir(QStringLiteral("outside"), 0);
        QVERIFY(!outside.isEmpty());
        QCOMPARE(AccessControlLock::lockAndVerify(outside), kSuccess);
        QCOMPARE(octal(modeOf(outside)), octal(0));
        QCOMPARE(AccessControlLock::unlockAndVerify(outside), kSuccess);
        QCOMPARE(octal(modeOf(outside)), octal(0700));

        // Locking twice keeps the bits remembered by the first lock.
        const QString twice = makeDir(QStringLiteral("twice"), 0550);
        QVERIFY(!twice.isEmpty());
        QCOMPARE(AccessControlLock::lockAndVerify(twice), kSuccess);
        QCOMPARE(AccessControlLock::lockAndVerify(twice), kSuccess);
        QCOMPARE(octal(modeOf(twice)), octal(0050));
        QCOMPARE(AccessControlLock::unlockAndVerify(twice), kSuccess);
        QCOMPARE(octal(modeOf(twice)), octal(0550));
    }

    void unlockAfterOutsideChanges()
    {
        // Bits restored from outside: unlocking still succeeds and keeps them.
        const QString restored = makeDir(QStringLiteral("restored"), 0750);
        QVERIFY(!restored.isEmpty());
        QCOMPARE(AccessControlLock::lockAndVerify(restored), kSuccess);
        QVERIFY(setMode(restored, 0750));
        QCOMPARE(AccessControlLock::unlockAndVerify(restored), kSuccess);
        QCOMPARE(octal(modeOf(restored)), octal(0750));
        QVERIFY(!hasRememberedBits(restored));

        // Owner bits cleared from outside without a remembered value: owner rwx, group untouched.
        const QString bare = makeDir(QStringLiteral("bare"), 0050);
        QVERIFY(!bare.isEmpty());
        QCOMPARE(AccessControlLock::unlockAndVerify(bare), kSuccess);
        QCOMPARE(octal(modeOf(bare)), octal(0750));
    }

    void unusableRememberedBits_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("expected");

        QTest::newRow("valid r-x") << QByteArray("5") << 0550;
        QTest::newRow("valid r-- still lists") << QByteArray("4") << 0450;
        QTest::newRow("-w- cannot list, second try") << QByteArray("2") << 0750;
        QTest::newRow("zero") << QByteArray("0") << 0750;
        QTest::newRow("not octal") << QByteArray("9") << 0750;
        QTest::newRow("empty") << QByteArray("") << 0750;
        QTest::newRow("two digits") << QByteArray("57") << 0750;
        QTest::newRow("trailing newline") << QByteArray("5\n") << 0750;
        QTest::newRow("leading blank") << QByteArray(" 5") << 0750;
        QTest::newRow("longer than any valid value") << QByteArray(64, '5') << 0750;
    }

    void unusableRememberedBits()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, expected);
        const QString dir = makeDir(QStringLiteral("damaged"), 0750);
        QVERIFY(!dir.isEmpty());
        QCOMPARE(AccessControlLock::lockAndVerify(dir), kSuccess);
        QVERIFY(storeRememberedBits(dir, value));

        QCOMPARE(AccessControlLock::unlockAndVerify(dir), kSuccess);
        QCOMPARE(octal(modeOf(dir)), octal(expected));
        QVERIFY(!hasRememberedBits(dir));
    }

    void missingPaths()
    {
        // A vanished directory cannot be listed, so it counts as locked; unlocking cannot succeed.
        const QString gone = makeDir(QStringLiteral("gone"), 0750);
        QVERIFY(!gone.isEmpty());
        QVERIFY(QDir().rmdir(gone));
        QCOMPARE(AccessControlLock::lockAndVerify(gone), kSuccess);
        QCOMPARE(AccessControlLock::unlockAndVerify(gone), kNoSuchFile);

        const QString dangling = m_dir->filePath(QStringLiteral("dangling"));
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("nowhere")), dangling));
        QCOMPARE(AccessControlLock::lockAndVerify(dangling), kSuccess);
        QCOMPARE(AccessControlLock::unlockAndVerify(dangling), kNoSuchFile);
    }

    void symbolicLinkLocksTarget()
    {
        const QString target = makeDir(QStringLiteral("target"), 0750);
        QVERIFY(!target.isEmpty());
        const QString link = m_dir->filePath(QStringLiteral("link"));
        QVERIFY(QFile::link(target, link));

        QCOMPARE(AccessControlLock::lockAndVerify(link), kSuccess);
        QCOMPARE(octal(modeOf(target)), octal(0050));
        QVERIFY(!AccessControlLock::isAccessible(target));
        QVERIFY(QFileInfo(link).isSymLink());

        QCOMPARE(AccessControlLock::unlockAndVerify(link), kSuccess);
        QCOMPARE(octal(modeOf(target)), octal(0750));
        QVERIFY(AccessControlLock::isAccessible(target));
    }

    void foreignOwner_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<std::optional<QString>>("lockResult");
        QTest::addColumn<std::optional<QString>>("unlockResult");

        const std::optional<QString> none;
        const std::optional<QString> eperm = QStringLiteral("Operation not permitted");
        // Listable through the other bits: the lock cannot hold, unlocking has nothing to do.
        QTest::newRow("0755") << 0755 << eperm << none;
        // Writable: the attribute could be stored, yet the lock failed.
        QTest::newRow("0777") << 0777 << eperm << none;
        // Already closed to us: counts as locked, and neither unlock attempt may change it.
        QTest::newRow("0700") << 0700 << none << eperm;
    }

    void foreignOwner()
    {
        QFETCH(int, mode);
        QFETCH(std::optional<QString>, lockResult);
        QFETCH(std::optional<QString>, unlockResult);

        const QString dir = makeDir(QStringLiteral("foreign"), mode);
        QVERIFY(!dir.isEmpty());
        if (::chown(native(dir).constData(), kForeignUid, kForeignUid) != 0) {
            QSKIP("cannot give a directory to another user here (needs CAP_CHOWN)");
        }
        if (::chmod(native(dir).constData(), 0) == 0) {
            QSKIP("still allowed to change modes of other users' files (CAP_FOWNER)");
        }

        QCOMPARE(AccessControlLock::lockAndVerify(dir), lockResult);
        QCOMPARE(octal(modeOf(dir)), octal(mode));
        if (mode & 0004) {
            QVERIFY2(!hasRememberedBits(dir), "a failed lock must not leave a remembered value");
        }
        QCOMPARE(AccessControlLock::unlockAndVerify(dir), unlockResult);
        QCOMPARE(octal(modeOf(dir)), octal(mode));
    }

    void fileSystemWithoutUserAttributes()
    {
        const QString mountPoint = makeDir(QStringLiteral("ramfs"), 0700);
        QVERIFY(!mountPoint.isEmpty());
        // A private mount namespace keeps the mount away from the rest of the system.
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("none", native(mountPoint).constData(), "ramfs", 0, "mode=0700") != 0) {
            if (errno == EPERM) {
                QSKIP("mounting a ramfs needs CAP_SYS_ADMIN; not available in this run");
            }
            QFAIL(qPrintable(QStringLiteral("cannot mount a ramfs: %1")
                                 .arg(QString::fromLocal8Bit(std::strerror(errno)))));
        }
        m_mountPoint = mountPoint;

        const QString dir = mountPoint + QStringLiteral("/folder");
        QCOMPARE(::mkdir(native(dir).constData(), 0700), 0);
        const char digit = '5';
        if (::setxattr(native(dir).constData(), kOwnerAttribute, &digit, 1, 0) == 0 || errno != ENOTSUP) {
            QSKIP("this ramfs supports user attributes; nothing to test");
        }
        QVERIFY(setMode(dir, 0550));

        QCOMPARE(AccessControlLock::lockAndVerify(dir), kSuccess);
        QCOMPARE(octal(modeOf(dir)), octal(0050));
        QVERIFY(!AccessControlLock::isAccessible(dir));
        // Nothing could be remembered: the owner gets rwx back.
        QCOMPARE(AccessControlLock::unlockAndVerify(dir), kSuccess);
        QCOMPARE(octal(modeOf(dir)), octal(0750));
    }
};

QTEST_GUILESS_MAIN(TestAccessControlLock)
#include "TestAccessControlLock.moc"
