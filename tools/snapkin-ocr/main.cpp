// snapkin-ocr: recognises the text and barcodes of one image and prints them, for tests and
// for measuring recognition by hand. Not installed.
//
//   snapkin-ocr [--fast] [--no-codes] IMAGE
//
// Prints the recognised lines in reading order, one a line, then each barcode as
// "code: PAYLOAD", followed by " (qr)" for a QR code. Exits 1 when the image cannot be read,
// recognition fails or the output cannot be written, 2 on a usage error.

#include "../common/ToolSupport.h"

#include "platform/ImageReader.h"
#include "platform/MemoryRelease.h"
#include "platform/TextRecognition.h"
#include "recognition/TextRecognizer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QImageReader>
#include <QScopeGuard>
#include <QStringList>
#include <QThreadPool>

using snapkin::TextRecognizer;
using snapkin::tools::fail;
using snapkin::tools::usageError;

namespace {

int run(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    snapkin::tools::identify("snapkin-ocr");

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Prints the text of an image in reading order, one line a line, then its barcodes as "
        "\"code: PAYLOAD\" (\" (qr)\" after a QR code)."));
    parser.addPositionalArgument(QStringLiteral("IMAGE"),
                                 QStringLiteral("A PNG, JPEG, WebP, TIFF, GIF or BMP image."));
    const QCommandLineOption fastOption(QStringLiteral("fast"),
                                        QStringLiteral("Reads faster and less accurately."));
    const QCommandLineOption noCodesOption(QStringLiteral("no-codes"),
                                           QStringLiteral("Looks for text only, not barcodes."));
    parser.addOptions({fastOption, noCodesOption});
    if (const int status = snapkin::tools::parseArguments(parser); status >= 0) return status;
    const QStringList args = parser.positionalArguments();
    if (args.size() != 1) {
        return usageError(args.isEmpty()
                              ? QStringLiteral("Give the image to read.")
                              : QStringLiteral("One image only; got: ") + args.join(u' '));
    }
    const QString path = args.first();
    const auto level =
        parser.isSet(fastOption) ? TextRecognizer::Level::fast : TextRecognizer::Level::accurate;

    // The engines start while the image is decoded; the header gives its size. Whatever the
    // outcome, the tool exits only once no engine is starting or reading any more: the engine
    // library's globals go with the process's static data.
    const auto settle = qScopeGuard([] { TextRecognizer::pool().waitForDone(); });
    if (const QSize size = QImageReader(path).size(); size.isValid())
        TextRecognizer::warmUp(size, level);
    auto image = snapkin::platform::readImage(path);
    if (!image) {
        return fail(QStringLiteral("\"%1\": %2")
                        .arg(QDir::toNativeSeparators(path),
                             snapkin::platform::userMessage(image.error())));
    }

    auto future = TextRecognizer::recognize(*image, level, !parser.isSet(noCodesOption));
    *image = QImage(); // the recogniser lets its copy go once it has what it needs
    future.waitForFinished();
    const TextRecognizer::Result result = future.result();
    if (!result) return fail(snapkin::platform::userMessage(result.error()));
    QString text;
    for (const auto& line : result->lines)
        text += line.text + u'\n';
    for (const auto& code : result->codes) {
        text += QStringLiteral("code: ") + code.payload +
                (code.isQR ? QStringLiteral(" (qr)") : QString()) + u'\n';
    }
    return snapkin::tools::writeOut(text) ? 0 : snapkin::tools::outputFailed();
}

} // namespace

int main(int argc, char** argv)
{
    // The allocator as the application sets it up, so the tool's memory is the application's.
    snapkin::platform::MemoryRelease::configureAllocator();
    return snapkin::tools::exitOnOutOfMemory("snapkin-ocr", [&] { return run(argc, argv); });
}
