// snapkin-render DOC.snapkin OUT.(png|jpg|webp|pdf|tiff|gif|bmp)
//
// Flattens a document (image, annotations, frame, shadow and watermark) at the image's pixel
// scale and writes it in the format named by the output's extension. Prints one line: the
// output's pixel size and how many stored annotations could not be read. Exits non-zero with a
// message on a damaged, newer-version or unreadable document, an unknown format, or when the
// file cannot be written. A tool for tests and benchmarks, not installed.
#include "model/SnapkinDocument.h"
#include "output/ExportFormat.h"
#include "output/ExportService.h"
#include "output/FlattenService.h"
#include "platform/AtomicWrite.h"

#include <QGuiApplication>

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
        std::fprintf(stderr, "usage: snapkin-render DOC.snapkin OUT.(png|jpg|webp|pdf|tiff|gif|bmp)\n");
        return 2;
    }
    const QString input = args[1];
    const QString output = args[2];
    const auto format = exportFormatFromExtension(output);
    if (!format) return fail(output + ": the file name doesn't end in a known image format.");

    const auto contents = SnapkinDocument::read(input);
    if (!contents) return fail(input + ": " + contents.error().userMessage());
    const AnnotationDocument& document = contents->document;
    if (document.version > AnnotationDocument::currentVersion) {
        const auto newer = SnapkinDocument::Failure::newerVersion(
            int(std::min<qint64>(document.version, std::numeric_limits<int>::max())));
        return fail(input + ": " + newer.userMessage());
    }

    const auto flattened = FlattenService::flatten(document, contents->image);
    if (!flattened) return fail(input + ": " + userMessage(flattened.error()));
    const auto bytes = ExportService::shared().data(platform::BaseImage(*flattened), *format);
    if (!bytes) return fail(output + ": the image couldn't be encoded in this format.");
    if (auto written = platform::writeFileAtomically(output, *bytes); !written)
        return fail(output + ": " + platform::userMessage(written.error()));

    const QImage& rendered = *flattened;
    std::printf("%dx%d %lld skipped\n", rendered.width(), rendered.height(),
                static_cast<long long>(document.skippedAnnotations));
    return 0;
}
