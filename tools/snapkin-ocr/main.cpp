// snapkin-ocr: recognises the text and barcodes of one image and prints them, for tests and
// for measuring recognition by hand. Not installed.
//
//   snapkin-ocr [--fast] [--no-codes] IMAGE
//
// Prints the recognised lines in reading order, one a line, then each barcode as
// "code: PAYLOAD", followed by " (qr)" for a QR code. Exits 1 when the image cannot be read
// or recognition fails, 2 on a usage error.

#include "platform/ImageReader.h"
#include "platform/TextRecognition.h"
#include "text/TextRecognizer.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

void printLine(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
}

void printError(const QString& text)
{
    std::fputs(("snapkin-ocr: " + text + "\n").toUtf8().constData(), stderr);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    using snapkin::TextRecognizer;

    auto level = TextRecognizer::Level::accurate;
    bool detectCodes = true;
    QString path;
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--fast")) {
            level = TextRecognizer::Level::fast;
        } else if (argument == QLatin1String("--no-codes")) {
            detectCodes = false;
        } else if (argument.startsWith(QLatin1String("--")) || !path.isEmpty()) {
            printError(QStringLiteral("usage: snapkin-ocr [--fast] [--no-codes] IMAGE"));
            return 2;
        } else {
            path = argument;
        }
    }
    if (path.isEmpty()) {
        printError(QStringLiteral("usage: snapkin-ocr [--fast] [--no-codes] IMAGE"));
        return 2;
    }

    const auto image = snapkin::platform::readImage(path);
    if (!image) {
        printError(QStringLiteral("can't read %1: %2")
                       .arg(path, snapkin::platform::userMessage(image.error())));
        return 1;
    }

    auto future = TextRecognizer::recognize(*image, level, detectCodes);
    future.waitForFinished();
    const TextRecognizer::Result result = future.result();
    if (!result) {
        printError(snapkin::platform::userMessage(result.error()));
        return 1;
    }
    for (const auto& line : result->lines)
        printLine(line.text);
    for (const auto& code : result->codes)
        printLine(QStringLiteral("code: ") + code.payload +
                  (code.isQR ? QStringLiteral(" (qr)") : QString()));
    return 0;
}
