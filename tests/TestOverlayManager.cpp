#include "apps/OverlayManager.h"
#include "fakes/FakeShieldDisplay.h"

#include <QSignalSpy>
#include <QTest>

class TestOverlayManager : public QObject
{
    Q_OBJECT

private slots:
    void showReplacesTheEarlierShield()
    {
        FakeShieldDisplay display;
        OverlayManager overlay(display);
        QStringList calls;
        overlay.show(
            "Firefox", QImage(), "Fingerprint", [&] { calls << "unlock 1"; }, [&] { calls << "password 1"; },
            [&] { calls << "cancel 1"; });
        QCOMPARE(overlay.idleStatus(), QString("Locked — Fingerprint required"));
        QCOMPARE(overlay.model().statusText(), overlay.idleStatus());
        overlay.showFailure("Fingerprint not recognized — try again");
        QVERIFY(overlay.model().failed() && !overlay.model().isAuthenticating());

        overlay.show(
            "Mail", QImage(8, 8, QImage::Format_ARGB32), "Password", [&] { calls << "unlock 2"; },
            [&] { calls << "password 2"; }, [&] { calls << "cancel 2"; });
        QCOMPARE(display.shows, 2);
        QCOMPARE(overlay.windowCount(), 2);
        QCOMPARE(overlay.model().appName(), QString("Mail"));
        QVERIFY(!overlay.model().failed());
        QCOMPARE(overlay.model().statusText(), QString("Locked — Password required"));
        overlay.model().requestUnlock();
        overlay.model().requestPassword();
        overlay.model().cancel();
        QCOMPARE(calls, QStringList({"unlock 2", "password 2", "cancel 2"}));
    }

    void hideAndNoScreens()
    {
        FakeShieldDisplay display;
        display.screens = 0;
        OverlayManager overlay(display);
        overlay.hide();
        QVERIFY(!overlay.isShown());
        overlay.show(
            "X", QImage(), "Password", [] {}, [] {}, [] {});
        QCOMPARE(overlay.windowCount(), 0);
        overlay.activate();
        QCOMPARE(display.activations, 0);
        // The model keeps its values after the shield goes down.
        overlay.hide();
        QCOMPARE(overlay.model().appName(), QString("X"));
        QCOMPARE(overlay.idleStatus(), QString("Locked — Password required"));
    }
};

QTEST_GUILESS_MAIN(TestOverlayManager)
#include "TestOverlayManager.moc"
