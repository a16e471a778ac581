#include "io/AccessControlLock.h"

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
    return ::stat(native(path).constData(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
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
        return ::mkdir(native(path).constData(), 0700) == 0 && setMode(path, mode) ? path : QString();
    }

    QString makeFile(const QString& name, int mode)
    {
        const QString path = m_dir->filePath(name);
        QFile file(path);
        const bool written = file.open(QIODevice::WriteOnly) && file.write("[Desktop Entry]\n") > 0;
        file.close();
        return written && setMode(path, mode) ? path : QString();
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_mountPoint;

private slots:
    void initTestCase()
    {
        // As root with CAP_DAC_OVERRIDE every path stays accessible and no lock could verify.
        QTemporaryDir probe;
        QVERIFY(setMode(probe.path(), 0));
        const bool bypassed = AccessControlLock::isAccessible(probe.path());
        setMode(probe.path(), 0700);
        if (bypassed)
            QFAIL("Permission checks are bypassed (root with CAP_DAC_OVERRIDE/CAP_DAC_READ_SEARCH): "
                  "run this test through tests/unprivileged.sh or as an ordinary user");
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void cleanup()
    {
        if (!m_mountPoint.isEmpty())
            ::umount2(native(std::exchange(m_mountPoint, {})).constData(), MNT_DETACH);
        // Locked leftovers of a failed test: owner rwx back so the temporary tree can be removed.
        for (const QFileInfo& entry : QDir(m_dir->path()).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
            setMode(entry.filePath(), modeOf(entry.filePath()) | 0700);
        m_dir.reset();
    }

    // Listing a directory needs the owner's read bit; search alone or others' bits do not suffice.
    // A FIFO must not block the probe.
    void accessProbe()
    {
        const QString fifo = m_dir->filePath(QStringLiteral("fifo"));
        QCOMPARE(::mkfifo(native(fifo).constData(), 0600), 0);
        for (const QString& open : {makeDir(QStringLiteral("readable"), 0400), fifo})
            QVERIFY2(AccessControlLock::isAccessible(open), qPrintable(open));
        for (const QString& closed :
             {makeDir(QStringLiteral("search"), 0100), makeDir(QStringLiteral("others"), 0077),
              makeFile(QStringLiteral("writable"), 0200), m_dir->filePath("missing")})
            QVERIFY2(!closed.isEmpty() && !AccessControlLock::isAccessible(closed), qPrintable(closed));
    }

    // Only the owner bits change, and unlocking restores them exactly; only the entry itself
    // changes, never what a directory holds.
    void lockThenUnlockRestoresMode_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("isFile");
        QTest::addColumn<int>("mode");
        QTest::newRow("0750") << "shared" << false << 0750;
        QTest::newRow("0500 owner cannot write") << "readonly" << false << 0500;
        QTest::newRow("01751 sticky, odd other bits") << "sticky" << false << 01751;
        QTest::newRow("non-ASCII name") << QStringLiteral("Fotos \u00e9t\u00e9 \u2014 2024") << false << 0750;
        QTest::newRow("desktop entry file") << "org.example.Editor.desktop" << true << 0644;
    }

    void lockThenUnlockRestoresMode()
    {
        QFETCH(QString, name);
        QFETCH(bool, isFile);
        QFETCH(int, mode);
        const QString path = isFile ? makeFile(name, mode) : makeDir(name, 0700);
        QVERIFY(!path.isEmpty());
        QVERIFY(isFile ||
                (QFile(path + QStringLiteral("/inside")).open(QIODevice::WriteOnly) && setMode(path, mode)));

        QCOMPARE(AccessControlLock::lockAndVerify(path), kSuccess);
        QCOMPARE(octal(modeOf(path)), octal(mode & ~0700));
        QVERIFY(!AccessControlLock::isAccessible(path));

        QCOMPARE(AccessControlLock::unlockAndVerify(path), kSuccess);
        QCOMPARE(octal(modeOf(path)), octal(mode));
        QVERIFY(AccessControlLock::isAccessible(path));
        QVERIFY2(!hasRememberedBits(path), "unlocking must remove the remembered owner bits");
        QVERIFY(isFile || QFileInfo::exists(path + QStringLiteral("/inside")));
    }

    void changesMadeFromOutside()
    {
        // Unlisted already: counts as locked; nothing is remembered, so unlocking gives owner rwx.
        const QString outside = makeDir(QStringLiteral("outside"), 0);
        QCOMPARE(AccessControlLock::lockAndVerify(outside), kSuccess);
        QCOMPARE(octal(modeOf(outside)), octal(0));
        QCOMPARE(AccessControlLock::unlockAndVerify(outside), kSuccess);
        QCOMPARE(octal(modeOf(outside)), octal(0700));

        // Locking twice keeps the bits remembered by the first lock.
        const QString twice = makeDir(QStringLiteral("twice"), 0550);
        QCOMPARE(AccessControlLock::lockAndVerify(twice), kSuccess);
        QCOMPARE(AccessControlLock::lockAndVerify(twice), kSuccess);
        QCOMPARE(AccessControlLock::unlockAndVerify(twice), kSuccess);
        QCOMPARE(octal(modeOf(twice)), octal(0550));

        // Bits restored from outside: unlocking succeeds, keeps them and drops the remembered value.
        const QString restored = makeDir(QStringLiteral("restored"), 0750);
        QCOMPARE(AccessControlLock::lockAndVerify(restored), kSuccess);
        QVERIFY(setMode(restored, 0750));
        QCOMPARE(AccessControlLock::unlockAndVerify(restored), kSuccess);
        QCOMPARE(octal(modeOf(restored)), octal(0750));
        QVERIFY(!hasRememberedBits(restored));

        // A damaged remembered value: "4" still lists; "2" would not, so the owner gets rwx, as for
        // any unusable value.
        const std::pair<QByteArray, int> damages[] = {
            {"4", 0450}, {"2", 0750}, {"0", 0750}, {"9", 0750}, {"5\n", 0750}, {QByteArray(64, '5'), 0750}};
        for (const auto& [value, expected] : damages) {
            QCOMPARE(AccessControlLock::lockAndVerify(restored), kSuccess);
            // Writing the attribute needs the owner's read and write bits for a moment.
            QVERIFY(setMode(restored, 0650) &&
                    ::setxattr(native(restored).constData(), kOwnerAttribute, value.constData(),
                               static_cast<size_t>(value.size()), 0) == 0 &&
                    setMode(restored, 0050));
            QCOMPARE(AccessControlLock::unlockAndVerify(restored), kSuccess);
            QVERIFY2(modeOf(restored) == expected && !hasRememberedBits(restored), value.left(8).constData());
            QVERIFY(setMode(restored, 0750));
        }
    }

    void linksAndVanishedPaths()
    {
        // The target is locked; the link stays a link.
        const QString target = makeDir(QStringLiteral("target"), 0750);
        const QString link = m_dir->filePath(QStringLiteral("link"));
        QVERIFY(QFile::link(target, link));
        QCOMPARE(AccessControlLock::lockAndVerify(link), kSuccess);
        QCOMPARE(octal(modeOf(target)), octal(0050));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(AccessControlLock::unlockAndVerify(link), kSuccess);
        QCOMPARE(octal(modeOf(target)), octal(0750));

        // A vanished directory cannot be listed, so it counts as locked; unlocking reports why not.
        QVERIFY(QDir().rmdir(target));
        for (const QString& path : {target, link}) {
            QCOMPARE(AccessControlLock::lockAndVerify(path), kSuccess);
            QCOMPARE(AccessControlLock::unlockAndVerify(path), kNoSuchFile);
        }
    }

    // Someone else's directory, so chmod is refused. Listable and writable (0777): the attribute
    // could be stored, yet the lock failed and must leave no trace. Already closed to us (0700):
    // it counts as locked, and neither unlock attempt may change it.
    void foreignOwner()
    {
        const std::optional<QString> eperm = QStringLiteral("Operation not permitted");
        for (const int mode : {0777, 0700}) {
            const QString dir = makeDir(QString::number(mode, 8), mode);
            if (::chown(native(dir).constData(), kForeignUid, kForeignUid) != 0)
                QSKIP("cannot give a directory to another user here (needs CAP_CHOWN)");
            QVERIFY2(::chmod(native(dir).constData(), 0) != 0, "CAP_FOWNER must be dropped for this test");

            QCOMPARE(AccessControlLock::lockAndVerify(dir), mode == 0777 ? eperm : kSuccess);
            QCOMPARE(octal(modeOf(dir)), octal(mode));
            QVERIFY(mode == 0700 || !hasRememberedBits(dir));
            QCOMPARE(AccessControlLock::unlockAndVerify(dir), mode == 0777 ? kSuccess : eperm);
            QCOMPARE(octal(modeOf(dir)), octal(mode));
        }
    }

    void fileSystemWithoutUserAttributes()
    {
        const QString mountPoint = makeDir(QStringLiteral("ramfs"), 0700);
        // A private mount namespace keeps the mount away from the rest of the system.
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("none", native(mountPoint).constData(), "ramfs", 0, "mode=0700") != 0)
            QSKIP(qPrintable(QStringLiteral("cannot mount a ramfs here: %1").arg(std::strerror(errno))));
        m_mountPoint = mountPoint;
        const QString dir = mountPoint + QStringLiteral("/folder");
        QCOMPARE(::mkdir(native(dir).constData(), 0700), 0);
        if (::setxattr(native(dir).constData(), kOwnerAttribute, "5", 1, 0) == 0 || errno != ENOTSUP)
            QSKIP("this ramfs supports user attributes; nothing to test");
        QVERIFY(setMode(dir, 0550));

        QCOMPARE(AccessControlLock::lockAndVerify(dir), kSuccess);
        QCOMPARE(octal(modeOf(dir)), octal(0050));
        // Nothing could be remembered: the owner gets rwx back.
        QCOMPARE(AccessControlLock::unlockAndVerify(dir), kSuccess);
        QCOMPARE(octal(modeOf(dir)), octal(0750));
    }
};

QTEST_GUILESS_MAIN(TestAccessControlLock)
#include "TestAccessControlLock.moc"
