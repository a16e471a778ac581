#include "TestDataHome.h"
#include "platform/linux/XdgAutostart.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

// Launch at login as an XDG autostart file in a temporary $XDG_CONFIG_HOME; permission checks
// are in force (CTest drops root's bypass), so an unwritable directory really fails.
class TestXdgAutostart : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    QString dir() const { return m_config.filePath("autostart"); }
    QString file() const { return dir() + "/org.veilmark.Veilmark.desktop"; }
    bool setWritable(bool writable) { return ::chmod(QFile::encodeName(dir()), writable ? 0700 : 0500) == 0; }

private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path())); }
    void cleanup() { setWritable(true); }

    void registerWritesAnEntryThatStartsVeilmark()
    {
        XdgAutostart autostart("org.veilmark.Veilmark", "/opt/Veil Mark/bin/veilmark");
        QVERIFY(!autostart.isRegistered());
        QCOMPARE(autostart.registerItem(), std::nullopt);
        QVERIFY(autostart.isRegistered());
        QFile entry(file());
        QVERIFY(entry.open(QIODevice::ReadOnly));
        // A path with a blank is quoted, so the session starts the right program.
        QVERIFY(entry.readAll().contains("\nExec=\"/opt/Veil Mark/bin/veilmark\" --background\n"));
        // Registering again replaces the whole file, so a session starting meanwhile never reads half.
        const FileStamp before = FileStamp::of(file());
        QCOMPARE(autostart.registerItem(), std::nullopt);
        QVERIFY(FileStamp::of(file()).inode != before.inode);

        QCOMPARE(autostart.unregisterItem(), std::nullopt);
        QVERIFY(!autostart.isRegistered());
        // Unregistering what is not registered is not an error.
        QCOMPARE(autostart.unregisterItem(), std::nullopt);
    }

    void unwritableDirectoryReportsTheSystemsText()
    {
        XdgAutostart autostart("org.veilmark.Veilmark", "veilmark");
        QVERIFY(QDir().mkpath(dir()) && setWritable(false));
        if (QFile(dir() + "/probe").open(QIODevice::WriteOnly))
            QSKIP("permission checks are bypassed (run through tests/unprivileged.sh)");
        QCOMPARE(autostart.registerItem(), std::optional<QString>("Permission denied"));
        QVERIFY(!autostart.isRegistered());

        QVERIFY(setWritable(true));
        QCOMPARE(autostart.registerItem(), std::nullopt);
        QVERIFY(setWritable(false));
        QCOMPARE(autostart.unregisterItem(), std::optional<QString>("Permission denied"));
        QVERIFY(autostart.isRegistered());
    }

    void theFileDecides_data()
    {
        QTest::addColumn<QByteArray>("extra");
        QTest::addColumn<bool>("registered");
        QTest::newRow("plain") << QByteArray() << true;
        QTest::newRow("hidden") << QByteArray("Hidden=true\n") << false;
        QTest::newRow("gnome disabled") << QByteArray("X-GNOME-Autostart-enabled=false\n") << false;
        QTest::newRow("hidden in another group") << QByteArray("[Desktop Action x]\nHidden=true\n") << true;
    }

    void theFileDecides()
    {
        QFETCH(QByteArray, extra);
        QFETCH(bool, registered);
        QFile entry(file());
        QVERIFY(QDir().mkpath(dir()) && entry.open(QIODevice::WriteOnly | QIODevice::Truncate));
        entry.write("[Desktop Entry]\nType=Application\nName=Veilmark\nExec=veilmark\n" + extra);
        entry.close();
        QCOMPARE(XdgAutostart("org.veilmark.Veilmark", "veilmark").isRegistered(), registered);
    }

    // Read at every start: a FIFO in its place is not registered and does not hang.
    void fifoIsNotAnEntry()
    {
        QVERIFY(QDir().mkpath(dir()));
        QFile::remove(file());
        QCOMPARE(::mkfifo(QFile::encodeName(file()), 0600), 0);
        QVERIFY(!XdgAutostart("org.veilmark.Veilmark", "veilmark").isRegistered());
        QFile::remove(file());
    }
};

QTEST_GUILESS_MAIN(TestXdgAutostart)
#include "TestXdgAutostart.moc"
