#include "apps/OverlayManager.h"
#include "fakes/FakeShieldDisplay.h"

#include <QTest>

class TestOverlayManager : public QObject
{
    Q_OBJECT

private slots:
    // A second shield replaces the first: its status, failure mark and buttons do not carry over.
    // Taking the keyboard back only reaches a shield that is up; with no screen there is none.
    void showReplacesTheEarlierShield()
    {
        FakeShieldDisplay display;
        OverlayManager overlay(display);
        ShieldModel& model = overlay.model();
        overlay.show("Firefox", QImage(), "Fingerprint", {}, {}, {});
        QCOMPARE(model.statusText(), "Locked — Fingerprint required");
        overlay.showFailure("Fingerprint not recognized — try again");
        QVERIFY(model.failed() && !model.isAuthenticating());

        QStringList calls;
        const auto button = [&](const char* name) { return [&calls, name] { calls << name; }; };
        overlay.show("Mail", QImage(), "Password", button("unlock"), button("password"), button("cancel"));
        QVERIFY(!model.failed());
        QCOMPARE(model.statusText(), "Locked — Password required");
        model.requestUnlock();
        model.requestPassword();
        model.cancel();
        QCOMPARE(calls, QStringList({"unlock", "password", "cancel"}));

        overlay.activate();
        overlay.hide();
        overlay.activate();
        display.screens = 0;
        overlay.show("X", QImage(), "Password", {}, {}, {});
        overlay.activate();
        QVERIFY(!overlay.isShown());
        QCOMPARE(display.activations, 1);
    }
};

QTEST_GUILESS_MAIN(TestOverlayManager)
#include "TestOverlayManager.moc"
