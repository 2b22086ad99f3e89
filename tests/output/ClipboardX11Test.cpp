#include "output/ExportService.h"
#include "platform/Defaults.h"

#include <QBuffer>
#include <QEventLoop>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

// Runs xclip while our event loop keeps running: we own the clipboard and must answer it.
QByteArray xclip(const QStringList& arguments)
{
    QProcess process;
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(15000, &loop, &QEventLoop::quit);
    process.start(QStringLiteral("xclip"), arguments);
    loop.exec();
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return process.readAllStandardOutput();
}

} // namespace

TEST(ClipboardX11, AnotherProgramPastesTheCopyAtItsPixelSizeAndResolution)
{
    if (QStandardPaths::findExecutable("xclip").isEmpty()) GTEST_SKIP() << "xclip missing";
    platform::Defaults::standard().removeAllStored();
    QImage image(320, 200, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(10, 160, 90));
    image.setDevicePixelRatio(2.0);
    ASSERT_TRUE(ExportService::copy(image, true));

    const QStringList targets =
        QString::fromUtf8(xclip({"-selection", "clipboard", "-t", "TARGETS", "-o"}))
            .split('\n', Qt::SkipEmptyParts);
    EXPECT_TRUE(targets.contains("image/png")) << targets.join(' ').toStdString();
    EXPECT_TRUE(targets.contains("image/tiff")) << targets.join(' ').toStdString();

    QByteArray png = xclip({"-selection", "clipboard", "-t", "image/png", "-o"});
    QBuffer buffer(&png);
    QImageReader reader(&buffer, "png");
    const QImage pasted = reader.read();
    ASSERT_FALSE(pasted.isNull());
    EXPECT_EQ(pasted.size(), QSize(320, 200));
    EXPECT_NEAR(pasted.dotsPerMeterX() * 0.0254, 144.0, 0.5);
    EXPECT_EQ(pasted.pixelColor(5, 5), QColor(10, 160, 90));

    const QByteArray tiff = xclip({"-selection", "clipboard", "-t", "image/tiff", "-o"});
    EXPECT_TRUE(tiff.startsWith("II*") || tiff.startsWith("MM"));
    platform::Defaults::standard().removeAllStored();
}
