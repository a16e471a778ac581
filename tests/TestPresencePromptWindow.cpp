#include "PresencePromptWindow.h"

#include <QDir>
#include <QQuickItem>
#include <QQuickView>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QtQml/QQmlExtensionPlugin>

Q_IMPORT_QML_PLUGIN(VeilmarkPlugin)

namespace {
// The visible control whose text is `text`, searched depth-first.
QQuickItem* findByText(QQuickItem* item, const QString& text)
{
    if (item->isVisible() && item->property("text").toString() == text &&
        item->property("checkable").isValid())
        return item;
    for (QQuickItem* child : item->childItems())
        if (QQuickItem* found = findByText(child, text))
            return found;
    return nullptr;
}

QQuickItem* findPasswordField(QQuickItem* item)
{
    if (item->property("echoMode").isValid())
        return item;
    for (QQuickItem* child : item->childItems())
        if (QQuickItem* found = findPasswordField(child))
            return found;
    return nullptr;
}

void typeText(QWindow* window, const char* text)
{
    for (const char* c = text; *c; ++c)
        QTest::keyClick(window, *c);
}

// A rendered frame has more than a couple of colours; an empty one is flat.
int distinctColours(const QImage& image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            colours.insert(image.pixel(x, y));
    return int(colours.size());
}
} // namespace

// The prompt window on a real X server: what each mode shows, what the keys do, and a
// screenshot of each mode in the build tree (screenshots/) for a person to look at.
class TestPresencePromptWindow : public QObject
{
    Q_OBJECT

    void shoot(PresencePromptWindow& window, const char* name)
    {
        const QImage image = window.view()->grabWindow();
        QVERIFY2(distinctColours(image) > 8, "the prompt rendered empty");
        QDir().mkpath("screenshots");
        QVERIFY(image.save(QStringLiteral("screenshots/%1.png").arg(QLatin1String(name))));
    }

private slots:
    // A QML error or warning fails the test that caused it.
    void init() { QTest::failOnWarning(QRegularExpression(".+")); }

    void passwordMode()
    {
        PresencePromptWindow window;
        QSignalSpy submitted(&window, &PresencePrompt::passwordSubmitted);
        QSignalSpy cancelled(&window, &PresencePrompt::cancelled);
        window.open(PresencePrompt::Mode::password, "unlock the folder “Taxes”");
        window.setStatus("Enter your password to allow this.", false);
        QVERIFY(QTest::qWaitForWindowExposed(window.view()));
        QCOMPARE(window.view()->title(), QString("Veilmark"));
        QQuickItem* root = window.view()->rootObject();
        QVERIFY(root);
        QVERIFY(findByText(root, "Cancel"));
        QVERIFY(findByText(root, "Unlock"));
        QVERIFY(!findByText(root, "Enter Password…"));
        QQuickItem* field = findPasswordField(root);
        QVERIFY(field && field->isVisible());
        QTRY_VERIFY(field->hasActiveFocus());

        typeText(window.view(), "hunter2");
        shoot(window, "prompt-password");
        QTest::keyClick(window.view(), Qt::Key_Return);
        QCOMPARE(submitted.count(), 1);
        QCOMPARE(submitted.first().first().toByteArray(), QByteArray("hunter2"));
        QCOMPARE(field->property("text").toString(), QString());

        // While the password is checked, nothing more is submitted.
        window.setBusy(true);
        typeText(window.view(), "again");
        QTest::keyClick(window.view(), Qt::Key_Return);
        QCOMPARE(submitted.count(), 1);
        window.setBusy(false);
        window.setStatus("Wrong password — try again", true);
        shoot(window, "prompt-password-wrong");

        QTest::keyClick(window.view(), Qt::Key_Escape);
        QCOMPARE(cancelled.count(), 1);
        window.close();
        QVERIFY(!window.isVisible());
        QCOMPARE(cancelled.count(), 1);
    }

    void fingerprintMode()
    {
        PresencePromptWindow window;
        QSignalSpy fallback(&window, &PresencePrompt::fallbackRequested);
        QSignalSpy cancelled(&window, &PresencePrompt::cancelled);
        window.open(PresencePrompt::Mode::fingerprint, "unlock Firefox");
        window.setStatus("Place your finger on the reader", false);
        QVERIFY(QTest::qWaitForWindowExposed(window.view()));
        QQuickItem* root = window.view()->rootObject();
        QVERIFY(root);
        QQuickItem* fallbackButton = findByText(root, "Enter Password…");
        QVERIFY(fallbackButton);
        QVERIFY(findByText(root, "Cancel"));
        QVERIFY(!findByText(root, "Unlock"));
        QVERIFY(!findPasswordField(root)->isVisible());
        shoot(window, "prompt-fingerprint");

        QMetaObject::invokeMethod(fallbackButton, "clicked");
        QCOMPARE(fallback.count(), 1);

        // Closing from the title bar is a cancel.
        window.view()->close();
        QCOMPARE(cancelled.count(), 1);

        // Reopened in the other mode, the same window switches its controls.
        window.open(PresencePrompt::Mode::password, "unlock Firefox");
        QTRY_VERIFY(findByText(root, "Unlock"));
        QVERIFY(!findByText(root, "Enter Password…"));
    }
};

QTEST_MAIN(TestPresencePromptWindow)
#include "TestPresencePromptWindow.moc"
