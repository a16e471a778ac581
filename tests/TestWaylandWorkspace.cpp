#include "WaylandRig.h"
#include "platform/wayland/PlasmaWorkspace.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WlrWorkspace.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The workspace of the compositor the session runs (sway: wlroots foreign toplevels; KWin: its
// window management), against real clients: what it reports as they open, take the keyboard and
// go, and what hiding does.
class TestWaylandWorkspace : public QObject
{
    Q_OBJECT

    WaylandRig rig;
    QTemporaryDir dir;
    const QColor red{0xff, 0x20, 0x20};
    const QColor blue{0x20, 0x40, 0xff};

    static std::unique_ptr<Workspace> workspaceOf(WaylandConnection& connection)
    {
        if (WaylandRig::compositor() == WaylandRig::Compositor::KWin)
            return std::make_unique<PlasmaWorkspace>(connection);
        return std::make_unique<WlrWorkspace>(connection);
    }

    // What the workspace reported: "launch x", "activate x", "deactivate x", "terminate x".
    QStringList seen;
    void follow(Workspace& workspace)
    {
        for (const auto& [signal, verb] :
             {std::pair{&Workspace::didLaunch, "launch "}, std::pair{&Workspace::didActivate, "activate "},
              std::pair{&Workspace::didDeactivate, "deactivate "}, std::pair{&Workspace::didTerminate, "terminate "}})
            connect(&workspace, signal, this, [this, verb = QString(verb)](const QString& id) { seen << verb + id; });
    }
    double shown(const QColor& colour)
    {
        return qMax(WaylandRig::share(rig.screenshot(0), colour), WaylandRig::share(rig.screenshot(1), colour));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(WaylandRig::compositor() != WaylandRig::Compositor::None, "run under tests/wayland/*-session.sh");
        QVERIFY(dir.isValid());
    }

    void followsApplicationsAndHidesThem()
    {
        // A window open before the workspace exists counts as running, not as launched.
        QProcess* redClient = rig.launchClient("veilmark.test.red", red, dir.filePath("red"));
        QVERIFY2(redClient, qPrintable(rig.error()));
        WaylandConnection connection;
        QVERIFY2(connection.isConnected(), qPrintable(connection.problem()));
        const std::unique_ptr<Workspace> workspace = workspaceOf(connection);
        QVERIFY(workspace->isSupported());
        QCOMPARE(workspace->runningApplications(), QStringList{"veilmark.test.red"});
        follow(*workspace);

        QVERIFY2(rig.launchClient("veilmark.test.blue", blue, dir.filePath("blue")), qPrintable(rig.error()));
        QTRY_VERIFY2_WITH_TIMEOUT(seen.contains("activate veilmark.test.blue"), qPrintable(seen.join(", ")), 10000);
        QCOMPARE(seen.first(), "launch veilmark.test.blue");

        // Activation from outside, then from Veilmark: one switch each, nothing in between.
        const struct
        {
            const char* by;
            QStringList expected;
        } switches[] = {
            {"rig", {"deactivate veilmark.test.blue", "activate veilmark.test.red"}},
            {"workspace", {"deactivate veilmark.test.red", "activate veilmark.test.blue"}},
        };
        for (const auto& step : switches) {
            seen.clear();
            if (QByteArray(step.by) == "rig")
                QVERIFY2(rig.activate("veilmark.test.red"), qPrintable(rig.error()));
            else
                workspace->activate("veilmark.test.blue");
            QTRY_COMPARE_WITH_TIMEOUT(seen, step.expected, 10000);
        }

        // Hidden: deactivated at once; KWin minimizes, sway has no such state and keeps it shown.
        seen.clear();
        workspace->hide("veilmark.test.blue");
        QTRY_COMPARE_WITH_TIMEOUT(seen, QStringList{"deactivate veilmark.test.blue"}, 5000);
        if (WaylandRig::compositor() == WaylandRig::Compositor::KWin)
            QTRY_COMPARE_WITH_TIMEOUT(shown(blue), 0.0, 10000);
        workspace->activate("veilmark.test.blue");
        QTRY_VERIFY_WITH_TIMEOUT(shown(blue) > 0.3, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(seen.contains("activate veilmark.test.blue"), 10000);

        // The last window gone: terminated, without a deactivation first.
        seen.clear();
        redClient->kill();
        QTRY_COMPARE_WITH_TIMEOUT(seen, QStringList{"terminate veilmark.test.red"}, 10000);
        QCOMPARE(workspace->runningApplications(), QStringList{"veilmark.test.blue"});
    }
};

QTEST_MAIN(TestWaylandWorkspace)
#include "TestWaylandWorkspace.moc"
