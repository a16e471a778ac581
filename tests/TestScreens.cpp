#include "DirectoryModel.h"
#include "EventListModel.h"
#include "MainWindow.h"
#include "SettingsModel.h"
#include "Theme.h"
#include "TrayPanel.h"
#include "VeilmarkVersion.h"
#include "ViewRig.h"
#include "auth/SessionManager.h"
#include "folders/AccessControlLock.h"
#include "model/JsonFields.h"
#include "store/EventLog.h"
#include "store/PolicyStore.h"

#include <QAccessible>
#include <QApplication>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtQml/QQmlExtensionPlugin>

Q_IMPORT_QML_PLUGIN(VeilmarkPlugin)

using namespace view;
using Result = Authenticator::Result;

namespace {
const QString SystemEntry = QStringLiteral("/usr/share/applications/");

ProtectedApp app(const QString& id, const QString& name, bool enabled = true)
{
    return {id, name, SystemEntry + id + ".desktop", enabled, true};
}

ProtectedFolder folder(const QString& path, bool locked, bool enabled = true)
{
    return {QUuid::createUuid(), path, path.section('/', -1), enabled, locked, 10};
}

// Everything a screen shows at once: two apps, three folders, a few events.
void sampleData(ViewRig& rig)
{
    rig.state->policy()->setApps({app("org.gnome.Calculator", "Calculator"),
                                  app("firefox-esr", "Firefox ESR"),
                                  app("org.gnome.TextEditor", "Text Editor", false)});
    rig.state->sessions()->insertUnlockedApp("firefox-esr");
    rig.state->policy()->setFolders({folder(rig.home.path() + "/Documents/Taxes", true),
                                     folder(rig.home.path() + "/Pictures/Private", false),
                                     folder("/srv/shared/Contracts", true)});
    EventLog& log = *rig.state->log();
    log.record(LogEventKind::appUnlocked, "Firefox ESR", "");
    log.record(LogEventKind::folderAuthFailed, "Taxes", "Fingerprint not recognized — try again");
    log.record(LogEventKind::systemRelock, "All apps", "Screen locked");
    log.record(LogEventKind::folderRelocked, "Private", "Unlock session expired");
    log.record(LogEventKind::error, "Launch at Login", "Permission denied");
}

QQuickItem* row(QQuickItem* root, const QString& name)
{
    return one(root, name);
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

    // Saves the window and fails when it is (nearly) one flat colour.
    static void shoot(QQuickWindow& window, const QString& name)
    {
        QTest::qWait(400); // springs settle
        const QImage image = window.grabWindow();
        QVERIFY(!image.isNull());
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 3) {
            for (int x = 0; x < image.width(); x += 3)
                colours.insert(image.pixel(x, y));
        }
        QVERIFY2(colours.size() > 40, qPrintable(name + " renders empty"));
        QDir().mkpath("screenshots");
        QVERIFY(image.save("screenshots/" + name + ".png"));
    }

private slots:
    // A QML error or warning fails the test that caused it.
    void init() { QTest::failOnWarning(QRegularExpression(".+")); }

    void firstDisplayShowsAppsAndTheSidebarSwitchesScreens()
    {
        ViewRig rig;
        auto window = open(rig);
        QVERIFY(window);
        QQuickItem* root = window->contentItem();
        QVERIFY(one(root, "sidebar-apps")->property("selected").toBool());
        QVERIFY(texts(root).contains("Protected Apps"));
        QVERIFY(texts(root).contains("Apps stay hidden behind glass until you prove it's you"));

        const QList<std::pair<QString, QString>> screens = {{"folders", "Protected Folders"},
                                                            {"activity", "Activity"},
                                                            {"settings", "How Veilmark locks and relocks"},
                                                            {"about", "Who builds Veilmark"},
                                                            {"apps", "Protected Apps"}};
        for (const auto& [id, heading] : screens) {
            QQuickItem* item = one(root, "sidebar-" + id);
            // The empty part of the row, right of its title, selects it too.
            click(item, QPointF(item->width() - 8, item->height() / 2));
            QVERIFY(item->property("selected").toBool());
            QVERIFY2(texts(detail(*window)).contains(heading), qPrintable(id));
        }
        QCOMPARE(texts(root).count("About Developer"), 1);
    }

    void emptyStates()
    {
        ViewRig rig;
        auto window = open(rig);
        QQuickItem* root = window->contentItem();
        QVERIFY(one(root, "emptyApps"));
        QVERIFY(!one(root, "appList"));
        QVERIFY(texts(root).contains("No protected apps yet"));
        QVERIFY(texts(root).contains(
            "Add an app and it will instantly hide and blur whenever it opens, until you "
            "unlock it with your fingerprint or password."));
        QVERIFY(!one(root, "waylandNotice"));

        click(one(root, "sidebar-folders"));
        QVERIFY(one(root, "emptyFolders"));
        QVERIFY(!one(root, "folderList"));
        QVERIFY(texts(root).contains("No protected folders yet"));
        QVERIFY(texts(root).contains(
            "Add a folder and it stays exactly where it is — locked and unopenable, shown with a no-access "
            "badge, "
            "until you unlock it with your fingerprint or password. Your files are never moved."));

        click(one(root, "sidebar-activity"));
        QVERIFY(texts(root).contains("Nothing yet"));
        QVERIFY(texts(root).contains("Lock and unlock events will appear here."));
        QVERIFY(!one(root, "clear"));

        // The first folder replaces the empty card with the list.
        click(one(root, "sidebar-folders"));
        rig.state->policy()->addFolder(folder("/nonexistent/Work", true));
        QVERIFY(!one(root, "emptyFolders"));
        QVERIFY(one(root, "folderList"));
    }

    void appRowsOfferWhatTheirStateAllows()
    {
        ViewRig rig;
        rig.state->policy()->setApps({app("a.locked", "Locked On"), app("b.unlocked", "Unlocked On"),
                                      app("c.off", "Locked Off", false),
                                      app("d.offopen", "Unlocked Off", false)});
        rig.state->sessions()->setUnlockedApps({"b.unlocked", "d.offopen"});
        auto window = open(rig);
        QQuickItem* root = window->contentItem();
        const auto buttons = [&](const QString& id) {
            QStringList shown;
            QQuickItem* r = row(root, "app-" + id);
            for (const char* name : {"unlock", "relock"}) {
                if (one(r, name))
                    shown << name;
            }
            return shown;
        };
        QCOMPARE(buttons("a.locked"), QStringList{"unlock"});
        QCOMPARE(buttons("b.unlocked"), QStringList{"relock"});
        QCOMPARE(buttons("c.off"), QStringList{});
        QCOMPARE(buttons("d.offopen"), QStringList{"relock"});
        QVERIFY(texts(row(root, "app-a.locked")).contains("Locked"));
        QVERIFY(texts(row(root, "app-b.unlocked")).contains("Unlocked"));
        QVERIFY(one(row(root, "app-a.locked"), "protection")->property("isOn").toBool());
        QVERIFY(!one(row(root, "app-c.off"), "protection")->property("isOn").toBool());

        // Relock: the row turns locked and offers Unlock.
        click(one(row(root, "app-b.unlocked"), "relock"));
        QVERIFY(!rig.state->sessions()->isAppUnlocked("b.unlocked"));
        QCOMPARE(buttons("b.unlocked"), QStringList{"unlock"});

        // Unlock asks for presence, then the row follows the session.
        rig.authenticator.script = {Result::success};
        click(one(row(root, "app-a.locked"), "unlock"));
        QCOMPARE(rig.authenticator.calls.size(), 1);
        QTRY_VERIFY(rig.state->sessions()->isAppUnlocked("a.locked"));
        QCOMPARE(buttons("a.locked"), QStringList{"relock"});

        // The switch turns protection off, once per click.
        QQuickItem* toggle = one(row(root, "app-b.unlocked"), "protection");
        click(toggle);
        QVERIFY(!rig.state->policy()->apps()[1].enabled);
        QVERIFY(!one(row(root, "app-b.unlocked"), "protection")->property("isOn").toBool());
        QCOMPARE(buttons("b.unlocked"), QStringList{});
        click(one(row(root, "app-b.unlocked"), "protection"));
        QVERIFY(rig.state->policy()->apps()[1].enabled);

        // Remove clears the unlock before the record goes, and logs it.
        click(one(row(root, "app-d.offopen"), "remove"));
        QVERIFY(!rig.state->sessions()->isAppUnlocked("d.offopen"));
        QCOMPARE(rig.state->policy()->apps().size(), 3);
        QVERIFY(!row(root, "app-d.offopen"));
        const LogEvent last = rig.state->log()->events().first();
        QCOMPARE(last.subject, "Unlocked Off");
        QCOMPARE(last.detail, "Protection removed");
        QCOMPARE(last.kind, LogEventKind::appRelocked);
    }

    void addAppChoosesInstalledEntriesButNeverVeilmark()
    {
        QTemporaryDir dataDirs;
        const QString apps = dataDirs.path() + "/applications";
        QDir().mkpath(apps);
        const auto entry = [&](const QString& id, const QString& name) {
            QFile file(apps + "/" + id + ".desktop");
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[Desktop Entry]\nType=Application\nName=" + name.toUtf8() + "\nExec=true\n");
        };
        entry("org.veilmark.Veilmark", "Veilmark");
        entry("org.example.Zebra", "Zebra Notes");
        entry("org.example.Atlas", "Atlas");
        entry("org.example.Mail", "Mail");
        entry("org.example.Helper", "Helper\nNoDisplay=true");
        qputenv("XDG_DATA_DIRS", QFile::encodeName(dataDirs.path()));
        ViewRig rig;
        rig.state->policy()->addApp(app("org.example.Mail", "Mail"));
        auto window = open(rig);
        QQuickItem* root = window->contentItem();

        click(one(root, "addApp"));
        QTRY_VERIFY(one(root, "appChooserList"));
        QVERIFY(texts(root).contains("Choose an application to protect"));
        QVERIFY(!one(root, "chooserConfirm")->isEnabled());
        QQuickItem* list = one(root, "appChooserList");
        QTRY_COMPARE(texts(list), QStringList({"Atlas", "Mail", "Zebra Notes"}));

        // Several at once, one of them already protected.
        const auto choose = [&](const QString& name) {
            QList<QQuickItem*> rows;
            collect(
                list,
                [&](QQuickItem* i) {
                    return i->property("text").toString() == name && i->inherits("QQuickItemDelegate");
                },
                rows);
            QCOMPARE(rows.size(), 1);
            click(rows.first());
        };
        choose("Zebra Notes");
        choose("Mail");
        choose("Atlas");
        click(one(root, "chooserConfirm"));
        QStringList ids;
        for (const ProtectedApp& a : rig.state->policy()->apps())
            ids << a.bundleID + "|" + a.name;
        QCOMPARE(ids, QStringList({"org.example.Mail|Mail", "org.example.Atlas|Atlas",
                                   "org.example.Zebra|Zebra Notes"}));
        QCOMPARE(rig.state->policy()->apps()[1].appPath, apps + "/org.example.Atlas.desktop");
        qunsetenv("XDG_DATA_DIRS");
    }

    void folderRowsAndActions()
    {
        ViewRig rig;
        const QString inside = rig.home.path() + "/missing/Taxes";
        rig.state->policy()->setFolders({folder(inside, true), folder("/nonexistent/Open", false)});
        const QString lockedId = JsonFields::uuidText(rig.state->policy()->folders()[0].id);
        auto window = open(rig, "folders");
        QQuickItem* root = window->contentItem();
        QQuickItem* taxes = row(root, "folder-Taxes");
        QQuickItem* open = row(root, "folder-Open");
        QVERIFY(texts(taxes).contains("~/missing/Taxes"));
        QVERIFY(texts(taxes).contains("Locked"));
        QVERIFY(texts(open).contains("/nonexistent/Open"));
        QVERIFY(texts(open).contains("Unlocked"));
        QVERIFY(one(taxes, "unlock") && !one(taxes, "lock") && one(taxes, "lockBadge"));
        QVERIFY(one(open, "lock") && !one(open, "unlock") && !one(open, "lockBadge"));

        // Lock: a missing directory counts as locked.
        click(one(open, "lock"));
        QTRY_VERIFY(rig.state->policy()->folders()[1].isLocked);
        QVERIFY(one(row(root, "folder-Open"), "unlock"));

        // Unlock asks for presence.
        click(one(row(root, "folder-Taxes"), "unlock"));
        QCOMPARE(rig.authenticator.calls.size(), 1);
        rig.authenticator.reply(Result::userCancel);

        // Remove, without confirmation.
        click(one(row(root, "folder-Taxes"), "remove"));
        QCOMPARE(rig.state->policy()->folders().size(), 1);
        for (const ProtectedFolder& f : rig.state->policy()->folders())
            QVERIFY(JsonFields::uuidText(f.id) != lockedId);
    }

    void addFolderChoosesSeveralFromHome()
    {
        ViewRig rig;
        for (const char* name : {"Beta", "alpha", "Gamma/Inner", ".hidden"})
            QDir().mkpath(rig.home.path() + "/" + name);
        auto window = open(rig, "folders");
        QQuickItem* root = window->contentItem();
        click(one(root, "addFolder"));
        QTRY_VERIFY(one(root, "folderChooserList"));
        QVERIFY(texts(root).contains("Choose a folder to protect"));
        QVERIFY(
            texts(root).contains("Pick a folder inside your home folder. It will be locked immediately."));
        QVERIFY(texts(root).contains("~"));
        QQuickItem* list = one(root, "folderChooserList");
        QTRY_COMPARE(texts(list), QStringList({"alpha", "Beta", "Gamma"}));
        const auto rowNamed = [&](const QString& name) {
            QList<QQuickItem*> rows;
            collect(
                list,
                [&](QQuickItem* i) {
                    return i->property("text").toString() == name && i->inherits("QQuickItemDelegate");
                },
                rows);
            return rows.value(0);
        };
        click(rowNamed("Beta"));
        click(rowNamed("alpha"));
        // Into Gamma with the keyboard, choose Inner there too.
        rig.context->directories()->enter(2);
        QTRY_COMPARE(texts(list), QStringList{"Inner"});
        click(rowNamed("Inner"));
        click(one(root, "chooserConfirm"));
        QStringList paths;
        for (const ProtectedFolder& f : rig.state->policy()->folders())
            paths << f.path.mid(rig.home.path().size());
        QCOMPARE(paths, QStringList({"/Beta", "/alpha", "/Gamma/Inner"}));
        for (const ProtectedFolder& f : rig.state->policy()->folders())
            AccessControlLock::unlockAndVerify(f.path);
    }

    void activityListsTheLogAndClears()
    {
        ViewRig rig;
        rig.state->log()->record(LogEventKind::appUnlocked, "Firefox", "");
        rig.state->log()->record(LogEventKind::folderAuthFailed, "Taxes", "Authentication failed");
        auto window = open(rig, "activity");
        QQuickItem* root = window->contentItem();
        QStringList shown = texts(one(root, "eventList"));
        // Newest first; an empty detail adds no line.
        QCOMPARE(shown.size(), 5);
        QCOMPARE(shown[0], "Taxes");
        QCOMPARE(shown[1], "Authentication failed");
        QCOMPARE(shown[3], "Firefox");
        QCOMPARE(shown[2], EventListModel::formatDate(rig.state->log()->events()[0].date));
        QVERIFY(one(root, "clear"));
        // A record while the page is open shows at the top.
        rig.state->log()->record(LogEventKind::systemRelock, "All apps", "Screen locked");
        QCOMPARE(texts(one(root, "eventList")).first(), "All apps");

        click(one(root, "clear"));
        QVERIFY(rig.state->log()->events().isEmpty());
        QVERIFY(!one(root, "clear"));
        QVERIFY(texts(root).contains("Nothing yet"));
    }

    void activityDatesFollowTheLocale()
    {
        const QDateTime date(QDate(2024, 3, 1), QTime(14, 5));
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        QCOMPARE(EventListModel::formatDate(date, us),
                 "Mar 1, 2024 " + us.toString(QTime(14, 5), QLocale::ShortFormat));
        const QLocale de(QLocale::German, QLocale::Germany);
        QCOMPARE(EventListModel::formatDate(date, de), "1. März 2024 14:05");
    }

    void settingsReadAndWriteTheStore()
    {
        ViewRig rig([](PolicySnapshot& s) {
            s.settings.defaultFolderUnlockMinutes = 200;
            s.settings.launchAtLogin = true; // stored, but not registered
        });
        auto window = open(rig, "settings");
        QQuickItem* root = window->contentItem();
        QCOMPARE(one(root, "minutesLabel")->property("text").toString(), "200 min");
        QVERIFY(!one(root, "increment")->isEnabled());
        click(one(root, "decrement"));
        QCOMPARE(rig.state->policy()->settings().defaultFolderUnlockMinutes, 120);
        QCOMPARE(one(root, "minutesLabel")->property("text").toString(), "120 min");
        QVERIFY(!one(root, "increment")->isEnabled());
        rig.context->settings()->stepMinutes(-500);
        QCOMPARE(rig.state->policy()->settings().defaultFolderUnlockMinutes, 1);
        QVERIFY(!one(root, "decrement")->isEnabled());
        click(one(root, "increment"));
        QCOMPARE(rig.state->policy()->settings().defaultFolderUnlockMinutes, 2);

        // The login switch shows the registration, not the stored flag.
        QVERIFY(!one(root, "launchAtLogin")->property("isOn").toBool());
        rig.loginItems.failure = "Permission denied";
        click(one(root, "launchAtLogin"));
        QVERIFY(!one(root, "launchAtLogin")->property("isOn").toBool());
        QCOMPARE(rig.state->log()->events().size(), 1);
        QCOMPARE(rig.state->log()->events()[0].subject, "Launch at Login");
        rig.loginItems.failure.reset();
        click(one(root, "launchAtLogin"));
        QVERIFY(rig.loginItems.registered);
        QVERIFY(one(root, "launchAtLogin")->property("isOn").toBool());

        // One click flips the setting once, and the knob slides to the other end.
        QQuickItem* knob = one(one(root, "relockOnFocusLoss"), "knob");
        QCOMPARE(knob->x(), 21.0);
        click(one(root, "relockOnFocusLoss"));
        QVERIFY(!rig.state->policy()->settings().relockAppsOnFocusLoss);
        QVERIFY(!one(root, "relockOnFocusLoss")->property("isOn").toBool());
        QTRY_COMPARE(knob->x(), 2.0);
        click(one(root, "relockOnSleep"));
        QVERIFY(!rig.state->policy()->settings().relockOnSleepOrScreenLock);

        // Appearance: stored and applied; the views follow the palette.
        click(one(root, "appearance-dark"));
        QCOMPARE(rig.state->policy()->settings().appearance, AppearanceMode::dark);
        QVERIFY(Theme::paletteIsDark());
        click(one(root, "appearance-light"));
        QCOMPARE(rig.state->policy()->settings().appearance, AppearanceMode::light);
        QVERIFY(!Theme::paletteIsDark());
    }

    void authenticationCardFollowsTheReader_data()
    {
        QTest::addColumn<bool>("usable");
        QTest::addColumn<QString>("sentence");
        QTest::addColumn<QString>("symbol");
        QTest::newRow("fingerprint") << true << "Fingerprint is available and will be used for every unlock."
                                     << "checkmark.seal.fill";
        QTest::newRow("none") << false
                              << "No biometrics available — your account password is used as the fallback."
                              << "exclamationmark.triangle.fill";
    }

    void authenticationCardFollowsTheReader()
    {
        QFETCH(bool, usable);
        QFETCH(QString, sentence);
        QFETCH(QString, symbol);
        ViewRig rig;
        rig.authenticator.fingerprintUsable = usable;
        rig.authenticator.readerPresent = usable;
        auto window = open(rig, "settings");
        QQuickItem* root = window->contentItem();
        QCOMPARE(one(root, "authStatus")->property("text").toString(), sentence);
        QCOMPARE(one(root, "authSymbol")->property("name").toString(), symbol);
    }

    void aboutNamesTheMakerAndVersion()
    {
        ViewRig rig;
        auto window = open(rig, "about");
        const QStringList shown = texts(detail(*window));
        for (const char* text : {"Company", "Veilmark Project", "Developer", "The Veilmark developers",
                                 "Role", "Open-source maintainers", "Veilmark"})
            QVERIFY2(shown.contains(text), text);
        QVERIFY(shown.contains("Version " VEILMARK_VERSION
                               " — Fingerprint and password protection for apps and folders"));
    }

    void lockEverythingRelocksAppsAndFolders()
    {
        ViewRig rig;
        rig.state->policy()->setApps({app("firefox-esr", "Firefox")});
        rig.state->policy()->setFolders({folder("/nonexistent/Open", false)});
        rig.state->sessions()->insertUnlockedApp("firefox-esr");
        auto window = open(rig);
        click(one(window->contentItem(), "lockEverything"));
        QVERIFY(rig.state->sessions()->unlockedApps().isEmpty());
        QVERIFY(rig.state->policy()->folders()[0].isLocked);
        QCOMPARE(rig.state->log()->events()[1].detail, "Manual lock-all");
        QCOMPARE(rig.state->log()->events()[0].detail, "Manual lock-all");
        // With nothing unlocked it changes nothing.
        const qsizetype before = rig.state->log()->events().size();
        click(one(window->contentItem(), "lockEverything"));
        QCOMPARE(rig.state->log()->events().size(), before);
    }

    void glassButtonLooksPressedOnlyWhileHeld()
    {
        ViewRig rig;
        auto window = open(rig);
        QQuickItem* button = one(window->contentItem(), "addApp");
        const QPoint centre =
            button->mapToScene(QPointF(button->width() / 2, button->height() / 2)).toPoint();
        QTest::mousePress(window.get(), Qt::LeftButton, {}, centre);
        QTRY_VERIFY(qAbs(button->scale() - 0.97) < 0.002);
        QTest::mouseRelease(window.get(), Qt::LeftButton, {}, centre);
        QTRY_VERIFY(qAbs(button->scale() - 1.0) < 0.002);
        // The release was a click: the chooser is open; Escape closes it without a change.
        QTRY_VERIFY(one(window->contentItem(), "appChooserList"));
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QTRY_VERIFY(!one(window->contentItem(), "appChooserList"));
        QVERIFY(rig.state->policy()->apps().isEmpty());
    }

    void appsScreenSaysWhenAppsCannotBeProtected()
    {
        ViewRig rig({}, false);
        auto window = open(rig);
        QQuickItem* notice = one(window->contentItem(), "waylandNotice");
        QVERIFY(notice);
        QCOMPARE(notice->property("text").toString(),
                 "App protection needs an X11 session; folders, activity and settings work as usual.");
    }

    void keyboardReachesEveryScreen()
    {
        ViewRig rig;
        rig.state->policy()->setApps({app("firefox-esr", "Firefox")});
        auto window = open(rig);
        window->requestActivate();
        QTRY_COMPARE(QGuiApplication::focusWindow(), window.get());
        QStringList reached;
        for (int i = 0; i < 20; ++i) {
            QTest::keyClick(window.get(), Qt::Key_Tab);
            QQuickItem* focus = window->activeFocusItem();
            QVERIFY(focus);
            reached << focus->objectName();
        }
        // Everything the keyboard reaches has a name for screen readers.
        for (int i = 0; i < 20; ++i) {
            QTest::keyClick(window.get(), Qt::Key_Tab);
            QAccessibleInterface* accessible =
                QAccessible::queryAccessibleInterface(window->activeFocusItem());
            QVERIFY(accessible);
            QVERIFY2(!accessible->text(QAccessible::Name).isEmpty(),
                     qPrintable(window->activeFocusItem()->objectName()));
        }
        for (const char* name : {"sidebar-apps", "sidebar-folders", "sidebar-about", "lockEverything",
                                 "addApp", "unlock", "protection", "remove"})
            QVERIFY2(reached.contains(name), qPrintable(reached.join(',')));
        // Return on a sidebar row opens its screen; Space works as well.
        while (window->activeFocusItem()->objectName() != "sidebar-settings")
            QTest::keyClick(window.get(), Qt::Key_Tab);
        QTest::keyClick(window.get(), Qt::Key_Return);
        QVERIFY(texts(detail(*window)).contains("How Veilmark locks and relocks"));
        QTest::keyClick(window.get(), Qt::Key_Tab, Qt::ShiftModifier);
        QTest::keyClick(window.get(), Qt::Key_Space);
        QVERIFY(
            texts(detail(*window)).contains("Every lock, unlock and failed attempt — stored locally only"));
    }

    void trayPanelCountsOnlyEnabledLockedRecords()
    {
        ViewRig rig;
        TrayPanel panel(*rig.context);
        panel.popUp(QRect(600, 0, 24, 24));
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QQuickItem* root = panel.rootObject();
        QCOMPARE(panel.width(), 320);
        QVERIFY(one(root, "nothingProtected"));
        QCOMPARE(one(root, "lockedCount")->property("text").toString(), "0 locked");

        // Only disabled records: no rows, no empty message, nothing counted — even a locked folder.
        rig.state->policy()->setApps({app("off.app", "Off App", false)});
        rig.state->policy()->setFolders({folder("/nonexistent/Off", true, false)});
        QVERIFY(!one(root, "nothingProtected"));
        QVERIFY(!one(root, "trayApp-off.app"));
        QVERIFY(!one(root, "trayFolder-Off"));
        QCOMPARE(one(root, "lockedCount")->property("text").toString(), "0 locked");

        rig.state->policy()->setApps(
            {app("off.app", "Off App", false), app("firefox-esr", "Firefox"), app("mail", "Mail")});
        rig.state->policy()->setFolders({folder("/nonexistent/Off", true, false),
                                         folder("/nonexistent/Open", false),
                                         folder("/nonexistent/Shut", true)});
        rig.state->sessions()->insertUnlockedApp("firefox-esr");
        QCOMPARE(one(root, "lockedCount")->property("text").toString(), "2 locked");
        // The panel grows with its rows.
        QTRY_COMPARE(panel.height(), qRound(panel.rootObject()->height()));
        QVERIFY(one(one(root, "trayApp-firefox-esr"), "relock"));
        QVERIFY(one(one(root, "trayApp-mail"), "unlock"));
        QVERIFY(one(one(root, "trayFolder-Open"), "lock"));
        QVERIFY(one(one(root, "trayFolder-Shut"), "unlock"));

        click(one(one(root, "trayApp-firefox-esr"), "relock"));
        QCOMPARE(one(root, "lockedCount")->property("text").toString(), "3 locked");
        QVERIFY(one(one(root, "trayApp-firefox-esr"), "unlock"));
        click(one(one(root, "trayFolder-Open"), "lock"));
        QTRY_COMPARE(one(root, "lockedCount")->property("text").toString(), "4 locked");
        click(one(one(root, "trayApp-mail"), "unlock"));
        QCOMPARE(rig.authenticator.calls.size(), 1);
        rig.authenticator.reply(Result::success);
        QTRY_COMPARE(one(root, "lockedCount")->property("text").toString(), "3 locked");

        // Lock All relocks with the tray's reason.
        click(one(root, "lockAll"));
        QCOMPARE(one(root, "lockedCount")->property("text").toString(), "4 locked");
        QCOMPARE(rig.state->log()->events()[0].detail, "Tray lock-all");

        // "Open Veilmark" asks for the main window and puts the panel away.
        QSignalSpy requested(rig.context.get(), &ViewContext::mainWindowRequested);
        click(one(root, "openMain"));
        QCOMPARE(requested.size(), 1);
        QVERIFY(!panel.isVisible());
    }

    void screenshots_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("light") << "light";
        QTest::newRow("dark") << "dark";
    }

    void screenshots()
    {
        QFETCH(QString, mode);
        for (const QString screen : {"apps", "folders", "activity", "settings", "about"}) {
            ViewRig empty;
            empty.context->settings()->setAppearance(mode);
            auto window = open(empty, screen);
            QVERIFY(window);
            QVERIFY(!texts(detail(*window)).isEmpty());
            shoot(*window, screen + "-empty-" + mode);
        }
        ViewRig rig;
        rig.context->settings()->setAppearance(mode);
        QCOMPARE(Theme::paletteIsDark(), mode == "dark");
        sampleData(rig);
        for (const QString screen : {"apps", "folders", "activity", "settings", "about"}) {
            auto window = open(rig, screen);
            QVERIFY(window);
            QVERIFY(!texts(detail(*window)).isEmpty());
            shoot(*window, screen + "-" + mode);
        }
        // The folder chooser over the Folders screen, in the temporary home.
        for (const char* name : {"Documents", "Music", "Projects", "Taxes 2024"})
            QDir().mkpath(rig.home.path() + "/" + name);
        auto window = open(rig, "folders");
        click(one(window->contentItem(), "addFolder"));
        QTRY_VERIFY(one(window->contentItem(), "folderChooserList"));
        click(one(window->contentItem(), "folderChooserList")->childItems().first()->childItems().value(1));
        shoot(*window, "folder-chooser-" + mode);
        window.reset();

        TrayPanel panel(*rig.context);
        panel.popUp(QRect(600, 0, 24, 24));
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QVERIFY(texts(panel.rootObject()).contains("Calculator"));
        shoot(panel, "tray-" + mode);
    }
};

QTEST_MAIN(TestScreens)
#include "TestScreens.moc"
