// Writes the benchmarks' screen of text and what was drawn on it, for scripts that time whole
// recognition programs on it:
//
//   WriteTextPage [--prose-px N] [--code-px N] [--prose PARAGRAPHS.txt] [--code SOURCE]
//                 [--dark-code] FOLDER
//                             → FOLDER/page.png, FOLDER/prose.txt, FOLDER/code.txt; with
//                               --prose-px every paragraph is DejaVu Sans of N pixels, with
//                               --prose the paragraphs (blank-line separated) are the file's,
//                               with --code the source file's lines are the file's (as many
//                               as the pane holds), with --dark-code the source file is light
//                               on a near-black pane
//   WriteTextPage --score RECOGNISED.txt FOLDER
//                             → "prose PCT code PCT", the word accuracy of a recognised text

#include "support/TextPage.h"

#include <QGuiApplication>
#include <QRegularExpression>

#include <cstdio>

using snapkin::bench::readText;
using snapkin::bench::writeText;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 3 && args[0] == QLatin1String("--score")) {
        const QString recognised = readText(args[1]);
        const double prose =
            snapkin::bench::wordAccuracy(recognised, readText(args[2] + "/prose.txt"));
        const double code =
            snapkin::bench::wordAccuracy(recognised, readText(args[2] + "/code.txt"));
        std::printf("prose %.1f code %.1f\n", prose * 100, code * 100);
        return 0;
    }
    snapkin::bench::TextPageStyle style;
    QStringList rest = args;
    bool valid = true;
    while (valid && rest.size() >= 2 && rest[0].startsWith(QLatin1String("--"))) {
        if (rest[0] == QLatin1String("--dark-code")) {
            style.darkCode = true;
            rest = rest.mid(1);
            continue;
        }
        if (rest[0] == QLatin1String("--code")) {
            style.codeLines = readText(rest[1]).split(u'\n');
            style.codeLines.replaceInStrings(QStringLiteral("\t"), QStringLiteral("        "));
            valid = !style.codeLines.join(QString()).trimmed().isEmpty();
            rest = rest.mid(2);
            continue;
        }
        if (rest[0] == QLatin1String("--prose")) {
            style.paragraphs = readText(rest[1]).split(QStringLiteral("\n\n"), Qt::SkipEmptyParts);
            style.paragraphs.replaceInStrings(QRegularExpression(QStringLiteral("\\s+")),
                                              QStringLiteral(" "));
            valid = !style.paragraphs.isEmpty();
            rest = rest.mid(2);
            continue;
        }
        const int pixels = rest[1].toInt(&valid);
        valid = valid && pixels >= 6 && pixels <= 40;
        if (rest[0] == QLatin1String("--prose-px"))
            style.prosePixels = pixels;
        else if (rest[0] == QLatin1String("--code-px"))
            style.codePixels = pixels;
        else
            valid = false;
        rest = rest.mid(2);
    }
    if (!valid || rest.size() != 1) {
        std::fprintf(stderr, "usage: WriteTextPage [--prose-px N] [--code-px N] [--prose FILE] "
                             "[--code FILE] [--dark-code] FOLDER | "
                             "--score RECOGNISED.txt FOLDER\n");
        return 2;
    }
    const snapkin::bench::TextPage page = snapkin::bench::makeTextPage(style);
    const QString folder = rest[0];
    const bool written = page.image.save(folder + "/page.png") &&
                         writeText(folder + "/prose.txt", page.prose) &&
                         writeText(folder + "/code.txt", page.code);
    if (!written) std::fprintf(stderr, "could not write into %s\n", qPrintable(folder));
    return written ? 0 : 1;
}
