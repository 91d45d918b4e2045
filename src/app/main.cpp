// pio-out: start-up, the event loop and the reports of errors.
#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QMessageBox>
#include <QPixmap>
#include <csignal>
#include <cstdio>
#include <unistd.h>

#include "Artwork.h"
#include "app/ApplicationTitle.h"
#include "app/PanelSession.h"
#include "app/StartupFailure.h"
#include "output/Exception.h"
#include "output/PpdevDevice.h"
#include "panel/PanelPlacement.h"
#include "platform/qt/PanelWidget.h"
#include "platform/qt/QtCanvas.h"
#include "platform/qt/QtPlatform.h"

namespace {

std::string g_programPath = "pio-out";
bool g_starting = true;
QtMessageHandler g_qtHandler = nullptr;

std::string ProgramPath(const char* argv0) {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) return std::string(buf, static_cast<std::size_t>(n));
    return argv0 ? argv0 : "pio-out";
}

// The one place a failed start-up is shown: a box where there is a display, and always the
// same text on standard error. The program then ends with exit code 1.
[[noreturn]] void StartupFailed(const std::string& kind, const std::string& message) {
    const std::string text = StartupFailureText(kind, g_programPath, 0, message);
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        QMessageBox box(QMessageBox::Critical, kStartupFailureCaption,
                        QString::fromStdString(text), QMessageBox::Ok);
        box.setWindowModality(Qt::ApplicationModal);
        box.exec();
    }
    ::_exit(1);
}

// Qt ends the process with abort() when it cannot reach a display; report it instead.
void OnQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& msg) {
    if (type == QtFatalMsg && g_starting) {
        // Qt's own text advises reinstalling; the report below says what is wrong. Its
        // warnings before this (which display could not be reached) have been printed.
        g_starting = false;  // no box: there is no display to show it on
        const std::string text =
            StartupFailureText("EOSError", g_programPath, 0, "Keine Verbindung zur Anzeige");
        std::fprintf(stderr, "%s\n", text.c_str());
        ::_exit(1);
    }
    if (g_qtHandler) g_qtHandler(type, context, msg);
}

// Log-off, shutdown and kill end the program at once; nothing is saved.
void OnEndSignal(int) { ::_exit(0); }

QIcon ProgramIcon() {
    const artwork::Icon icon = artwork::icon();
    QImage image(icon.width, icon.height, QImage::Format_ARGB32);
    for (int y = 0; y < icon.height; ++y)
        for (int x = 0; x < icon.width; ++x)
            image.setPixel(x, y, icon.argb[static_cast<std::size_t>(y * icon.width + x)]);
    QIcon result;
    for (int scale : {1, 2, 3})
        result.addPixmap(QPixmap::fromImage(
            image.scaled(icon.width * scale, icon.height * scale, Qt::IgnoreAspectRatio,
                         Qt::FastTransformation)));
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    g_programPath = ProgramPath(argc > 0 ? argv[0] : nullptr);
    std::signal(SIGPIPE, SIG_IGN);  // a port stand-in whose reader left gives EPIPE instead
    std::signal(SIGTERM, OnEndSignal);
    std::signal(SIGHUP, OnEndSignal);
    std::signal(SIGINT, OnEndSignal);
    g_qtHandler = qInstallMessageHandler(OnQtMessage);

    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::Round);
    QApplication app(argc, argv);
    const std::string title = ApplicationTitle(g_programPath);
    QGuiApplication::setApplicationDisplayName(QString::fromStdString(title));
    QGuiApplication::setDesktopFileName("org.pioout.PioOut");
    QtCanvas::InstallFontSubstitutes();

    try {
        QtPlatform platform;
        PpdevDevice device("/dev/parport0");  // stands for LPT1
        PanelSession session(platform, device, title);
        Rect bounds = session.Form().Bounds;
        // The panel's own place, unless that would leave part of it off a small screen.
        const Point at = PanelPlacement(bounds, platform.screenRect());
        bounds.left = at.x;
        bounds.top = at.y;
        PanelWidget& window = platform.CreateWindow(bounds, QString::fromStdString(title));
        window.setWindowIcon(ProgramIcon());
        QApplication::setWindowIcon(window.windowIcon());
        session.Start();
        window.show();
        g_starting = false;
        platform.run();
        window.hide();
        return 0;
    } catch (const Exception& e) {
        StartupFailed(e.kind(), e.what());
    } catch (const std::exception& e) {
        StartupFailed("Exception", e.what());
    }
}
