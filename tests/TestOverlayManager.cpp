#include "apps/OverlayManager.h"
#include "fakes/FakeShieldDisplay.h"

#include <QTest>

class TestOverlayManager : public QObject
{
    Q_OBJECT

private slots:
    // A second shield replaces the first: its status, failure mark and buttons do not carry over.
    void showReplacesTheEarlierShield()
    {
        FakeShieldDisplay display;
        OverlayManager overlay(display);
        QStringList calls;
        const auto button = [&](const char* name) { return [&calls, name] { calls << name; }; };
        overlay.show("Firefox", QImage(), "Fingerprint", button("unlock 1"), button("password 1"),
                     button("cancel 1"));
        QCOMPARE(overlay.model().statusText(), QString("Locked — Fingerprint required"));
        overlay.showFailure("Fingerprint not recognized — try again");
        QVERIFY(overlay.model().failed() && !overlay.model().isAuthenticating());

        overlay.show("Mail", QImage(), "Password", button("unlock 2"), button("password 2"),
                     button("cancel 2"));
        QVERIFY(!overlay.model().failed());
        QCOMPARE(overlay.model().statusText(), QString("Locked — Password required"));
        overlay.model().requestUnlock();
        overlay.model().requestPassword();
        overlay.model().cancel();
        QCOMPARE(calls, QStringList({"unlock 2", "password 2", "cancel 2"}));

        overlay.activate();
        QCOMPARE(display.activations, 1);
        overlay.hide();
        QVERIFY(!overlay.isShown());
        overlay.activate(); // down: nothing to take the keyboard back to
        display.screens = 0;
        overlay.show("X", QImage(), "Password", button("unlock 3"), button("password 3"), button("cancel 3"));
        QVERIFY(!overlay.isShown()); // no screen, no shield
        overlay.activate();
        QCOMPARE(display.activations, 1);
    }
};

QTEST_GUILESS_MAIN(TestOverlayManager)
#include "TestOverlayManager.moc"
