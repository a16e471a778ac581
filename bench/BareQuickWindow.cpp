// The yardstick for Veilmark's start-up: the least a Qt Quick application can show, one window with
// one line of text, timed and reported the way Veilmark's VEILMARK_MEASURE reports its first frame.
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>

#include <cstdio>

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    QQmlApplicationEngine engine;
    engine.loadData(
        "import QtQuick\nWindow { visible: true; width: 880; height: 600; Text { text: \"Veilmark\" } }");
    auto* window = qobject_cast<QQuickWindow*>(engine.rootObjects().value(0));
    if (!window)
        return 1;
    QObject::connect(window, &QQuickWindow::frameSwapped, &app, [] {
        std::fputs("bare: first frame\n", stderr);
        QCoreApplication::quit();
    });
    return QGuiApplication::exec();
}
