#include "MainWindow.h"
#include "ModelRig.h"
#include "ProcessMemory.h"
#include "TestDataHome.h"
#include "Theme.h"
#include "ViewContext.h"
#include "app/AppState.h"
#include "auth/KeychainService.h"
#include "fakes/FakeAppearance.h"
#include "fakes/FakeAuthenticator.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeLoginItems.h"
#include "fakes/FakeSecretStore.h"
#include "fakes/FakeShieldDisplay.h"
#include "fakes/FakeSystemEvents.h"
#include "fakes/FakeWorkspace.h"
#include "io/DataDirectory.h"
#include "platform/linux/DesktopEntryIndex.h"
#include "store/EventLog.h"
#include "store/PolicyStore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMutex>
#include <QProcess>
#include <QQuickItem>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtQml/QQmlExtensionPlugin>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <time.h>

Q_IMPORT_QML_PLUGIN(VeilmarkPlugin)
Q_IMPORT_QML_PLUGIN(VeilmarkModelsPlugin)

// How the long lists of the main window behave: the Folders screen with 10, 1,000 and 10,000
// folders, the Activity screen with a full log and the application chooser with 500 installed
// applications. For each: the time from choosing the screen (or opening the chooser, or typing a
// letter into its search field) to the first frame that shows it, the resident memory before and
// after, and while scrolling the longest gap between two frames (QQuickWindow::frameSwapped).
// Scrolling moves the list a fixed distance per frame, then flicks it as a touchpad would, then
// drags the scroll bar to the middle and the end. Every case runs in a process of its own, so its
// memory is its own. Run under tests/xvfb-session.sh (or with QT_QPA_PLATFORM=offscreen).
namespace {
using Clock = std::chrono::steady_clock;

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double processorMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000 + double(t.tv_nsec) / 1e6;
}

// The real coordinator with fakes for everything but the installed applications, which are the
// real desktop-entry index over $XDG_DATA_DIRS; and the view context the main window shows.
struct Rig : BasicModelRig<DesktopEntryIndex>
{
    std::unique_ptr<ViewContext> context = std::make_unique<ViewContext>(*state, home.path());

    Rig() { Theme::follow(*state); }
};

// Frame times of one window, stamped on whichever thread swaps.
class Frames : public QObject
{
public:
    explicit Frames(QQuickWindow& window)
        : m_window(window)
    {
        connect(
            &window, &QQuickWindow::frameSwapped, this,
            [this] {
                QMutexLocker lock(&m_mutex);
                m_stamps.append(Clock::now());
            },
            Qt::DirectConnection);
    }

    qsizetype count()
    {
        QMutexLocker lock(&m_mutex);
        return m_stamps.size();
    }

    // Runs `change`, then waits for the frame that shows it; returns the time in between.
    double timeToFrame(const std::function<void()>& change)
    {
        const qsizetype before = count();
        const Clock::time_point start = Clock::now();
        change();
        m_window.update();
        waitFor(before + 1);
        QMutexLocker lock(&m_mutex);
        return m_stamps.size() > before ? ms(m_stamps[before] - start) : -1;
    }

    void waitFor(qsizetype frames, int timeoutMs = 10000)
    {
        QElapsedTimer timer;
        timer.start();
        while (count() < frames && timer.elapsed() < timeoutMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }

    struct Gaps
    {
        double longest = -1, p99 = -1, median = -1;
        qsizetype over20 = 0, total = 0;
        // The process's processor time (all threads) per frame: unlike the gaps, it does not grow
        // when other processes hold the processor.
        double cpuPerFrame = -1;
    };

    // Lets the window draw `frames` frames, calling `step` before each, and returns the gaps
    // between them.
    Gaps gaps(int frames, const std::function<void(int)>& step)
    {
        const qsizetype first = count();
        const double cpuBefore = processorMs();
        for (int i = 0; i < frames; ++i) {
            const qsizetype before = count();
            step(i);
            m_window.update();
            waitFor(before + 1);
        }
        QMutexLocker lock(&m_mutex);
        QList<double> gaps;
        for (qsizetype i = first + 1; i < m_stamps.size(); ++i)
            gaps.append(ms(m_stamps[i] - m_stamps[i - 1]));
        if (gaps.isEmpty())
            return {};
        std::sort(gaps.begin(), gaps.end());
        return {
            gaps.last(),           gaps[gaps.size() * 99 / 100],
            gaps[gaps.size() / 2], std::count_if(gaps.begin(), gaps.end(), [](double g) { return g > 20; }),
            gaps.size(),           (processorMs() - cpuBefore) / double(gaps.size() + 1)};
    }

private:
    QQuickWindow& m_window;
    QMutex m_mutex;
    QList<Clock::time_point> m_stamps;
};

QQuickItem* findItem(QQuickItem* root, const QString& name)
{
    if (!root)
        return nullptr;
    if (root->objectName() == name && root->isVisible())
        return root;
    for (QQuickItem* child : root->childItems()) {
        if (QQuickItem* found = findItem(child, name))
            return found;
    }
    return nullptr;
}

std::unique_ptr<MainWindow> openWindow(Rig& rig)
{
    auto window = std::make_unique<MainWindow>(*rig.context);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return {};
    QTest::qWait(300);
    return window;
}

// Scrolls `list` as described above and prints the longest and median frame gaps.
void scroll(Frames& frames, QQuickItem* list)
{
    const auto print = [](const char* how, Frames::Gaps gap) {
        std::printf(
            "  scroll %-30s frame gaps: longest %5.1f ms, 99%% %5.1f ms, median %5.1f ms, %lld of %lld "
            "over 20 ms; processor %4.1f ms per frame\n",
            how, gap.longest, gap.p99, gap.median, qlonglong(gap.over20), qlonglong(gap.total),
            gap.cpuPerFrame);
    };
    const auto moveBy = [list](double dy) {
        const double top = list->property("originY").toDouble();
        const double end = top + list->property("contentHeight").toDouble() - list->height();
        list->setProperty("contentY", std::clamp(list->property("contentY").toDouble() + dy, top, end));
    };
    print("40 px per frame", frames.gaps(300, [&](int) { moveBy(40); }));
    print("back up, 120 px per frame", frames.gaps(150, [&](int) { moveBy(-120); }));
    // Flicks at the platform's top speed, again whenever the list comes to rest.
    print("flicks", frames.gaps(240, [&](int) {
        if (!list->property("flicking").toBool())
            QMetaObject::invokeMethod(list, "flick", Q_ARG(qreal, 0), Q_ARG(qreal, -8000));
    }));
    print("jumps to the middle, the end", frames.gaps(3, [&](int i) {
        if (i == 1)
            QMetaObject::invokeMethod(list, "positionViewAtIndex",
                                      Q_ARG(int, list->property("count").toInt() / 2),
                                      Q_ARG(int, 1 /* ListView.Center */));
        if (i == 2)
            QMetaObject::invokeMethod(list, "positionViewAtEnd");
    }));
}

// Opens the main window, times choosing `screen` to its first frame, then scrolls its list.
int openScreenAndScroll(Rig& rig, const char* screen, const QString& list, const QString& label)
{
    auto window = openWindow(rig);
    if (!window)
        return 1;
    Frames frames(*window);
    const double before = statusMiB();
    const double open = frames.timeToFrame([&] { window->rootObject()->setProperty("selection", screen); });
    QTest::qWait(300);
    std::printf("%s: open %6.1f ms, resident %6.1f MiB before, %6.1f MiB after\n", qPrintable(label), open,
                before, statusMiB());
    scroll(frames, findItem(window->contentItem(), list));
    return 0;
}

int folders(int count)
{
    Rig rig;
    // Ten folders per parent directory, as a user's projects would be spread; every tenth is
    // missing, so rows of two heights alternate.
    QList<ProtectedFolder> records;
    for (int i = 0; i < count; ++i) {
        const QString path = rig.home.filePath(QStringLiteral("P%1/F%2").arg(i / 10).arg(i));
        if (i % 10 != 9)
            QDir().mkpath(path);
        records.append({QUuid::createUuid(), path, QStringLiteral("F%1").arg(i), true, false, 10});
    }
    rig.state->policy()->setFolders(records);
    return openScreenAndScroll(rig, "folders", "folderList",
                               QStringLiteral("Folders screen, %1 folders").arg(count, 5));
}

int activity()
{
    Rig rig;
    for (int i = 0; i < EventLog::cap; ++i)
        rig.state->log()->record(i % 3 ? LogEventKind::folderUnlocked : LogEventKind::appAuthFailed,
                                 QStringLiteral("Record %1").arg(i),
                                 i % 3 ? QString() : "Fingerprint not recognized");
    return openScreenAndScroll(rig, "activity", "eventList",
                               QStringLiteral("Activity screen, %1 events").arg(EventLog::cap));
}

// 500 desktop entries with names of two words, each with one of 20 icons, read by the real index.
int chooser()
{
    QTemporaryDir dirs;
    QDir().mkpath(dirs.filePath("applications"));
    for (int i = 0; i < 20; ++i) {
        QImage icon(48, 48, QImage::Format_ARGB32);
        icon.fill(QColor::fromHsv(i * 18, 200, 220));
        icon.save(dirs.filePath(QStringLiteral("icon%1.png").arg(i)));
    }
    const QStringList first = {"Text", "Photo", "Music", "Video", "Mail",
                               "Chat", "Code",  "Map",   "Note",  "Game"};
    const QStringList second = {"Editor",  "Viewer", "Player", "Studio",
                                "Manager", "Tool",   "Client", "Browser"};
    for (int i = 0; i < 500; ++i) {
        QFile entry(dirs.filePath(QStringLiteral("applications/org.example.App%1.desktop").arg(i)));
        entry.open(QIODevice::WriteOnly);
        entry.write(
            QStringLiteral("[Desktop Entry]\nType=Application\nName=%1 %2 %3\nExec=true\nIcon=%4\n"
                           "Keywords=%5;\n")
                .arg(first[i % first.size()], second[i / first.size() % second.size()])
                .arg(i)
                .arg(dirs.filePath(QStringLiteral("icon%1.png").arg(i % 20)), second[i % second.size()])
                .toUtf8());
    }
    qputenv("XDG_DATA_DIRS", QFile::encodeName(dirs.path()));
    QElapsedTimer scan;
    scan.start();
    Rig rig;
    const qint64 scanned = scan.elapsed();
    auto window = openWindow(rig);
    if (!window)
        return 1;
    Frames frames(*window);
    const double before = statusMiB();
    QQuickItem* add = findItem(window->contentItem(), QStringLiteral("addApp"));
    const double open = frames.timeToFrame([&] {
        QTest::mouseClick(window.get(), Qt::LeftButton, {},
                          add->mapToScene(QPointF(add->width() / 2, add->height() / 2)).toPoint());
    });
    QTest::qWait(300);
    std::printf(
        "Application chooser, 500 entries (index built in %lld ms): open %6.1f ms, resident %6.1f MiB "
        "before, %6.1f MiB after\n",
        scanned, open, before, statusMiB());
    // Typing narrows the list, the backspaces widen it to all 500 again.
    QList<double> keys;
    for (const char key : QByteArray("textx\b\b\b\b\bplayer")) {
        keys.append(frames.timeToFrame([&] {
            if (key == '\b')
                QTest::keyClick(window.get(), Qt::Key_Backspace);
            else
                QTest::keyClick(window.get(), key);
        }));
    }
    std::sort(keys.begin(), keys.end());
    std::printf("  filter keystroke (%lld typed): median %5.1f ms, longest %5.1f ms\n",
                qlonglong(keys.size()), keys[keys.size() / 2], keys.last());
    scroll(frames, findItem(window->contentItem(), QStringLiteral("appChooserList")));
    return 0;
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.value(0) == "folders")
        return folders(args.value(1).toInt());
    if (args.value(0) == "activity")
        return activity();
    if (args.value(0) == "chooser")
        return chooser();
    // Each case in a fresh process, so resident memory is that case's alone.
    int status = 0;
    for (const QStringList& run : QList<QStringList>{
             {"folders", "10"}, {"folders", "1000"}, {"folders", "10000"}, {"activity"}, {"chooser"}}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(app.applicationFilePath(), run);
        child.waitForFinished(-1);
        status |= child.exitCode();
    }
    return status;
}
