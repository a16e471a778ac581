#include "ModelRig.h"
#include "SettingsModel.h"

#include <QSignalSpy>
#include <QTest>

// The Settings page's model over a real coordinator with fakes: every value read afresh, every
// change stored, `changed` after each.
using Result = Authenticator::Result;

class TestSettingsModel : public QObject
{
    Q_OBJECT

private slots:
    void stepMinutesClampsFromTheShownValue_data()
    {
        QTest::addColumn<qint64>("stored");
        QTest::addColumn<int>("delta");
        QTest::addColumn<qint64>("result");
        QTest::newRow("up") << qint64(15) << 1 << qint64(16);
        QTest::newRow("down to the floor") << qint64(2) << -5 << qint64(1);
        QTest::newRow("up to the ceiling") << qint64(119) << 5 << qint64(120);
        QTest::newRow("stored past the range, stepped down") << qint64(200) << -1 << qint64(120);
        QTest::newRow("stored far past the range, stepped up") << (qint64(1) << 53) << 1 << qint64(120);
    }

    void stepMinutesClampsFromTheShownValue()
    {
        QFETCH(qint64, stored);
        QFETCH(int, delta);
        QFETCH(qint64, result);
        ModelRig rig;
        VeilmarkSettings settings = rig.policy().settings();
        settings.defaultFolderUnlockMinutes = stored;
        rig.policy().setSettings(settings);
        SettingsModel model(*rig.state);
        QCOMPARE(model.defaultFolderUnlockMinutes(), int(std::min<qint64>(stored, INT_MAX)));
        QSignalSpy changed(&model, &SettingsModel::changed);
        model.stepMinutes(delta);
        QCOMPARE(rig.policy().settings().defaultFolderUnlockMinutes, result);
        QCOMPARE(changed.size(), 1);
    }

    void switchesAppearanceAndLoginItem()
    {
        ModelRig rig;
        rig.authenticator.fingerprintUsable = false;
        rig.authenticator.readerPresent = false;
        SettingsModel model(*rig.state);
        QSignalSpy changed(&model, &SettingsModel::changed);
        QVERIFY(!model.fingerprintAvailable());
        QCOMPARE(model.biometryName(), QString("Password"));

        // Turning relocking off waits for proof.
        rig.authenticator.script = {Result::success, Result::success};
        model.setRelockAppsOnFocusLoss(false);
        QTRY_VERIFY(!model.relockAppsOnFocusLoss());
        model.setRelockOnSleepOrScreenLock(false);
        QTRY_VERIFY(!rig.policy().settings().relockOnSleepOrScreenLock);
        model.setAppearance("Dark"); // not a stored value: ignored
        QCOMPARE(model.appearance(), QString("system"));
        model.setAppearance("dark");
        QCOMPARE(rig.policy().settings().appearance, AppearanceMode::dark);
        QVERIFY(rig.state->isDark());
        QCOMPARE(changed.size(), 3);

        // The switch shows the registration; a failed one stays off, is logged, and still redraws.
        rig.loginItems.failure = "Permission denied";
        model.setLaunchAtLogin(true);
        QVERIFY(!model.launchAtLogin() && !rig.policy().settings().launchAtLogin);
        QCOMPARE(rig.log().events().first().subject + ": " + rig.log().events().first().detail,
                 QString("Launch at Login: Permission denied"));
        QCOMPARE(changed.size(), 4);
        rig.loginItems.failure.reset();
        model.setLaunchAtLogin(true);
        QVERIFY(model.launchAtLogin() && rig.policy().settings().launchAtLogin);
    }
};

QTEST_GUILESS_MAIN(TestSettingsModel)
#include "TestSettingsModel.moc"
