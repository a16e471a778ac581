#include "DesktopEntryModel.h"
#include "EventListModel.h"
#include "MainWindow.h"
#include "SettingsModel.h"
#include "Theme.h"
#include "TrayPanel.h"
#include "VeilmarkBuild.h"
#include "ViewRig.h"
#include "app/Translations.h"
#include "auth/SessionManager.h"
#include "io/AccessControlLock.h"
#include "store/EventLog.h"
#include "store/PolicyStore.h"

#include <QAccessible>
#include <QApplication>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtQml/QQmlExtensionPlugin>

Q_IMPORT_QML_PLUGIN(VeilmarkPlugin)
Q_IMPORT_QML_PLUGIN(VeilmarkModelsPlugin)

using namespace view;
using Result = Authenticator::Result;

namespace {
// The Unlock / Relock buttons an app row offers.
QString buttons(QQuickItem* root, const QString& id)
{
    QQuickItem* row = one(root, "app-" + id);
    return QString(one(row, "unlock") ? "unlock" : "") + (one(row, "relock") ? "relock" : "");
}
} // namespace

// Each screen of the main window and the tray panel against a real coordinator with fake
// platform services: what they show in each state and what their controls do.
class TestScreens : public QObject
{
    Q_OBJECT

    std::unique_ptr<MainWindow> open(ViewRig& rig, const QString& screen = "apps")
    {
        auto window = std::make_unique<MainWindow>(*rig.context);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            return {};
        if (screen != "apps")
            click(one(window->contentItem(), "sidebar-" + screen));
        return window;
    }

    static QQuickItem* detail(MainWindow& window) { return one(window.rootObject(), "detail"); }

    // Saves the window under screenshots/ and fails when it is (nearly) one flat colour.
    static void shoot(QQuickWindow& window, const QString& name)
    {
        QTest::qWait(400); // springs settle
        const QImage image = window.grabWindow();
        QSet<QRgb> colours;
        for (int i = 0; i < image.width() * image.height(); i += 7)
            colours.insert(image.pixel(i % image.width(), i / image.width()));
        QVERIFY2(colours.size() > 40, qPrintable(name + " renders empty"));
        QDir().mkpath("screenshots");
        QVERIFY(image.save("screenshots/" + name + ".png"));
    }

private slots:
    // A QML error or warning fails the test that caused it.
    void init() { QTest::failOnWarning(QRegularExpression(".+")); }

    void sidebarScreensEmptyStatesAndActivity()
    {
        ViewRig rig;
        auto window = open(rig);
        QVERIFY(window);
        QQuickItem* root = window->contentItem();
        QVERIFY(one(root, "sidebar-apps")->property("selected").toBool());
        QVERIFY(!one(root, "appList"));
        QVERIFY(!one(root, "waylandNotice"));
        const QList<std::pair<QString, QStringList>> screens = {
            {"folders",
             {"No protected folders yet",
              "Add a folder and it stays exactly where it is — locked and unopenable, shown with a no-access "
              "badge, until you unlock it with your fingerprint or password. Your files are never moved."}},
            {"activity", {"Nothing yet", "Lock and unlock events will appear here."}},
            {"settings", {"Fingerprint is available and will be used for every unlock."}},
            {"about",
             {"Version " VEILMARK_VERSION " — Fingerprint and password protection for apps and folders"}},
            {"apps",
             {"No protected apps yet",
              "Add an app and it will instantly hide and blur whenever it opens, until "
              "you unlock it with your fingerprint or password."}}};
        for (const auto& [id, shown] : screens) {
            QQuickItem* item = one(root, "sidebar-" + id);
            // The empty part of the row, right of its title, selects it too.
            click(item, QPointF(item->width() - 8, item->height() / 2));
            QVERIFY(item->property("selected").toBool());
            for (const QString& text : shown)
                QVERIFY2(texts(detail(*window)).contains(text), qPrintable(id + ": " + text));
        }

        // The first folder replaces the empty card with the list.
        click(one(root, "sidebar-folders"));
        rig.state->policy()->addFolder(testFolder("/nonexistent/Work", true));
        QVERIFY(!one(root, "emptyFolders"));
        QVERIFY(one(root, "folderList"));

        // Activity: Clear only while there are events; newest first, an empty detail adds no line.
        click(one(root, "sidebar-activity"));
        QVERIFY(!one(root, "clear") && texts(root).contains("Nothing yet"));
        rig.state->log()->record(LogEventKind::appUnlocked, "Firefox", "");
        rig.state->log()->record(LogEventKind::folderAuthFailed, "Taxes", "Authentication failed");
        const QString date = EventListModel::formatDate(rig.state->log()->events()[1].date);
        QTRY_COMPARE(texts(one(root, "eventList")).mid(1),
                     QStringList({"Authentication failed", date, "Firefox", date}));
        // Clearing, once proven, leaves only its own record.
        rig.authenticator.script = {Result::success};
        click(one(root, "clear"));
        QTRY_COMPARE(texts(one(root, "eventList")).mid(0, 2), QStringList({"Activity log", "Cleared"}));
    }

    void rowsOfferWhatTheirStateAllows()
    {
        ViewRig rig;
        rig.state->policy()->setApps({testApp("a.locked", "Locked On"), testApp("b.unlocked", "Unlocked On"),
                                      testApp("c.off", "Locked Off", false),
                                      testApp("d.offopen", "Unlocked Off", false)});
        const QString home = rig.home.path();
        for (const char* name : {"/Taxes", "/Open", "/Spare"})
            QVERIFY(QDir().mkpath(home + name));
        QVERIFY(!AccessControlLock::lockAndVerify(home + "/Taxes"));
        rig.state->policy()->setFolders({testFolder(home + "/Taxes", true), testFolder(home + "/Open", false),
                                         testFolder(home + "/Spare", false),
                                         testFolder(home + "/gone/Old", true)});
        rig.state->sessions()->setUnlockedApps({"b.unlocked", "d.offopen"});
        auto window = open(rig);
        QQuickItem* root = window->contentItem();
        QCOMPARE(buttons(root, "a.locked"), "unlock");
        QCOMPARE(buttons(root, "b.unlocked"), "relock");
        QCOMPARE(buttons(root, "c.off"), "");
        QCOMPARE(buttons(root, "d.offopen"), "relock");
        QVERIFY(texts(one(root, "app-a.locked")).contains("Locked"));

        // Each button acts on its own row, once per click, and the row follows.
        click(one(one(root, "app-b.unlocked"), "relock"));
        QCOMPARE(buttons(root, "b.unlocked"), "unlock");
        rig.authenticator.script = {Result::success};
        click(one(one(root, "app-a.locked"), "unlock"));
        QCOMPARE(rig.authenticator.calls.size(), 1);
        QTRY_COMPARE(buttons(root, "a.locked"), "relock");
        // Turning protection off and removing wait for proof; turning it on does not.
        rig.authenticator.script = {Result::success, Result::success};
        click(one(one(root, "app-b.unlocked"), "protection"));
        QTRY_COMPARE(buttons(root, "b.unlocked"), "");
        click(one(one(root, "app-b.unlocked"), "protection"));
        QVERIFY(rig.state->policy()->apps()[1].enabled);
        click(one(one(root, "app-d.offopen"), "remove"));
        QTRY_VERIFY(!one(root, "app-d.offopen"));

        click(one(root, "sidebar-folders"));
        QQuickItem* taxes = one(root, "folder-Taxes");
        QQuickItem* open = one(root, "folder-Open");
        QCOMPARE(texts(taxes), QStringList({"Taxes", "Locked", "~/Taxes", "Unlock"}));
        QVERIFY(one(taxes, "unlock") && !one(taxes, "lock") && one(taxes, "lockBadge"));
        QVERIFY(one(open, "lock") && !one(open, "unlock") && !one(open, "lockBadge"));
        // A folder that is not there offers nothing to lock or unlock, and says why.
        QQuickItem* gone = one(root, "folder-Old");
        QCOMPARE(texts(gone),
                 QStringList({"Old", "Missing", "nothing is at " + home + "/gone/Old", "~/gone/Old"}));
        QVERIFY(!one(gone, "lock") && !one(gone, "unlock") && !one(gone, "lockBadge"));
        click(one(open, "lock"));
        QTRY_VERIFY(rig.state->policy()->folders()[1].isLocked);
        QVERIFY(one(one(root, "folder-Open"), "unlock"));
        click(one(one(root, "folder-Taxes"), "unlock"));
        QCOMPARE(rig.authenticator.calls.size(), 4);
        rig.authenticator.reply(Result::userCancel);
        // Remove, once proven.
        rig.authenticator.script = {Result::success};
        click(one(one(root, "folder-Taxes"), "remove"));
        QTRY_COMPARE(rig.state->policy()->folders().size(), 3);
        QTRY_VERIFY(!one(root, "folder-Taxes"));

        // Lock Everything relocks the open app and folder.
        click(one(root, "lockEverything"));
        QVERIFY(rig.state->sessions()->unlockedApps().isEmpty());
        QTRY_VERIFY(rig.state->policy()->folders()[1].isLocked);
        QCOMPARE(rig.state->log()->events()[1].detail, "Manual lock-all");
    }

    // The choosers list what can be added and add several at once.
    void choosersAddSeveralAtOnce()
    {
        ViewRig rig;
        for (const QString entry : {"org.veilmark.Veilmark=Veilmark", "org.example.Zebra=Zebra Notes",
                                    "org.example.Atlas=Atlas", "org.example.Mail=Mail"})
            rig.installed.applications.append({entry.section('=', 0, 0), entry.section('=', 1),
                                               "/apps/" + entry.section('=', 0, 0) + ".desktop"});
        rig.installed.applications[2].keywords = {"Maps", "Globe"}; // Atlas
        for (const char* name : {"Beta", "alpha", "Gamma/Inner", ".hidden"})
            QDir().mkpath(rig.home.path() + "/" + name);
        rig.state->policy()->addApp(testApp("org.example.Mail", "Mail"));
        auto window = open(rig);
        QQuickItem* root = window->contentItem();

        // Installed applications, never Veilmark itself; one already protected.
        click(one(root, "addApp"));
        QTRY_VERIFY(one(root, "appChooserList"));
        QVERIFY(!one(root, "chooserConfirm")->isEnabled());
        QQuickItem* list = one(root, "appChooserList");
        QTRY_COMPARE(texts(list), QStringList({"Atlas", "Mail", "Zebra Notes"}));
        // Typing finds by name, ID or keyword; a choice stays made while the filter hides it.
        for (const char key : {'z', 'E', 'b'})
            QTest::keyClick(window.get(), key);
        QTRY_COMPARE(texts(list), QStringList({"Zebra Notes"}));
        click(choice(list, "Zebra Notes"));
        for (const char* typed : {"example.mail", "globe"}) {
            rig.context->installedApps()->setFilter(typed);
            QCOMPARE(texts(list).size(), 1);
            click(choice(list, texts(list).first()));
        }
        rig.context->installedApps()->setFilter("");
        QCOMPARE(texts(list), QStringList({"Atlas", "Mail", "Zebra Notes"}));
        QCOMPARE(rig.context->installedApps()->chosenCount(), 3);
        rig.context->installedApps()->setFilter("zeb"); // hidden choices are added all the same
        click(one(root, "chooserConfirm"));
        QStringList added;
        for (const ProtectedApp& a : rig.state->policy()->apps())
            added << a.bundleID + "|" + a.name;
        QCOMPARE(added, QStringList({"org.example.Mail|Mail", "org.example.Atlas|Atlas",
                                     "org.example.Zebra|Zebra Notes"}));
        qunsetenv("XDG_DATA_DIRS");

        // The home's visible folders; each chosen one is locked at once.
        click(one(root, "sidebar-folders"));
        click(one(root, "addFolder"));
        QTRY_VERIFY(one(root, "folderChooserList"));
        list = one(root, "folderChooserList");
        QTRY_COMPARE(texts(list), QStringList({"alpha", "Beta", "Gamma"}));
        click(choice(list, "Beta"));
        click(choice(list, "alpha"));
        click(one(root, "chooserConfirm"));
        added.clear();
        for (const ProtectedFolder& f : rig.state->policy()->folders()) {
            added << f.path.mid(rig.home.path().size());
            QVERIFY(f.isLocked);
            AccessControlLock::unlockAndVerify(f.path);
        }
        QCOMPARE(added, QStringList({"/Beta", "/alpha"}));
    }

    // On a desktop without window watching and without a usable fingerprint reader.
    void settingsReadAndWriteTheStore()
    {
        ViewRig rig(false);
        rig.authenticator.fingerprintUsable = false;
        VeilmarkSettings stored = rig.state->policy()->settings();
        stored.defaultFolderUnlockMinutes = 200;
        stored.launchAtLogin = true; // stored, but not registered
        rig.state->policy()->setSettings(stored);
        auto window = open(rig);
        QQuickItem* root = window->contentItem();
        QCOMPARE(textOf(root, "waylandNotice"),
                 "This compositor cannot hide windows. Folders, activity and settings work as usual.");
        // Nothing watches applications here, so none of them is said to be locked.
        rig.state->policy()->addApp(testApp("firefox-esr", "Firefox"));
        QTRY_VERIFY(one(root, "status"));
        QCOMPARE(textOf(root, "status"), "Not watched");
        QVERIFY(collect(root, [](QQuickItem* i) {
                    return i->objectName() == "unlock" && i->isVisible();
                }).isEmpty());
        click(one(root, "sidebar-settings"));
        QCOMPARE(textOf(root, "authStatus"),
                 "No biometrics available — your account password is used as the fallback.");

        // The stepper shows a stored value past its range; its buttons stop at the ends.
        QCOMPARE(textOf(root, "minutesLabel"), "200 min");
        QVERIFY(!one(root, "increment")->isEnabled());
        click(one(root, "decrement"));
        QCOMPARE(textOf(root, "minutesLabel"), "120 min");
        rig.context->settings()->stepMinutes(-500);
        QVERIFY(!one(root, "decrement")->isEnabled());

        // The login switch shows the registration, not the stored flag; a failure is logged.
        QVERIFY(!isOn(root, "launchAtLogin"));
        rig.loginItems.failure = "Permission denied";
        click(one(root, "launchAtLogin"));
        QVERIFY(!isOn(root, "launchAtLogin"));
        rig.loginItems.failure.reset();
        click(one(root, "launchAtLogin"));
        QVERIFY(isOn(root, "launchAtLogin"));

        // One click flips a setting once.
        rig.authenticator.script = {Result::success};
        click(one(root, "relockOnFocusLoss"));
        QTRY_VERIFY(!rig.state->policy()->settings().relockAppsOnFocusLoss);
        QVERIFY(!isOn(root, "relockOnFocusLoss"));
        // Appearance: the palette follows the choice.
        click(one(root, "appearance-dark"));
        QVERIFY(Theme::paletteIsDark());
        click(one(root, "appearance-light"));
        QVERIFY(!Theme::paletteIsDark());
    }

    // A policy that cannot be saved shows as one line above every screen until a save works.
    void storageNoticeAboveEveryScreen()
    {
        ViewRig rig;
        auto window = open(rig);
        QQuickItem* root = window->contentItem();
        QVERIFY(!one(root, "storageNotice"));
        // A directory in the document's place fails every save, for root too.
        QVERIFY(QDir().mkdir(rig.state->policy()->filePath()));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot save the policy"));
        rig.state->policy()->addApp(testApp("firefox-esr", "Firefox"));
        QCOMPARE(texts(one(root, "storageNotice")), QStringList{"Changes are not saved: Is a directory"});
        click(one(root, "sidebar-folders"));
        QVERIFY(one(root, "storageNotice"));
        shoot(*window, "storage-notice");
        QVERIFY(QDir().rmdir(rig.state->policy()->filePath()));
        rig.state->policy()->addApp(testApp("gedit", "Text Editor"));
        QVERIFY(!one(root, "storageNotice"));
    }

    void keyboardReachesEveryControlWithAName()
    {
        ViewRig rig;
        rig.state->policy()->setApps({testApp("firefox-esr", "Firefox")});
        auto window = open(rig);
        window->requestActivate();
        QTRY_COMPARE(QGuiApplication::focusWindow(), window.get());
        QStringList reached;
        for (int i = 0; i < 30; ++i) {
            QTest::keyClick(window.get(), Qt::Key_Tab);
            QQuickItem* focus = window->activeFocusItem();
            QVERIFY(focus);
            reached << focus->objectName();
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(focus);
            QVERIFY2(accessible && !accessible->text(QAccessible::Name).isEmpty(),
                     qPrintable(reached.last()));
        }
        for (const char* name : {"sidebar-apps", "sidebar-folders", "sidebar-about", "lockEverything",
                                 "addApp", "unlock", "protection", "remove"})
            QVERIFY2(reached.contains(name), qPrintable(reached.join(',')));
        // Return on a sidebar row opens its screen.
        while (window->activeFocusItem()->objectName() != "sidebar-settings")
            QTest::keyClick(window.get(), Qt::Key_Tab);
        QTest::keyClick(window.get(), Qt::Key_Return);
        QVERIFY(texts(detail(*window)).contains("How Veilmark locks and relocks"));
    }

    // The panel lists enabled records only, grows with them, and its buttons act at once.
    void trayPanel()
    {
        ViewRig rig;
        TrayPanel panel(*rig.context);
        panel.popUp(QRect(600, 0, 24, 24));
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QQuickItem* root = panel.rootObject();
        QVERIFY(one(root, "nothingProtected"));
        rig.state->policy()->setApps(
            {testApp("off.app", "Off App", false), testApp("firefox-esr", "Firefox")});
        QVERIFY(QDir().mkpath(rig.home.path() + "/Open"));
        rig.state->policy()->setFolders(
            {testFolder("/nonexistent/Off", true, false), testFolder(rig.home.path() + "/Open", false)});
        QVERIFY(!one(root, "nothingProtected"));
        QVERIFY(!one(root, "trayApp-off.app") && !one(root, "trayFolder-Off"));
        QCOMPARE(textOf(root, "lockedCount"), "1 locked");
        QTRY_COMPARE(panel.height(), qRound(root->height()));
        QTRY_VERIFY(one(root, "trayFolder-Open")); // the list makes its rows on the next frame
        click(one(one(root, "trayFolder-Open"), "lock"));
        QTRY_COMPARE(textOf(root, "lockedCount"), "2 locked");
        click(one(one(root, "trayApp-firefox-esr"), "unlock"));
        rig.authenticator.reply(Result::success);
        QTRY_COMPARE(textOf(root, "lockedCount"), "1 locked");

        click(one(root, "lockAll"));
        QCOMPARE(textOf(root, "lockedCount"), "2 locked");
        QCOMPARE(rig.state->log()->events()[0].detail, "Tray lock-all");
        // "Open Veilmark" asks for the main window and puts the panel away.
        QSignalSpy requested(rig.context.get(), &ViewContext::mainWindowRequested);
        click(one(root, "openMain"));
        QCOMPARE(requested.size(), 1);
        QVERIFY(!panel.isVisible());
    }

    // Every screen and the tray panel, filled, in both palettes, in English and in German, saved
    // under screenshots/ for a person to look at.
    void screenshots()
    {
        const auto english = qScopeGuard([] { Translations::install(QLocale::c()); });
        for (const QString language : {"en", "de"})
            for (const QString mode : {"light", "dark"}) {
                QCOMPARE(Translations::install(QLocale(language)), language);
                const QString suffix = "-" + mode + (language == "en" ? "" : "-" + language);
                ViewRig rig;
                rig.context->settings()->setAppearance(mode);
                QCOMPARE(Theme::paletteIsDark(), mode == "dark");
                rig.state->policy()->setApps({testApp("org.gnome.Calculator", "Calculator"),
                                              testApp("firefox-esr", "Firefox ESR"),
                                              testApp("gedit", "Text Editor", false)});
                rig.state->sessions()->insertUnlockedApp("firefox-esr");
                for (const char* name : {"/Taxes", "/Team"})
                    QVERIFY(QDir().mkpath(rig.home.path() + name));
                QVERIFY(!AccessControlLock::lockAndVerify(rig.home.path() + "/Taxes"));
                rig.state->policy()->setFolders({testFolder(rig.home.path() + "/Taxes", true),
                                                 testFolder(rig.home.path() + "/Team", false),
                                                 testFolder(rig.home.path() + "/Archive", true)});
                rig.state->log()->record(LogEventKind::folderAuthFailed, "Taxes",
                                         "Fingerprint not recognized");
                rig.state->log()->record(LogEventKind::appUnlocked, "Firefox ESR", "");
                for (const QString screen : {"apps", "folders", "activity", "settings", "about"}) {
                    auto window = open(rig, screen);
                    QVERIFY(window);
                    QVERIFY(!texts(detail(*window)).isEmpty());
                    shoot(*window, screen + suffix);
                }
                TrayPanel panel(*rig.context);
                panel.popUp(QRect(600, 0, 24, 24));
                QVERIFY(QTest::qWaitForWindowExposed(&panel));
                QVERIFY(texts(panel.rootObject()).contains("Calculator"));
                shoot(panel, "tray" + suffix);
            }
    }
};

QTEST_MAIN(TestScreens)
#include "TestScreens.moc"
