// snapkin-render DOC.snapkin OUT.png
//
// Draws a document's image with its annotations at the image's pixel scale and writes a PNG.
// Prints one line: the output's pixel size and how many stored annotations could not be read.
// Exits non-zero with a message on a damaged, newer-version or unreadable document, or when
// the PNG cannot be written. A tool for tests and benchmarks, not installed.
#include "canvas/AnnotationsCanvas.h"
#include "model/SnapkinDocument.h"
#include "platform/AtomicWrite.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImageWriter>

#include <cstdio>

using namespace snapkin;

namespace {

int fail(const QString& message)
{
    std::fprintf(stderr, "snapkin-render: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: snapkin-render DOC.snapkin OUT.png\n");
        return 2;
    }
    const QString input = args[1];
    const QString output = args[2];

    const auto contents = SnapkinDocument::read(input);
    if (!contents) return fail(input + ": " + contents.error().userMessage());
    const AnnotationDocument& document = contents->document;
    if (document.version > AnnotationDocument::currentVersion) {
        const auto newer = SnapkinDocument::Failure::newerVersion(
            int(std::min<qint64>(document.version, std::numeric_limits<int>::max())));
        return fail(input + ": " + newer.userMessage());
    }

    const platform::BaseImage& image = contents->image;
    const QImage rendered = AnnotationsCanvas::render(image, document.annotations, image.pixelScale());
    if (rendered.isNull()) return fail(input + ": the image is too large to draw.");

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(rendered)) return fail(output + ": " + writer.errorString());
    if (auto written = platform::writeFileAtomically(output, png); !written)
        return fail(output + ": " + platform::userMessage(written.error()));

    std::printf("%dx%d %lld skipped\n", rendered.width(), rendered.height(),
                static_cast<long long>(document.skippedAnnotations));
    return 0;
}
