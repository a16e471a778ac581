#include "PresencePromptWindow.h"

#include <QDir>
#include <QQuickItem>
#include <QQuickView>
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
    const QList<QQuickItem*> items = root->findChildren<QQuickItem*>();
    for (QQuickItem* item : items) {
        const QVariant found = item->property(property);
        if (item->isVisible() && found.isValid() && (!value.isValid() || found == value))
            return item;
    }
    return nullptr;
}

// The visible label or button showing `text`.
QQuickItem* shown(QQuickItem* root, const QString& text)
{
    return find(root, "text", text);
}

void type(QWindow* window, const char* text)
{
    for (const char* c = text; *c; ++c)
        QTest::keyClick(window, *c);
}

// Saves the prompt under screenshots/ for a person to look at; an empty frame is flat.
void shoot(PresencePromptWindow& window, const QString& name)
{
    const QImage image = window.view()->grabWindow();
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
        QVERIFY(QTest::qWaitForWindowExposed(window.view()));
        QQuickItem* root = window.view()->rootObject();
        QVERIFY(shown(root, "Veilmark is trying to unlock Firefox."));
        QVERIFY(shown(root, "Cancel") && !shown(root, "Unlock") && !find(root, "echoMode"));
        shoot(window, "prompt-fingerprint");
        QQuickItem* fallbackButton = shown(root, "Enter Password…");
        QVERIFY(fallbackButton);
        QMetaObject::invokeMethod(fallbackButton, "clicked");
        QCOMPARE(fallback.count(), 1);

        // One prompt window: the password mode switches the same window's controls.
        QQuickView* view = window.view();
        window.open(PresencePrompt::Mode::password, "unlock the folder “Taxes”");
        window.setStatus("Enter your password to allow this.", false);
        QCOMPARE(window.view(), view);
        QVERIFY(shown(root, "Veilmark is trying to unlock the folder “Taxes”."));
        QVERIFY(shown(root, "Enter your password to allow this."));
        QVERIFY(shown(root, "Cancel") && shown(root, "Unlock") && !shown(root, "Enter Password…"));
        QQuickItem* field = find(root, "echoMode");
        QVERIFY(field);
        QTRY_VERIFY(field->hasActiveFocus());

        // Return submits what was typed and empties the field; not while it is being checked.
        type(window.view(), "hunter2");
        shoot(window, "prompt-password");
        QTest::keyClick(window.view(), Qt::Key_Return);
        QCOMPARE(submitted.count(), 1);
        QCOMPARE(submitted.first().first().toByteArray(), "hunter2");
        QCOMPARE(field->property("text").toString(), "");
        window.setBusy(true);
        type(window.view(), "again");
        QTest::keyClick(window.view(), Qt::Key_Return);
        QCOMPARE(submitted.count(), 1);
        window.setBusy(false);

        // Escape cancels; closing on the authenticator's behalf is no second cancel.
        QTest::keyClick(window.view(), Qt::Key_Escape);
        QCOMPARE(cancelled.count(), 1);
        window.close();
        QVERIFY(!window.isVisible());
        QCOMPARE(cancelled.count(), 1);
        // Closing from the title bar is a cancel.
        window.open(PresencePrompt::Mode::fingerprint, "unlock Mail");
        QVERIFY(QTest::qWaitForWindowExposed(window.view()));
        window.view()->close();
        QCOMPARE(cancelled.count(), 2);
    }
};

QTEST_MAIN(TestPresencePromptWindow)
#include "TestPresencePromptWindow.moc"
