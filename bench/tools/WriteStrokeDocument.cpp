// Writes a document package holding one long pen stroke over a plain picture, its JSON written
// compactly as a document made by hand may be, for timing what the application and the tools
// make of it:
//
//   WriteStrokeDocument [--scribble] [--size WxH] POINTS OUT.snapkin
//
// The stroke is thrown back and forth across the picture (each point anywhere in it, so it
// crosses itself everywhere), or with --scribble drawn at the pointer's rate over a 4K capture
// (the size then is 3840x2160 unless given). The default size is 400x300.

#include "model/SnapkinDocument.h"
#include "support/SampleAnnotations.h"

#include <QGuiApplication>
#include <QImage>
#include <QJsonDocument>

#include <cstdio>

using namespace snapkin;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    bool scribble = false;
    QSize size;
    while (!args.isEmpty() && args[0].startsWith(QLatin1String("--"))) {
        if (args[0] == QLatin1String("--scribble")) {
            scribble = true;
            args.removeFirst();
        } else if (args[0] == QLatin1String("--size") && args.size() > 1) {
            const QStringList sides = args[1].split(u'x');
            size = sides.size() == 2 ? QSize(sides[0].toInt(), sides[1].toInt()) : QSize();
            if (size.isEmpty()) break;
            args = args.mid(2);
        } else {
            break;
        }
    }
    bool valid = false;
    const int points = args.value(0).toInt(&valid);
    if (args.size() != 2 || !valid || points < 1) {
        std::fprintf(stderr, "usage: WriteStrokeDocument [--scribble] [--size WxH] POINTS "
                             "OUT.snapkin\n");
        return 2;
    }
    if (size.isEmpty()) size = scribble ? QSize(3840, 2160) : QSize(400, 300);

    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(200, 200, 200));
    AnnotationDocument document;
    document.canvasSize = QSizeF(size);
    document.generator = SnapkinDocument::generator();
    Annotation stroke =
        scribble ? bench::scribble(points) : bench::thrownStroke(points, QSizeF(size));
    document.annotations = {stroke};
    const auto json = document.toJson();
    const std::optional<QByteArray> png = SnapkinDocument::pngData(image);
    if (!json || !png) {
        std::fprintf(stderr, "could not encode the document\n");
        return 1;
    }
    const QByteArray text = QJsonDocument(*json).toJson(QJsonDocument::Compact);
    if (const auto written = SnapkinDocument::write({text, *png, std::nullopt}, args[1]);
        !written) {
        std::fprintf(stderr, "%s\n", qPrintable(written.error().describe(args[1])));
        return 1;
    }
    std::printf("%s: %d points, %lld bytes of JSON\n", qPrintable(args[1]), points,
                qint64(text.size()));
    return 0;
}
