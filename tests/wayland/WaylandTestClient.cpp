// A Wayland client for the compositor rig: one window filled with one colour, its app_id set, every
// key it receives appended to a file. Prints "exposed" once its first frame has been handed to the
// compositor, so a test knows when to look for it.
// Usage: WaylandTestClient APP_ID COLOUR KEYS_FILE   (run with QT_QPA_PLATFORM=wayland)

#include <QColor>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QRasterWindow>
#include <QTimer>

#include <cstdio>

class WaylandTestClient : public QRasterWindow
{
public:
    WaylandTestClient(QColor colour, const QString& keysPath)
        : m_colour(colour)
        , m_keys(keysPath)
    {}

    bool openKeys() { return m_keys.open(QIODevice::WriteOnly | QIODevice::Append); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter(this).fillRect(QRect(QPoint(), size()), m_colour);
        if (!m_exposed) {
            m_exposed = true;
            // The backing store is flushed when paintEvent returns; report after that.
            QTimer::singleShot(0, this, [] {
                std::printf("exposed\n");
                std::fflush(stdout);
            });
        }
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        // Flushed key by key: the test reads the file while this process runs.
        m_keys.write(event->text().toUtf8());
        m_keys.flush();
    }

private:
    QColor m_colour;
    QFile m_keys;
    bool m_exposed = false;
};

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4 || !QColor::isValidColorName(args[2])) {
        std::fprintf(stderr, "usage: WaylandTestClient APP_ID COLOUR KEYS_FILE\n");
        return 2;
    }
    // The app_id the compositor reports for this window (xdg_toplevel.set_app_id).
    QGuiApplication::setDesktopFileName(args[1]);
    WaylandTestClient window(QColor(args[2]), args[3]);
    if (!window.openKeys()) {
        std::fprintf(stderr, "WaylandTestClient: cannot open %s\n", qPrintable(args[3]));
        return 1;
    }
    window.setTitle(args[1]);
    window.resize(800, 600);
    window.show();
    return app.exec();
}
