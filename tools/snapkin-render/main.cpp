// snapkin-render DOC.snapkin OUT.(png|jpg|webp|pdf|tiff|gif|bmp)
//
// Flattens a document (image, annotations, frame, shadow and watermark) at the image's pixel
// scale and writes it in the format named by the output's extension. Prints one line: the
// output's pixel size and how many stored annotations could not be read. Exits 1 with a message
// naming the file on a missing, damaged, newer-version or unreadable document, one whose image
// the memory there is can't hold ("There isn't enough memory to open …"), or when the file
// cannot be written, and 2 on a usage error (an unknown format among them). A tool for tests and
// benchmarks, not installed.
#include "../common/ToolSupport.h"

#include "model/SnapkinDocument.h"
#include "output/ExportFormat.h"
#include "output/ExportService.h"
#include "output/FlattenService.h"
#include "platform/AtomicWrite.h"
#include "platform/PoolThreads.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>

#include <limits>

using namespace snapkin;
using tools::fail;
using tools::usageError;

namespace {

// Why `path` is no document to read, when that can be told before reading it: it is missing,
// it is a file (an image, for one) rather than a package folder, or a folder without a document.
std::optional<QString> notADocument(const QString& path)
{
    const QFileInfo info(path);
    const QString name = QDir::toNativeSeparators(path);
    if (!info.exists()) return QStringLiteral("\"%1\" doesn't exist.").arg(name);
    if (info.isFile()) {
        if (!QImageReader::imageFormat(path).isEmpty()) {
            return QStringLiteral("\"%1\" is an image, not a Snapkin document (a folder holding "
                                  "document.json and image.png).")
                .arg(name);
        }
        return QStringLiteral("\"%1\" is a file, not a Snapkin document (a folder holding "
                              "document.json and image.png).")
            .arg(name);
    }
    if (info.isDir() && !QFileInfo::exists(path + QStringLiteral("/") +
                                           QLatin1String(SnapkinDocument::documentEntry))) {
        return QStringLiteral("\"%1\" is a folder but not a Snapkin document: it holds no "
                              "document.json.")
            .arg(name);
    }
    return std::nullopt;
}

int run(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    tools::identify("snapkin-render");
    // Flattening and encoding a large picture split their work among Qt's pool threads, which
    // are started now, while there is room for them, rather than when memory may be spent.
    if (platform::reservePoolThreads() == 0)
        return fail(QStringLiteral("no worker thread could be started: allow the process more "
                                   "address space (ulimit -v)."));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Flattens a Snapkin document and writes it in the format OUT's extension names (png, "
        "jpg, webp, pdf, tiff, gif or bmp). Prints the output's pixel size and how many "
        "annotations could not be read."));
    parser.addPositionalArgument(QStringLiteral("DOC"), QStringLiteral("The document (.snapkin)."));
    parser.addPositionalArgument(QStringLiteral("OUT"), QStringLiteral("The file to write."));
    if (const int status = tools::parseArguments(parser); status >= 0) return status;
    const QStringList args = parser.positionalArguments();
    if (args.size() != 2) {
        return usageError(args.size() < 2
                              ? QStringLiteral("Give a document and an output file.")
                              : QStringLiteral("Too many arguments: ") + args.join(u' '));
    }
    const QString input = args[0];
    const QString output = args[1];
    const auto format = exportFormatFromExtension(output);
    if (!format) {
        return usageError(QStringLiteral("\"%1\" doesn't end in a known image format (png, jpg, "
                                         "webp, pdf, tiff, gif or bmp).")
                              .arg(output));
    }

    if (const auto reason = notADocument(input)) return fail(*reason);
    auto contents = SnapkinDocument::read(input);
    if (!contents) {
        if (contents.error().kind == SnapkinDocument::Failure::Kind::outOfMemory)
            return fail(contents.error().describe(input));
        return fail(input + ": " + contents.error().userMessage());
    }
    const AnnotationDocument& document = contents->document;
    if (document.version > AnnotationDocument::currentVersion) {
        const auto newer = SnapkinDocument::Failure::newerVersion(
            int(std::min<qint64>(document.version, std::numeric_limits<int>::max())));
        return fail(input + ": " + newer.userMessage());
    }

    const auto flattened = FlattenService::flatten(document, contents->image);
    if (!flattened) return fail(input + ": " + userMessage(flattened.error()));
    // The picture is all that is encoded: the document's image goes before the encoder's
    // buffers come (unless the picture shares its pixels).
    contents->image = {};
    const auto bytes = ExportService::data(platform::BaseImage(*flattened), *format);
    if (!bytes) return fail(output + ": the image couldn't be encoded as " + label(*format) + '.');
    if (auto written = platform::writeFileAtomically(output, *bytes); !written)
        return fail(platform::describeWriteFailure(output, written.error()));

    const QImage& rendered = *flattened;
    const bool printed = tools::writeOut(QStringLiteral("%1x%2 %3 skipped\n")
                                             .arg(rendered.width())
                                             .arg(rendered.height())
                                             .arg(document.skippedAnnotations));
    return printed ? 0 : tools::outputFailed();
}

} // namespace

int main(int argc, char** argv)
{
    return snapkin::tools::exitOnOutOfMemory("snapkin-render", [&] { return run(argc, argv); });
}
