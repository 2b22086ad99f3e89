// Measures where upscaling before accurate recognition stops buying words: for text drawn at
// each pixel size (prose in DejaVu Sans and DejaVu Serif, code in DejaVu Sans Mono), prints the
// line height the block finder measures, then the word accuracy and the CPU time of reading
// the page as drawn and upscaled to lines of 17, 18, 20 and 24 pixels. The smallest line
// height at which reading as drawn is as accurate is where TextRecognition's upscale threshold
// belongs; the lowest height upscaling to which is as accurate is where it upscales to.
//
//   OcrLineHeights [SIZE...]      (pixel sizes; 7 to 20 by default)

#include "support/TextPage.h"

#include "platform/TextBlocks.h"
#include "platform/TextRecognition.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

using snapkin::platform::TextRecognition;

const QStringList prose{
    "Screenshots are the quickest way to show someone what you see. A good capture tool stays",
    "out of the way until it is needed, then gets the picture, the markings and the words on",
    "it to where they belong without a second thought. Reading the text of a picture turns",
    "it back into something you can search, quote and edit. Most screens hold far more text",
    "than pictures: menus, messages, documents and code, all drawn crisply at a known size.",
};

const QStringList code{
    "std::vector<Block> splitRows(const Block& band, const std::vector<int>& ink)",
    "    for (int row = band.top; row < band.top + band.height; ++row) {",
    "        const bool blank = ink[row] == 0;",
    "        if (!blank && start < 0) start = row;",
    "            blocks.push_back({band.left, start, band.width, row - start});",
};

double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

QImage page(const QString& face, int pixelSize, const QStringList& lines)
{
    QFont font(face);
    font.setPixelSize(pixelSize);
    const QFontMetrics metrics(font);
    int width = 0;
    for (const QString& line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    const int step = metrics.height() + pixelSize / 2;
    QImage image(width + 60, step * int(lines.size()) + 60, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font);
    painter.setPen(QColor(0x22, 0x22, 0x22));
    for (int i = 0; i < int(lines.size()); ++i)
        painter.drawText(QPoint(30, 30 + metrics.ascent() + i * step), lines[i]);
    return image;
}

struct Reading {
    double accuracy = 0;
    double cpu = 0;
};

Reading read(const QImage& image, const QString& truth, int upscaleBelow, int upscaleTo = 0)
{
    TextRecognition::Options options;
    options.languages = {QStringLiteral("eng")};
    options.upscaleBelow = upscaleBelow;
    if (upscaleTo > 0) options.upscaleTo = upscaleTo;
    const double start = cpuSeconds();
    const auto lines = TextRecognition::recognize(image, options);
    Reading reading;
    reading.cpu = cpuSeconds() - start;
    QStringList text;
    if (lines) {
        for (const auto& line : *lines)
            text.append(line.text);
    }
    reading.accuracy = snapkin::bench::wordAccuracy(text.join(QLatin1Char('\n')), truth) * 100;
    return reading;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QList<int> sizes;
    for (const QString& argument : app.arguments().mid(1))
        sizes.append(argument.toInt());
    if (sizes.isEmpty()) sizes = {7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 18, 20};

    // One read first, so neither column pays for starting the engine.
    (void)read(page(QStringLiteral("DejaVu Sans"), 16, prose), prose.join('\n'), 0);
    constexpr int targets[] = {17, 18, 20, 24};
    std::printf("%-16s %4s %6s  %18s", "face", "px", "line", "as drawn (% / s)");
    for (const int target : targets)
        std::printf("  %11s %2d px", "upscaled to", target);
    std::printf("\n");
    for (const char* face : {"DejaVu Sans", "DejaVu Serif", "DejaVu Sans Mono"}) {
        const bool isCode = QLatin1String(face) == QLatin1String("DejaVu Sans Mono");
        const QStringList& lines = isCode ? code : prose;
        for (const int size : sizes) {
            const QImage image = page(QString::fromLatin1(face), size, lines);
            const auto blocks =
                snapkin::platform::findTextBlocks(image.convertToFormat(QImage::Format_RGB888), {});
            std::vector<int> heights;
            for (const auto& block : blocks)
                heights.push_back(block.lineHeight);
            std::sort(heights.begin(), heights.end());
            const int line = heights.empty() ? 0 : heights[heights.size() / 2];
            const Reading drawn = read(image, lines.join('\n'), 0);
            std::printf("%-16s %4d %6d  %8.1f %8.3f", face, size, line, drawn.accuracy, drawn.cpu);
            for (const int target : targets) {
                const Reading upscaled = read(image, lines.join('\n'), 1000, target);
                std::printf("  %8.1f %8.3f", upscaled.accuracy, upscaled.cpu);
            }
            std::printf("\n");
        }
    }
    return 0;
}
