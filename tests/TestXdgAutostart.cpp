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

    QString autostartFile() const { return m_config.filePath("autostart/org.veilmark.Veilmark.desktop"); }
    void writeEntry(const QByteArray& extra)
    {
        QDir().mkpath(m_config.filePath("autostart"));
        QFile file(autostartFile());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[Desktop Entry]\nType=Application\nName=Veilmark\nExec=veilmark\n" + extra);
    }

private slots:
    void init() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path())); }
    void cleanup()
    {
        ::chmod(QFile::encodeName(m_config.filePath("autostart")).constData(), 0700);
        QFile::remove(autostartFile());
    }

    void registerWritesAnEntryThatStartsVeilmark()
    {
        XdgAutostart autostart("org.veilmark.Veilmark", "/opt/Veil Mark/bin/veilmark");
        QVERIFY(!autostart.isRegistered());
        QCOMPARE(autostart.registerItem(), std::nullopt);
        QVERIFY(autostart.isRegistered());
        QFile file(autostartFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.startsWith("[Desktop Entry]\n"));
        // A path with a blank is quoted, so the session starts the right program.
        QVERIFY(text.contains("\nExec=\"/opt/Veil Mark/bin/veilmark\" --background\n"));
        QVERIFY(text.contains("\nIcon=org.veilmark.Veilmark\n"));

        QCOMPARE(autostart.unregisterItem(), std::nullopt);
        QVERIFY(!QFile::exists(autostartFile()));
        QVERIFY(!autostart.isRegistered());
        // Unregistering what is not registered is not an error.
        QCOMPARE(autostart.unregisterItem(), std::nullopt);
    }

    void theFileDecides_data()
    {
        QTest::addColumn<QByteArray>("extra");
        QTest::addColumn<bool>("registered");
        QTest::newRow("plain") << QByteArray() << true;
        QTest::newRow("hidden") << QByteArray("Hidden=true\n") << false;
        QTest::newRow("hidden false") << QByteArray("Hidden=false\n") << true;
        QTest::newRow("gnome disabled") << QByteArray("X-GNOME-Autostart-enabled=false\n") << false;
        QTest::newRow("gnome enabled") << QByteArray("X-GNOME-Autostart-enabled=true\n") << true;
        QTest::newRow("other group") << QByteArray("[Desktop Action x]\nHidden=true\n") << true;
    }

    void theFileDecides()
    {
        QFETCH(QByteArray, extra);
        QFETCH(bool, registered);
        writeEntry(extra);
        QCOMPARE(XdgAutostart("org.veilmark.Veilmark", "veilmark").isRegistered(), registered);
    }

    void unwritableDirectoryReportsTheSystemsText()
    {
        QDir().mkpath(m_config.filePath("autostart"));
        QVERIFY(::chmod(QFile::encodeName(m_config.filePath("autostart")).constData(), 0500) == 0);
        if (QFile(m_config.filePath("autostart/probe")).open(QIODevice::WriteOnly))
            QSKIP("permission checks are bypassed (run through tests/unprivileged.sh)");
        XdgAutostart autostart("org.veilmark.Veilmark", "veilmark");
        QCOMPARE(autostart.registerItem(), std::optional<QString>("Permission denied"));
        QVERIFY(!autostart.isRegistered());

        ::chmod(QFile::encodeName(m_config.filePath("autostart")).constData(), 0700);
        writeEntry({});
        ::chmod(QFile::encodeName(m_config.filePath("autostart")).constData(), 0500);
        QCOMPARE(autostart.unregisterItem(), std::optional<QString>("Permission denied"));
        QVERIFY(autostart.isRegistered());
    }
};

QTEST_GUILESS_MAIN(TestXdgAutostart)
#include "TestXdgAutostart.moc"
