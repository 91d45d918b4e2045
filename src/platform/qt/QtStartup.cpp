// SPDX-License-Identifier: MIT
#include "platform/qt/QtStartup.h"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <cstddef>
#include <string>

#include "art/Artwork.h"
#include "platform/qt/QtCanvas.h"

namespace pio::QtStartup {

namespace {

bool g_starting = true;
void (*g_onFatal)() = nullptr;
QtMessageHandler g_qtHandler = nullptr;

void OnQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& msg) {
    if (type == QtFatalMsg && g_starting && g_onFatal) {
        g_starting = false;  // no box: there is no display to show it on, or no resources
        g_onFatal();
    }
    if (g_qtHandler) g_qtHandler(type, context, msg);
}

QIcon ProgramIcon() {
    const artwork::Icon icon = artwork::ProgramIcon();
    QIcon result;
    // Enlarged here, each pixel a block (see docs/architecture.md, "The program icon").
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

void Prepare() {
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
    // Qt 6.8 draws in pieces on a pool of its own, whose threads end when idle and which no
    // public call can keep (see DrawingThread). Under a thread limit a box then waited
    // forever for a piece no thread drew. Without that pool Qt draws on the calling thread;
    // Qt 6.4 has no such pool and ignores the variable.
    qputenv("QT_NO_GUI_THREADPOOL", "1");
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::Round);
}

void CatchFatal(void (*onFatal)()) {
    g_onFatal = onFatal;
    g_qtHandler = qInstallMessageHandler(OnQtMessage);
}

void Started() { g_starting = false; }

bool Starting() { return g_starting; }

void Present(const std::string& title) {
    QGuiApplication::setApplicationDisplayName(QString::fromStdString(title));
    QGuiApplication::setDesktopFileName("org.pioout.PioOut");
    QtCanvas::InstallFontSubstitutes();
}

void SetIcon(QWidget& window) {
    window.setWindowIcon(ProgramIcon());
    QApplication::setWindowIcon(window.windowIcon());
}

bool ColourDepthAtLeast(int bits) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return !screen || screen->depth() >= bits;
}

void ShowFailureBox(const std::string& caption, const std::string& text) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

}  // namespace pio::QtStartup
