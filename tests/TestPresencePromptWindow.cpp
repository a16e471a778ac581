#include "PresencePromptWindow.h"

#include <QDir>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickView>
#include <QRasterWindow>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QtQml/QQmlExtensionPlugin>

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
        QSignalSpy submitted(&window, &PresencePrompt::passwordSubmitted);
        QSignalSpy cancelled(&window, &PresencePrompt::cancelled);
        window.open(PresencePrompt::Mode::fingerprint, "unlock Firefox");
        QQuickView* view = window.view();
        QVERIFY(QTest::qWaitForWindowExposed(view));
        QQuickItem* root = view->rootObject();
        const auto shown = [root](const QString& text) { return find(root, "text", text) != nullptr; };
        QVERIFY(shown("Veilmark is trying to unlock Firefox.") && shown("Cancel"));
        QVERIFY(!shown("Unlock") && !find(root, "echoMode"));
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
        QVERIFY(shown("Veilmark is trying to unlock the folder “Taxes”."));
        QVERIFY(shown("Enter your password to allow this.") && shown("Cancel") && shown("Unlock"));
        QVERIFY(!shown("Enter Password…"));
        QQuickItem* field = find(root, "echoMode");
        QVERIFY(field);
        QTRY_VERIFY(field->hasActiveFocus());

        // Return submits what was typed and empties the field; not while it is being checked.
        typeAndShoot(view, "hunter2", "prompt-password");
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(submitted.count(), 1);
        QCOMPARE(submitted.first().first().toByteArray(), "hunter2");
        QCOMPARE(field->property("text").toString(), "");
        window.setBusy(true);
        typeAndShoot(view, "again", "prompt-busy");
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(submitted.count(), 1);
        window.setBusy(false);

        // Escape cancels; closing on the authenticator's behalf is no second cancel, but closing from
        // the title bar is.
        QTest::keyClick(view, Qt::Key_Escape);
        QCOMPARE(cancelled.count(), 1);
        window.close();
        QVERIFY(!window.isVisible());
        QCOMPARE(cancelled.count(), 1);
        window.open(PresencePrompt::Mode::fingerprint, "unlock Mail");
        QVERIFY(QTest::qWaitForWindowExposed(view));
        view->close();
        QCOMPARE(cancelled.count(), 2);
    }
};

QTEST_MAIN(TestPresencePromptWindow)
#include "TestPresencePromptWindow.moc"
