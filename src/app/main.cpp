// SPDX-License-Identifier: MIT
// pio-out: start-up, the event loop and the reports of errors.
#include <QApplication>
#include <malloc.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/types.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "app/ApplicationTitle.h"
#include "app/CommandLine.h"
#include "app/PanelSession.h"
#include "app/PortChoice.h"
#include "app/StartupFailure.h"
#include "app/StartupResources.h"
#include "app/Version.h"
#include "app/linux/ChosenDevice.h"
#include "app/linux/DescriptorReserve.h"
#include "app/linux/ResourceProbe.h"
#include "app/linux/ScaleFactor.h"
#include "app/linux/StartupDeadline.h"
#include "output/PortNode.h"
#include "platform/qt/DisplayPlatform.h"
#include "platform/qt/DrawingThread.h"
#include "platform/qt/PanelWidget.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtStartup.h"

namespace pio {

namespace {

std::string g_programPath = "pio-out";

// Descriptors kept back for drawing an error box when the program has run out of them, and
// those left free when it is taken back (see docs/architecture.md, "The descriptor reserve").
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
    if (box) QtStartup::ShowFailureBox(kStartupFailureCaption, text);
    ::_exit(1);
}

// Qt's fatal message while starting: it could not reach the display. Qt's own text advises
// reinstalling; the report says what is wrong (its warnings before this, which display could
// not be reached, have been printed). Qt ends up here as well when it could not open a file
// or map a library for lack of descriptors or memory; the display is then fine, and saying
// so would send the user looking in the wrong place. The probes run at once, in the state
// Qt saw.
void OnQtFatal() {
    const StartupResources::Shortage cause =
        g_shortage != StartupResources::Shortage::None ? g_shortage : ResourceProbe::AfterFailure();
    const bool shortage = cause != StartupResources::Shortage::None;
    const std::string text =
        StartupFailureText(shortage ? StartupResources::Kind(cause) : "EOSError", g_programPath, 0,
                           shortage ? StartupResources::Message(cause) : kNoDisplay);
    std::fprintf(stderr, "%s\n", text.c_str());
    ::_exit(1);
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

}  // namespace

static int Main(int argc, char** argv) {
    CommandLine line =
        CommandLine::Parse(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc),
                           PortRules::Linux, PIO_VERSION_STRING);
    // A plain file, a folder or a disk named as the port is a slip of the hand; it would never
    // be written anyway, but saying so now beats a box once port output is on.
    if (line.action() == CommandLine::Action::Run && line.port().kind == PortKind::Parallel) {
        if (const char* what = NeverAPort(line.port().device)) line = line.RefusePort(what);
    }
    if (line.action() != CommandLine::Action::Run) return PrintAndEnd(line);

    g_programPath = ProgramPath(argc > 0 ? argv[0] : nullptr);
    std::signal(SIGPIPE, SIG_IGN);  // a port stand-in whose reader left gives EPIPE instead
    std::signal(SIGTERM, OnEndSignal);
    std::signal(SIGHUP, OnEndSignal);
    std::signal(SIGINT, OnEndSignal);
    QtStartup::CatchFatal(OnQtFatal);

    // One malloc arena for all threads (see docs/architecture.md, "One malloc arena").
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
    // A scaling factor the panel cannot be shown at is left unused (see ScaleFactor).
    for (const char* name : ScaleFactor::kVariables) {
        const char* value = std::getenv(name);
        if (value && !ScaleFactor::Usable(name, value)) {
            std::fputs(ScaleFactor::IgnoredLine(name, value).c_str(), stderr);
            ::unsetenv(name);
        }
    }

    QtStartup::Prepare();
    // Qt sees the program name only: the command line has been read, and Qt's own options
    // (-platform, -display, ...) are not part of it. Its environment variables still work.
    int qtArgc = argc > 0 ? 1 : 0;
    ChooseDisplayPlatform();  // Xwayland where there is one: the panel keeps its place
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
    if (!QtStartup::ColourDepthAtLeast(kLeastColourDepth))
        StartupFailed("EOSError", "Zu geringe Farbtiefe der Anzeige", false);  // no box either
    const std::string title = ApplicationTitle(g_programPath);
    QtStartup::Present(title);

    return RunOrReportStartupFailure(
        [&] {
            QtPlatform platform;
            ChosenDevice chosen(line.port());
            PanelSession session(platform, chosen.device(), title, chosen.credit());
            // The box is shown with the reserve given up, and it is taken back afterwards.
            session.Report().OnBeforeBox([&reserve](std::exception_ptr) { reserve.Release(); });
            session.Report().OnAfterBox([&reserve] { reserve.Fill(); });
            PanelWidget& window =
                platform.CreateWindow(session.WindowBounds(), QString::fromStdString(title));
            QtStartup::SetIcon(window);
            session.Start();
            window.show();
            QtStartup::Started();
            platform.run();
            window.hide();
            return 0;
        },
        [](const std::string& kind, const std::string& message) { StartupFailed(kind, message); });
}

}  // namespace pio

int main(int argc, char** argv) { return pio::Main(argc, argv); }
