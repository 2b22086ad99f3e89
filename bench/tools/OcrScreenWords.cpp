// Finds the words a 1080p screen of text loses to accurate recognition, as the text copier
// reads it (the recogniser pool, its engines started beforehand), for each line height small
// text is upscaled to: per screen of DejaVu Sans prose and DejaVu Sans Mono code of one pixel
// size, the share of the prose and of the code read exactly, the median wall and CPU time of a
// reading, and the words missed. The default screen (serif and sans prose, 14 px code) comes
// first as "mixed".
//
//   OcrScreenWords [--to [BELOW/]TO[/AGAIN][,...]] [--prose PARAGRAPHS.txt] [--runs N] [SIZE...]
//       (lines below BELOW pixels, the recogniser's threshold by default, upscaled to TO, and
//       blocks with a doubted word read again at AGAIN, 0 for never; the recogniser's own
//       settings by default; 3 runs; sizes 13 to 16 by default)

#include "support/TextPage.h"

#include "platform/TextRecognition.h"
#include "recognition/RecognitionJob.h"
#include "recognition/TextRecognizer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <expected>

namespace {

using snapkin::TextRecognizer;
using snapkin::platform::TextRecognition;

double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

// The words of `truth` not among those of `recognised`, each recognised word used once.
QStringList missedWords(const QString& recognised, const QString& truth)
{
    static const QRegularExpression space(QStringLiteral("\\s+"));
    QHash<QString, int> available;
    for (const QString& word : recognised.split(space, Qt::SkipEmptyParts))
        ++available[word];
    QStringList missed;
    for (const QString& word : truth.split(space, Qt::SkipEmptyParts)) {
        auto found = available.find(word);
        if (found != available.end() && *found > 0)
            --*found;
        else
            missed.append(word);
    }
    return missed;
}

// How small lines are upscaled: blocks of lines lower than `below` pixels to lines of `to`.
struct Upscale {
    int below = TextRecognition::smallLineHeight;
    int to = TextRecognition::upscaledLineHeight;
    int reread = TextRecognition::rereadLineHeight;
};

// The text of `image` read as the text copier reads it, small lines upscaled as `upscale` says.
QString read(const QImage& image, Upscale upscale)
{
    using Text = std::expected<QString, snapkin::platform::RecognitionError>;
    using Job = snapkin::RecognitionJob<Text>;
    TextRecognition::Options options;
    options.languages = TextRecognizer::recognitionLanguages();
    options.upscaleBelow = upscale.below;
    options.upscaleTo = upscale.to;
    options.rereadTo = upscale.reread;
    auto future = Job::start(TextRecognizer::pool(), {image, options, false, 1},
                             [](Job::Lines lines, Job::Codes) -> Text {
                                 QStringList text;
                                 for (const auto& line : lines)
                                     text.append(line.text);
                                 return text.join(QLatin1Char('\n'));
                             });
    future.waitForFinished();
    const Text text = future.result();
    return text ? *text : QString();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QList<Upscale> targets{{}};
    int runs = 3;
    QList<int> sizes;
    QStringList paragraphs;
    while (!args.isEmpty()) {
        const QString arg = args.takeFirst();
        if (arg == QLatin1String("--to") && !args.isEmpty()) {
            targets.clear();
            for (const QString& target : args.takeFirst().split(QLatin1Char(','))) {
                const QStringList parts = target.split(QLatin1Char('/'));
                Upscale upscale;
                upscale.to = parts.value(parts.size() >= 2 ? 1 : 0).toInt();
                if (parts.size() >= 2) upscale.below = parts[0].toInt();
                if (parts.size() >= 3) upscale.reread = parts[2].toInt();
                targets.append(upscale);
            }
        } else if (arg == QLatin1String("--prose") && !args.isEmpty()) {
            QFile file(args.takeFirst());
            if (!file.open(QIODevice::ReadOnly)) return 1;
            paragraphs = QString::fromUtf8(file.readAll())
                             .split(QStringLiteral("\n\n"), Qt::SkipEmptyParts)
                             .replaceInStrings(QRegularExpression(QStringLiteral("\\s+")),
                                               QStringLiteral(" "));
        } else if (arg == QLatin1String("--runs") && !args.isEmpty()) {
            runs = std::max(1, args.takeFirst().toInt());
        } else {
            sizes.append(arg.toInt());
        }
    }
    if (sizes.isEmpty()) sizes = {13, 14, 15, 16};

    std::vector<std::pair<QString, snapkin::bench::TextPage>> screens;
    screens.emplace_back(QStringLiteral("mixed"), snapkin::bench::makeTextPage());
    for (const int size : sizes)
        screens.emplace_back(QStringLiteral("%1 px").arg(size),
                             snapkin::bench::makeTextPage({size, size, paragraphs, {}, false}));

    // One reading first, so no figure pays for starting the engines.
    (void)read(screens.front().second.image, {});
    for (const auto& [name, page] : screens) {
        for (const Upscale target : targets) {
            std::vector<double> walls, cpus;
            QString text;
            for (int run = 0; run < runs; ++run) {
                QElapsedTimer timer;
                timer.start();
                const double cpu = cpuSeconds();
                text = read(page.image, target);
                cpus.push_back(cpuSeconds() - cpu);
                walls.push_back(timer.nsecsElapsed() / 1e9);
            }
            const QStringList prose = missedWords(text, page.prose);
            const QStringList code = missedWords(text, page.code);
            std::printf("%-6s below %2d to %2d again %2d  prose %5.1f %% code %5.1f %%  "
                        "wall %.2f s cpu %.2f s\n",
                        qPrintable(name), target.below, target.to, target.reread,
                        100 * snapkin::bench::wordAccuracy(text, page.prose),
                        100 * snapkin::bench::wordAccuracy(text, page.code), median(walls),
                        median(cpus));
            if (!prose.isEmpty())
                std::printf("    prose missed: %s\n", qPrintable(prose.join(' ')));
            if (!code.isEmpty()) std::printf("    code missed: %s\n", qPrintable(code.join(' ')));
        }
    }
    TextRecognizer::pool().waitForDone();
    return 0;
}
