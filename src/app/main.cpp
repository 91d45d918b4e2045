// SPDX-License-Identifier: MIT
// pio-out: start-up, the event loop and the reports of errors.
#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <malloc.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "Artwork.h"
#include "app/ApplicationTitle.h"
#include "app/CommandLine.h"
#include "app/CreditLine.h"
#include "app/DescriptorReserve.h"
#include "app/PanelSession.h"
#include "app/ResourceProbe.h"
#include "app/ScaleFactor.h"
#include "app/StartupDeadline.h"
#include "app/StartupFailure.h"
#include "app/StartupResources.h"
#include "output/Exception.h"
#include "output/PortNode.h"
#include "output/PpdevDevice.h"
#include "panel/PanelPlacement.h"
#include "platform/qt/DrawingThread.h"
#include "platform/qt/PanelWidget.h"
#include "platform/qt/QtCanvas.h"
#include "platform/qt/QtPlatform.h"

namespace {

std::string g_programPath = "pio-out";
bool g_starting = true;
QtMessageHandler g_qtHandler = nullptr;

// Descriptors kept back for drawing an error box when the program has run out of them (see
// DescriptorReserve). Under Xvfb with the limit at the count in use, a box's first showing
// opened the font files fontconfig picks and the icon theme's index and cache one after the
// other, and kept the cache open: with none to spare its text came out as empty squares, with
// one it was drawn, with two the port went on as well. 8 leaves room for a desktop's theme and
// input method. 4 stay free whenever it is taken back: the port cycle opens the port every
// tick, and hold() may have to open the node anew.
constexpr int kReservedDescriptors = 8;
constexpr int kDescriptorsLeftFree = 4;
DescriptorReserve* g_reserve = nullptr;
// What start-up is short of, once the check before Qt's start has found it (see main).
StartupResources::Shortage g_shortage = StartupResources::Shortage::None;

constexpr const char* kNoDisplay = "Keine Verbindung zur Anzeige";
// How long Qt's start may take to reach the display and set up the connection: it sends
// dozens of requests, so a slow remote display takes a few seconds, never this long.
constexpr unsigned kDisplayWaitSeconds = 10;
// How long the drawing thread may take to start (see DrawingThread): it runs within a
// millisecond when it could be started at all.
constexpr int kDrawingThreadWaitMs = 10000;
// Qt's raster drawing has no pixel format for screens of fewer colours (an 8-bit palette):
// the panel stayed blank there, with a warning for every paint.
constexpr int kLeastColourDepth = 15;

std::string ProgramPath(const char* argv0) {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) return std::string(buf, static_cast<std::size_t>(n));
    return argv0 ? argv0 : "pio-out";
}

// The one place a failed start-up is shown: a box where there is a display and `box` allows
// (not where it could not be drawn), and always the same text on standard error. The program
// then ends with exit code 1.
[[noreturn]] void StartupFailed(const std::string& kind, const std::string& message,
                                bool box = true) {
    const std::string text = StartupFailureText(kind, g_programPath, 0, message);
    // Not fprintf: on unbuffered stderr it formats into 8 KB on the stack, more than a start
    // refused for want of stack may have.
    std::fputs((text + "\n").c_str(), stderr);
    std::fflush(stderr);
    if (g_reserve) g_reserve->Release();  // the box may need the descriptors to be drawn
    if (box && qobject_cast<QApplication*>(QCoreApplication::instance())) {
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
        // It is also where Qt ends up when it could not open a file or map a library for lack
        // of descriptors or memory; the display is then fine, and saying so would send the
        // user looking in the wrong place. The probes run at once, in the state Qt saw.
        g_starting = false;  // no box: there is no display to show it on, or no resources
        const StartupResources::Shortage cause =
            g_shortage != StartupResources::Shortage::None ? g_shortage
                                                           : ResourceProbe::AfterFailure();
        const bool shortage = cause != StartupResources::Shortage::None;
        const std::string text = StartupFailureText(
            shortage ? StartupResources::Kind(cause) : "EOSError", g_programPath, 0,
            shortage ? StartupResources::Message(cause) : kNoDisplay);
        std::fprintf(stderr, "%s\n", text.c_str());
        ::_exit(1);
    }
    if (g_qtHandler) g_qtHandler(type, context, msg);
}

// --help, --version or a mistake on the command line: the text goes out and the program ends
// before anything else has started, so none of it needs a display. A write that fails
// (standard output closed or a full disk) ends it with 1, so a script notices.
int PrintAndEnd(const CommandLine& line) {
    std::FILE* out = line.action() == CommandLine::Action::UsageError ? stderr : stdout;
    const bool written = std::fputs(line.text().c_str(), out) >= 0 && std::fflush(out) == 0;
    if (!written) {
        std::fputs("pio-out: Schreibfehler\n", stderr);
        return 1;
    }
    return line.exitCode();
}

// Log-off, shutdown and kill end the program at once; nothing is saved.
void OnEndSignal(int) { ::_exit(0); }

QIcon ProgramIcon() {
    const artwork::Icon icon = artwork::icon();
    QIcon result;
    // Enlarged here, each pixel a block: QImage::scaled hands large images to Qt's thread
    // pool and waits for it, forever when no thread could be started (short of memory).
    for (int scale : {1, 2, 3}) {
        QImage image(icon.width * scale, icon.height * scale, QImage::Format_ARGB32);
        if (image.isNull()) continue;  // no memory for this size: the others still do
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(
                    x, y, icon.argb[static_cast<std::size_t>(y / scale * icon.width + x / scale)]);
        result.addPixmap(QPixmap::fromImage(image));
    }
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line = CommandLine::Parse(
        std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc), PortRules::Linux,
        PIO_PROGRAM_VERSION);
    // A plain file, a folder or a disk named as the port is a slip of the hand; it would never
    // be written anyway, but saying so now beats a box once port output is on.
    if (line.action() == CommandLine::Action::Run) {
        if (const char* what = NeverAPort(line.port().device)) line = line.RefusePort(what);
    }
    if (line.action() != CommandLine::Action::Run) return PrintAndEnd(line);

    g_programPath = ProgramPath(argc > 0 ? argv[0] : nullptr);
    std::signal(SIGPIPE, SIG_IGN);  // a port stand-in whose reader left gives EPIPE instead
    std::signal(SIGTERM, OnEndSignal);
    std::signal(SIGHUP, OnEndSignal);
    std::signal(SIGINT, OnEndSignal);
    g_qtHandler = qInstallMessageHandler(OnQtMessage);

    // One malloc arena for all threads. glibc would give every thread that allocates an arena
    // of its own, each reserving 64 MB of address space: under an address-space limit one of
    // them can take the room a thread stack needed, so a start with more memory could fail
    // where one with less worked. The panel's work is all on the main thread anyway.
    ::mallopt(M_ARENA_MAX, 1);

    // Short of descriptors or memory, Qt's start fails in ways that name no cause, or none at
    // all; check before it starts. Where enough is left for a box, Qt starts just to show the
    // report; otherwise standard error is all there is.
    g_shortage = ResourceProbe::BeforeStart();
    const bool refused = g_shortage != StartupResources::Shortage::None;
    if (refused && !ResourceProbe::BoxPossible())
        StartupFailed(StartupResources::Kind(g_shortage), StartupResources::Message(g_shortage));

    DescriptorReserve reserve(kReservedDescriptors, kDescriptorsLeftFree);
    if (!refused) {
        reserve.Fill();  // before Qt opens anything: the lowest numbers, below any later limit
        g_reserve = &reserve;
    }
    // Qt's X11 backing store would take its shared memory from the X server, which hands it
    // over as a descriptor inside a reply. Out of descriptors, that reply arrives without it
    // and libxcb shuts the connection down: the program then waits for replies forever and
    // neither draws nor closes. A new window (an error box, a hint) is exactly when that
    // happens. Plain image transfers need no descriptor and a 340x200 panel is cheap to send.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
    // A scaling factor the panel cannot be shown at is left unused (see ScaleFactor).
    for (const char* name : ScaleFactor::kVariables) {
        const char* value = std::getenv(name);
        if (value && !ScaleFactor::Usable(name, value)) {
            std::fputs(ScaleFactor::IgnoredLine(name, value).c_str(), stderr);
            ::unsetenv(name);
        }
    }

    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::Round);
    // Qt sees the program name only: the command line has been read, and Qt's own options
    // (-platform, -display, ...) are not part of it. Its environment variables still work.
    int qtArgc = argc > 0 ? 1 : 0;
    StartupDeadline::Arm(kDisplayWaitSeconds,
                         StartupFailureText("EOSError", g_programPath, 0, kNoDisplay));
    QApplication app(qtArgc, argv);
    StartupDeadline::Disarm();
    // No box: it would wait for the thread that could not be started.
    if (!DrawingThread::Keep(kDrawingThreadWaitMs)) {
        const auto threads = StartupResources::Shortage::Threads;
        StartupFailed(StartupResources::Kind(threads), StartupResources::Message(threads), false);
    }
    if (refused)
        StartupFailed(StartupResources::Kind(g_shortage), StartupResources::Message(g_shortage));
    if (const QScreen* screen = QGuiApplication::primaryScreen();
        screen && screen->depth() < kLeastColourDepth)
        StartupFailed("EOSError", "Zu geringe Farbtiefe der Anzeige", false);  // no box either
    const std::string title = ApplicationTitle(g_programPath);
    QGuiApplication::setApplicationDisplayName(QString::fromStdString(title));
    QGuiApplication::setDesktopFileName("org.pioout.PioOut");
    QtCanvas::InstallFontSubstitutes();

    try {
        QtPlatform platform;
        PpdevDevice device(line.port().device);
        PanelSession session(platform, device, title, CreditLine(line.port().name));
        // The box is shown with the reserve given up, and it is taken back afterwards.
        session.Report().OnBeforeBox([&reserve](std::exception_ptr) { reserve.Release(); });
        session.Report().OnAfterBox([&reserve] { reserve.Fill(); });
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
