#pragma once

#include <QColor>
#include <QDeadlineTimer>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <functional>
#include <memory>
#include <vector>

// What a test needs from the compositor of tests/wayland/{sway,kwin}-session.sh: coloured client
// windows, typing, activation and screenshots through tests/wayland/rig.py. Needs the path of
// WaylandTestClient in VEILMARK_WAYLAND_TEST_CLIENT (veilmark_add_wayland_test defines it).
// Every call returns false / an empty result on failure, with the reason in error().
class WaylandRig
{
public:
    enum class Compositor
    {
        None,
        Sway,
        KWin,
        Gnome
    };

    ~WaylandRig()
    {
        m_keyboard.closeWriteChannel();
        m_keyboard.waitForFinished(5000);
        for (const auto& client : m_clients) {
            client->kill();
            client->waitForFinished(5000);
        }
    }

    static Compositor compositor()
    {
        const QByteArray rig = qgetenv("VEILMARK_RIG");
        if (rig == "gnome")
            return Compositor::Gnome;
        return rig == "sway" ? Compositor::Sway : rig == "kwin" ? Compositor::KWin : Compositor::None;
    }

    QString error() const { return m_error; }

    // Starts a client window with that app_id, filled with `colour`, its keys appended to
    // `keysFile`; returns once it has drawn its first frame (nullptr if it did not). The rig owns it.
    QProcess* launchClient(const QString& appId, const QColor& colour, const QString& keysFile)
    {
        auto client = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "wayland");
        client->setProcessEnvironment(env);
        client->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        client->start(VEILMARK_WAYLAND_TEST_CLIENT, {appId, colour.name(), keysFile});
        QDeadlineTimer deadline(10000);
        while (!client->canReadLine() && client->state() != QProcess::NotRunning && !deadline.hasExpired())
            client->waitForReadyRead(int(deadline.remainingTime()));
        if (client->readLine().trimmed() != "exposed") {
            m_error = QString("%1 did not show its window").arg(appId);
            return nullptr;
        }
        m_clients.push_back(std::move(client));
        return m_clients.back().get();
    }

    bool type(const QString& text) { return tool({"type", text}); }

    // Keeps a keyboard on the seat, as a real one is: without one the compositor has no keyboard
    // focus to give, and one made for typing goes when the typing is done.
    bool holdKeyboard()
    {
        m_keyboard.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_keyboard.start(python(), {qEnvironmentVariable("VEILMARK_RIG_TOOL"), "keyboard"});
        if (!m_keyboard.waitForReadyRead(10000) || m_keyboard.readLine().trimmed() != "ready") {
            m_error = QString("rig.py keyboard: %1").arg(m_keyboard.errorString());
            return false;
        }
        return true;
    }
    bool activate(const QString& appId) { return tool({"activate", appId}); }

    // One output (in the order of outputCount(), left to right), or all of them when -1.
    QImage screenshot(int outputIndex = -1)
    {
        QByteArray ppm;
        if (!tool({"screenshot", outputIndex < 0 ? "all" : QString::number(outputIndex), "-"}, &ppm))
            return {};
        return QImage::fromData(ppm, "PPM");
    }

    int outputCount()
    {
        QByteArray lines;
        return tool({"outputs"}, &lines) ? int(lines.count('\n')) : 0;
    }

    // The toplevels: app_id, focused, visible, pid.
    QList<QJsonObject> windows()
    {
        QByteArray lines;
        QList<QJsonObject> out;
        if (tool({"windows"}, &lines)) {
            for (const QByteArray& line : lines.split('\n'))
                if (!line.isEmpty())
                    out << QJsonDocument::fromJson(line).object();
        }
        return out;
    }

    // The fraction of the image's pixels that are `colour`, each channel within `tolerance`.
    static double share(const QImage& image, const QColor& colour, int tolerance = 8)
    {
        if (image.isNull())
            return 0;
        const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
        qint64 matching = 0;
        for (int y = 0; y < rgb.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
            for (int x = 0; x < rgb.width(); ++x)
                matching += qAbs(qRed(line[x]) - colour.red()) <= tolerance &&
                            qAbs(qGreen(line[x]) - colour.green()) <= tolerance &&
                            qAbs(qBlue(line[x]) - colour.blue()) <= tolerance;
        }
        return double(matching) / (qint64(rgb.width()) * rgb.height());
    }

    // Polls a slow condition (screenshots, rig.py) until it holds or `ms` have passed. QTRY_* counts
    // polls instead of time, so a condition that takes long to check overruns its timeout many times.
    static bool waitFor(const std::function<bool()>& condition, int ms = 10000)
    {
        const QDeadlineTimer deadline(ms);
        while (!condition()) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(50);
        }
        return true;
    }

    static QString keysReceived(const QString& keysFile)
    {
        QFile file(keysFile);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private:
    // Runs rig.py with the interpreter the session granted the compositor's restricted interfaces.
    bool tool(const QStringList& args, QByteArray* output = nullptr)
    {
        QProcess process;
        process.start(python(), QStringList{qEnvironmentVariable("VEILMARK_RIG_TOOL")} + args);
        if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0) {
            const QString said = QString::fromUtf8(process.readAllStandardError()).trimmed();
            // rig.py names itself and the command in what it says.
            m_error =
                said.isEmpty() ? QString("rig.py %1: %2").arg(args.first(), process.errorString()) : said;
            return false;
        }
        if (output)
            *output = process.readAllStandardOutput();
        return true;
    }

    static QString python() { return qEnvironmentVariable("VEILMARK_RIG_PYTHON", "/usr/bin/python3"); }

    std::vector<std::unique_ptr<QProcess>> m_clients;
    QProcess m_keyboard;
    QString m_error;
};
