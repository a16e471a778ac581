#include "PresencePromptWindow.h"
#include "ShieldWindow.h"
#include "ShieldWindows.h"
#include "TestDataHome.h"
#include "Theme.h"
#include "apps/ShieldModel.h"
#include "auth/AttemptBackoff.h"
#include "auth/PasswordVerifier.h"
#include "auth/PromptAuthenticator.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeFingerprintVerifier.h"
#include "fakes/FakeInstalledApps.h"
#include "store/PolicyStore.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QKeySequence>
#include <QPointer>
#include <QQuickItem>
#include <QQuickView>
#include <QRandomGenerator>
#include <QRasterWindow>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtQml/QQmlExtensionPlugin>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

Q_IMPORT_QML_PLUGIN(VeilmarkPlugin)
Q_IMPORT_QML_PLUGIN(VeilmarkModelsPlugin)

namespace {
// The first visible item below `root` whose `property` is `value` or, without a value, that has it.
QQuickItem* find(QQuickItem* root, const char* property, const QVariant& value = {})
{
    for (QQuickItem* item : root->findChildren<QQuickItem*>()) {
        const QVariant found = item->property(property);
        if (item->isVisible() && found.isValid() && (!value.isValid() || found == value))
            return item;
    }
    return nullptr;
}

// Types `text` into the prompt, then saves it under screenshots/ for a person to look at; an empty
// frame is flat.
void typeAndShoot(QQuickView* view, const char* text, const QString& name)
{
    for (const char* c = text; *c; ++c)
        QTest::keyClick(view, *c);
    const QImage image = view->grabWindow();
    QSet<QRgb> colours;
    for (int i = 0; i < image.width() * image.height(); i += 7)
        colours.insert(image.pixel(i % image.width(), i / image.width()));
    QVERIFY2(colours.size() > 8, qPrintable(name + " rendered empty"));
    QDir().mkpath("screenshots");
    QVERIFY(image.save("screenshots/" + name + ".png"));
}

// The test's secret is kept only masked (each byte XOR Mask), so that the only plain copies in
// memory are the ones typing it makes.
constexpr unsigned char Mask = 0x5a;

bool matchesMasked(const unsigned char* at, int stride, const QByteArray& masked)
{
    for (qsizetype i = 0; i < masked.size(); ++i)
        if ((at[i * stride] ^ Mask) != static_cast<unsigned char>(masked[i]) ||
            (stride == 2 && at[i * 2 + 1] != 0))
            return false;
    return true;
}

// How often the masked secret lies in this process's readable memory as UTF-8 (stride 1) or UTF-16
// (stride 2), read through /proc/self/mem so that no unreadable page can fault. Nothing is
// allocated while searching: freed memory that still holds a copy would be handed out again and
// overwritten before it could be found.
int occurrences(const QByteArray& masked, int stride)
{
    static std::vector<char> maps(4 << 20);
    static std::vector<unsigned char> chunk(1 << 20);
    const int mapsFd = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    size_t length = 0;
    for (ssize_t got; (got = ::read(mapsFd, maps.data() + length, maps.size() - 1 - length)) > 0;)
        length += size_t(got);
    ::close(mapsFd);
    maps[length] = '\0';
    const int mem = ::open("/proc/self/mem", O_RDONLY | O_CLOEXEC);
    const unsigned char first = static_cast<unsigned char>(masked[0]) ^ Mask;
    const qsizetype span = masked.size() * stride;
    int found = 0;
    for (char* line = maps.data(); line && *line;) {
        char* next = std::strchr(line, '\n');
        if (next)
            *next++ = '\0';
        unsigned long long start = 0, end = 0;
        char perms[8] = {};
        const bool readable = std::sscanf(line, "%llx-%llx %7s", &start, &end, perms) == 3 &&
                              perms[0] == 'r' && !std::strstr(line, "[vvar]") &&
                              !std::strstr(line, "[vsyscall]");
        line = next;
        // Chunks overlap by one secret's length, so none is missed at a boundary.
        for (quint64 at = start; readable && at < end; at += chunk.size() - span) {
            const ssize_t got =
                ::pread(mem, chunk.data(), std::min<quint64>(chunk.size(), end - at), off_t(at));
            if (got < span)
                break;
            const unsigned char* last = chunk.data() + got - span;
            for (const unsigned char* hit = chunk.data(); hit <= last; ++hit) {
                hit = static_cast<const unsigned char*>(std::memchr(hit, first, size_t(last - hit + 1)));
                if (!hit)
                    break;
                found += matchesMasked(hit, stride, masked);
            }
            if (at + got >= end)
                break;
        }
    }
    ::close(mem);
    return found;
}

// Accepts the masked secret and wipes what it was given, as the PAM check does.
struct MaskedPasswordCheck : PasswordVerifier
{
    QByteArray masked;
    void verify(QByteArray password, QObject*, std::function<void(Result)> done) override
    {
        const bool right =
            password.size() == masked.size() &&
            matchesMasked(reinterpret_cast<const unsigned char*>(password.constData()), 1, masked);
        explicit_bzero(password.data(), size_t(password.size()));
        done({right ? Verdict::accepted : Verdict::rejected, {}});
    }
};
} // namespace

// The prompt window on a real X server: what each mode shows and what the keys and buttons do.
class TestPresencePromptWindow : public QObject
{
    Q_OBJECT

private slots:
    // A QML error or warning fails the test that caused it.
    void init() { QTest::failOnWarning(QRegularExpression(".+")); }

    // As the authenticator drives it: fingerprint first, then the fallback to a password.
    void fingerprintThenPassword()
    {
        PresencePromptWindow window;
        QSignalSpy fallback(&window, &PresencePrompt::fallbackRequested);
        // Copied deeply: the window wipes what it emitted once the receivers return.
        QList<QByteArray> submitted;
        connect(&window, &PresencePrompt::passwordSubmitted, this, [&](const QByteArray& password) {
            submitted << QByteArray(password.constData(), password.size());
        });
        QSignalSpy cancelled(&window, &PresencePrompt::cancelled);
        window.open(PresencePrompt::Mode::fingerprint, "unlock Firefox");
        QQuickView* view = window.view();
        QVERIFY(QTest::qWaitForWindowExposed(view));
        QQuickItem* root = view->rootObject();
        const auto shown = [root](const QString& text) { return find(root, "text", text) != nullptr; };
        QVERIFY(shown("Veilmark is trying to unlock Firefox.") && shown("Cancel") && !shown("Unlock") &&
                !find(root, "echoMode"));
        typeAndShoot(view, "", "prompt-fingerprint");
        QVERIFY(QMetaObject::invokeMethod(find(root, "text", "Enter Password…"), "clicked"));
        QCOMPARE(fallback.count(), 1);

        // One prompt window: the password mode switches the same window's controls, and brings it to
        // the front with the keyboard even when another window has taken it meanwhile.
        QRasterWindow other;
        other.show();
        QTRY_COMPARE(QGuiApplication::focusWindow(), &other);
        window.open(PresencePrompt::Mode::password, "unlock the folder “Taxes”");
        window.setStatus("Enter your password to allow this.", false);
        QCOMPARE(window.view(), view);
        QTRY_COMPARE(QGuiApplication::focusWindow(), view);
        other.hide();
        QVERIFY(shown("Veilmark is trying to unlock the folder “Taxes”.") && shown("Cancel") &&
                shown("Unlock") && shown("Enter your password to allow this.") && !shown("Enter Password…"));
        QQuickItem* field = find(root, "echoMode");
        QVERIFY(field);
        QTRY_VERIFY(field->hasActiveFocus());

        // Return submits what was typed and empties the field; not while it is being checked.
        typeAndShoot(view, "hunter2", "prompt-password");
        QTest::keyClick(view, Qt::Key_Return);
        QVERIFY(submitted == QList<QByteArray>{"hunter2"} && field->property("text").toString().isEmpty());
        // As while failed attempts make the user wait.
        window.setStatus("Try again in 2 minutes", true);
        window.setBusy(true);
        typeAndShoot(view, "again", "prompt-busy");
        QGuiApplication::setPalette(Theme::palette(true));
        typeAndShoot(view, "", "prompt-busy-dark");
        QGuiApplication::setPalette(Theme::palette(false));
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(submitted.count(), 1);
        window.setBusy(false);
        // Cancelling empties the field too.
        QTest::keyClick(view, 'x');
        QCOMPARE(field->property("length").toInt(), 1);

        // Escape cancels; closing on the authenticator's behalf is no second cancel, but closing from
        // the title bar is.
        QTest::keyClick(view, Qt::Key_Escape);
        QCOMPARE(cancelled.count(), 1);
        window.close();
        QVERIFY(!window.isVisible() && field->property("text").toString().isEmpty());
        QCOMPARE(cancelled.count(), 1);
        // Reopened at once (the password after the fingerprint), it is the same window.
        window.open(PresencePrompt::Mode::fingerprint, "unlock Mail");
        QCOMPARE(window.view(), view);
        QVERIFY(QTest::qWaitForWindowExposed(view));
        view->close();
        QCOMPARE(cancelled.count(), 2);
        // Closed, the window goes with its QML.
        window.close();
        const QPointer<QQuickView> closed(view);
        QTRY_VERIFY(!closed && !window.view());
    }

    // After an unlock the typed password is nowhere in this process's memory, neither in UTF-16 (the
    // field, the string read from it) nor in UTF-8 (the bytes handed to the check), whether it was
    // typed into the prompt's own window or into the shield's card. Typing it, the field holds it,
    // which shows that the search finds it.
    void typedPasswordLeavesNoCopies_data()
    {
        QTest::addColumn<bool>("overShield");
        QTest::newRow("own window") << false;
        QTest::newRow("in the shield") << true;
    }
    void typedPasswordLeavesNoCopies()
    {
        QFETCH(bool, overShield);
        QByteArray masked;
        for (int i = 0; i < 24; ++i)
            masked += char(('a' + QRandomGenerator::global()->bounded(26)) ^ Mask);
        ShieldModel model;
        ShieldWindows shield;
        if (overShield)
            shield.showWindows(model);
        PresencePromptWindow window;
        FakeFingerprintVerifier reader;
        MaskedPasswordCheck check;
        check.masked = masked;
        QTemporaryDir dir;
        FakeClock clock;
        AttemptBackoff backoff(clock, dir.filePath("attempts.json"));
        PromptAuthenticator authenticator(window, reader, check, backoff);
        std::optional<Authenticator::Result> result;
        authenticator.evaluate(Authenticator::Policy::deviceOwner, "unlock Firefox",
                               [&](const Authenticator::Outcome& outcome) { result = outcome.result; });
        QQuickWindow* typedInto = overShield ? static_cast<QQuickWindow*>(window.host()) : window.view();
        QVERIFY(typedInto && QTest::qWaitForWindowExposed(typedInto));
        QCOMPARE(window.view() == nullptr, overShield);
        for (const char c : masked)
            QTest::keyClick(typedInto, char(c ^ Mask));
        QVERIFY(occurrences(masked, 2) > 0);
        QTest::keyClick(typedInto, Qt::Key_Return);
        QCOMPARE(result, Authenticator::Result::success);
        QCOMPARE(occurrences(masked, 2), 0);
        QCOMPARE(occurrences(masked, 1), 0);
        shield.hideWindows();
    }

    // Editing keys work on the prompt's own copy, and the field only ever holds placeholders.
    void passwordFieldEditing_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QByteArray>("submitted");
        QTest::newRow("typed") << QStringList{"abc"} << QByteArray("abc");
        QTest::newRow("backspace in the middle, typing on")
            << QStringList{"abcd", "<Left>", "<Backspace>", "x"} << QByteArray("abxd");
        QTest::newRow("delete at the start") << QStringList{"abc", "<Home>", "<Delete>"} << QByteArray("bc");
        QTest::newRow("selection replaced") << QStringList{"abc", "<SelectAll>", "x"} << QByteArray("x");
        QTest::newRow("paste without line breaks")
            << QStringList{"a", "<Paste>", "é"} << QByteArray("apassé");
        QTest::newRow("undo brings nothing back")
            << QStringList{"abc", "<Backspace>", "<Undo>"} << QByteArray("ab");
    }
    void passwordFieldEditing()
    {
        QFETCH(QStringList, keys);
        QFETCH(QByteArray, submitted);
        QGuiApplication::clipboard()->setText("pa\nss");
        PresencePromptWindow window;
        QByteArray got;
        connect(&window, &PresencePrompt::passwordSubmitted, this,
                [&](const QByteArray& password) { got = QByteArray(password.constData(), password.size()); });
        window.open(PresencePrompt::Mode::password, "unlock Firefox");
        QVERIFY(QTest::qWaitForWindowExposed(window.view()));
        QQuickItem* field = find(window.view()->rootObject(), "echoMode");
        const QHash<QString, QKeyCombination> special{
            {"<Left>", Qt::Key_Left},
            {"<Home>", Qt::Key_Home},
            {"<Backspace>", Qt::Key_Backspace},
            {"<Delete>", Qt::Key_Delete},
            {"<SelectAll>", QKeySequence(QKeySequence::SelectAll)[0]},
            {"<Paste>", QKeySequence(QKeySequence::Paste)[0]},
            {"<Undo>", QKeySequence(QKeySequence::Undo)[0]}};
        for (const QString& key : keys) {
            if (special.contains(key))
                QTest::keyClick(window.view(), special[key].key(), special[key].keyboardModifiers());
            else
                for (const QChar c : key)
                    QTest::sendKeyEvent(QTest::Click, window.view(), Qt::Key_unknown, QString(c),
                                        Qt::NoModifier);
        }
        const QString text = field->property("text").toString();
        QCOMPARE(text.size(), QString::fromUtf8(submitted).size());
        QVERIFY(std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() == 0xE000; }));
        QTest::keyClick(window.view(), Qt::Key_Return);
        QCOMPARE(got, submitted);
    }

    // The prompt's own window shows what the reason names: a folder's symbol, an app's icon (its
    // symbol when it has none), Veilmark's own for anything else.
    void ownWindowShowsWhatIsUnlocked()
    {
        TestDataHome home;
        PolicyStore policy;
        FakeInstalledApps installed;
        QImage icon(32, 32, QImage::Format_ARGB32);
        icon.fill(Qt::red);
        installed.icons["/apps/firefox.desktop"] = icon;
        policy.addApp({"firefox", "Firefox", "/apps/firefox.desktop", true, true});
        policy.addApp({"work", "Work", "/apps/work.desktop", true, true});
        policy.addApp({"fire", "Fire", "/apps/fire.desktop", true, true});
        policy.addFolder({QUuid::createUuid(), "/home/u/Work", "Work", true, true, 10});
        PresencePromptWindow window;
        window.setSubjects(&policy, &installed);
        const QList<std::tuple<QString, QString, bool>> cases = {
            {"unlock the folder “Work”", "folder.fill", false},
            {"remove protection from Work", "app.fill", false},
            {"unlock Firefox", "app.fill", true},
            {"clear the activity log", "lock.shield.fill", false},
        };
        for (const auto& [reason, symbol, hasIcon] : cases) {
            window.open(PresencePrompt::Mode::fingerprint, reason);
            QVERIFY(QTest::qWaitForWindowExposed(window.view()));
            QQuickItem* root = window.view()->rootObject();
            QCOMPARE(window.subjectSymbol(), symbol);
            QCOMPARE(find(root, "objectName", "subjectIcon") != nullptr, hasIcon);
            QCOMPARE(find(root, "objectName", "subjectSymbol") != nullptr, !hasIcon);
            typeAndShoot(window.view(), "", "prompt-" + symbol);
            window.close();
        }
    }
};

QTEST_MAIN(TestPresencePromptWindow)
#include "TestPresencePromptWindow.moc"
