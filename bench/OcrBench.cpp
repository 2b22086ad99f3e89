// Text recognition of a full-HD screenshot-like image: two columns of UI text (about 40 lines
// in DejaVu Sans and DejaVu Serif, 12 to 16 px) on panels, as the text copier (accurate) and
// the history (fast) recognise it. Reports the time and the share of drawn words read back.

#include "recognition/TextRecognizer.h"
#include "support/TextPage.h"

#include <QFont>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

namespace {

struct Screenshot {
    QImage image;
    QStringList words; // every word drawn, in no particular order
};

const QStringList vocabulary{
    "General",    "Capture",  "Save",      "folder",   "Pictures",     "Screenshots",
    "Copy",       "to",       "clipboard", "after",    "capture",      "Show",
    "editor",     "window",   "Play",      "sound",    "Keep",         "history",
    "for",        "days",     "Export",    "format",   "quality",      "Open",
    "recent",     "document", "Region",    "Display",  "Delay",        "seconds",
    "Highlight",  "Arrow",    "Rectangle", "Text",     "Blur",         "Pixelate",
    "Undo",       "Redo",     "Share",     "Print",    "Settings",     "Shortcuts",
    "Appearance", "Light",    "Dark",      "System",   "Language",     "English",
    "Account",    "Sign",     "in",        "with",     "your",         "email",
    "address",    "Version",  "2.4.1",     "Updated",  "today",        "at",
    "10:42",      "Storage",  "used",      "1.2",      "GB",           "of",
    "5",          "Project",  "notes",     "March",    "report",       "Invoice",
    "#4821",      "Total",    "$129.00",   "Download", "Cancel",       "Continue",
    "Search",     "files",    "and",       "folders",  "Name",         "Size",
    "Modified",   "Kind",     "PNG",       "image",    "JPEG",         "Documents",
    "Desktop",    "Library",  "Music",     "Movies",   "Applications", "Network",
};

// One line of a few words drawn at `baseline`; the words are recorded.
void drawLine(QPainter& painter, QPoint baseline, int words, QRandomGenerator& random,
              QStringList& drawn)
{
    QStringList line;
    for (int i = 0; i < words; ++i)
        line.append(vocabulary[int(random.bounded(qsizetype(vocabulary.size())))]);
    painter.drawText(baseline, line.join(QLatin1Char(' ')));
    drawn += line;
}

Screenshot makeScreenshot()
{
    Screenshot shot;
    shot.image = QImage(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    shot.image.fill(Qt::white);
    QRandomGenerator random(20261206);
    QPainter painter(&shot.image);
    painter.setRenderHint(QPainter::TextAntialiasing);

    // A window title bar, a sidebar panel and a content area, as in an application window.
    painter.fillRect(0, 0, 1920, 36, QColor(0xEC, 0xEC, 0xEC));
    painter.fillRect(0, 36, 520, 1044, QColor(0xF4, 0xF5, 0xF7));
    painter.fillRect(520, 36, 1, 1044, QColor(0xD0, 0xD0, 0xD0));
    painter.fillRect(600, 940, 180, 40, QColor(0x30, 0x7A, 0xF0));

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    painter.setFont(font);
    painter.setPen(QColor(0x33, 0x33, 0x33));
    drawLine(painter, {860, 24}, 3, random, shot.words);

    // Sidebar: 20 lines, 12 to 14 px.
    for (int row = 0; row < 20; ++row) {
        font.setPixelSize(12 + row % 3);
        font.setBold(row % 7 == 0);
        painter.setFont(font);
        painter.setPen(row % 7 == 0 ? QColor(0x11, 0x11, 0x11) : QColor(0x44, 0x44, 0x48));
        drawLine(painter, {32, 90 + row * 42}, 2 + row % 3, random, shot.words);
    }
    // Content: 19 lines, 13 to 16 px, sans and serif.
    for (int row = 0; row < 19; ++row) {
        QFont content(row % 4 == 3 ? QStringLiteral("DejaVu Serif")
                                   : QStringLiteral("DejaVu Sans"));
        content.setPixelSize(13 + row % 4);
        painter.setFont(content);
        painter.setPen(QColor(0x1E, 0x1E, 0x1E));
        drawLine(painter, {600, 96 + row * 44}, 5 + row % 5, random, shot.words);
    }
    // A button: white text on blue.
    font.setPixelSize(14);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QPoint(640, 965), QStringLiteral("Continue"));
    shot.words.append(QStringLiteral("Continue"));
    return shot;
}

// SNAPKIN_OCR_BENCH_IMAGE=path saves the image, to look at it or feed it to snapkin-ocr.
const Screenshot& screenshot()
{
    static const Screenshot shot = [] {
        Screenshot made = makeScreenshot();
        const QString path = qEnvironmentVariable("SNAPKIN_OCR_BENCH_IMAGE");
        if (!path.isEmpty()) made.image.save(path);
        return made;
    }();
    return shot;
}

// The share of drawn words found among the recognised ones, each counted at most as often
// as it was drawn.
double wordAccuracy(const QString& recognised, const QStringList& drawn)
{
    QHash<QString, int> available;
    for (const QString& word :
         recognised.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
        ++available[word];
    int right = 0;
    for (const QString& word : drawn) {
        auto found = available.find(word);
        if (found != available.end() && *found > 0) {
            --*found;
            ++right;
        }
    }
    return drawn.isEmpty() ? 0.0 : double(right) / drawn.size();
}

void recognise(benchmark::State& state, snapkin::TextRecognizer::Level level)
{
    const Screenshot& shot = screenshot();
    // Engines start once per thread; the first call pays for it, outside the measurement.
    snapkin::TextRecognizer::recognize(shot.image, level, true).waitForFinished();
    double accuracy = 0;
    qsizetype lines = 0;
    for (auto _ : state) {
        auto future = snapkin::TextRecognizer::recognize(shot.image, level, true);
        future.waitForFinished();
        const auto result = future.result();
        if (!result) {
            state.SkipWithError("recognition failed");
            return;
        }
        accuracy = wordAccuracy(result->text(), shot.words);
        lines = qsizetype(result->lines.size());
    }
    state.counters["word_accuracy_pct"] = accuracy * 100.0;
    state.counters["lines"] = double(lines);
    state.counters["words_drawn"] = double(shot.words.size());
}

void BM_RecognizeAccurate(benchmark::State& state)
{
    recognise(state, snapkin::TextRecognizer::Level::accurate);
}

void BM_RecognizeFast(benchmark::State& state)
{
    recognise(state, snapkin::TextRecognizer::Level::fast);
}

// The 1080p screen of prose and code as Copy Text reads it, engines started: the time and
// the word accuracy on the prose and on the code.
void BM_RecognizeTextPage(benchmark::State& state)
{
    const snapkin::bench::TextPage page = snapkin::bench::makeTextPage();
    const auto level = snapkin::TextRecognizer::Level::accurate;
    snapkin::TextRecognizer::recognize(page.image, level, true).waitForFinished();
    QString text;
    for (auto _ : state) {
        auto future = snapkin::TextRecognizer::recognize(page.image, level, true);
        future.waitForFinished();
        const auto result = future.result();
        if (!result) {
            state.SkipWithError("recognition failed");
            return;
        }
        text = result->text();
    }
    state.counters["prose_accuracy_pct"] = snapkin::bench::wordAccuracy(text, page.prose) * 100;
    state.counters["code_accuracy_pct"] = snapkin::bench::wordAccuracy(text, page.code) * 100;
}

// How long a cancelled recognition of a 4K screenshot (four of the screenshots above, so
// small text: several seconds of work) keeps running: the time from cancel() to the end of
// the call, the cancel arriving `range(0)` ms after the start.
QImage fourScreenshots()
{
    QImage large(3840, 2160, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&large);
    for (const QPoint corner : {QPoint(0, 0), QPoint(1920, 0), QPoint(0, 1080), QPoint(1920, 1080)})
        painter.drawImage(corner, screenshot().image);
    return large;
}

void BM_CancelLatency4K(benchmark::State& state)
{
    const QImage large = fourScreenshots();
    const auto wait = std::chrono::milliseconds(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto future = snapkin::TextRecognizer::recognize(
            large, snapkin::TextRecognizer::Level::accurate, true);
        std::this_thread::sleep_for(wait);
        state.ResumeTiming();
        future.cancel();
        future.waitForFinished();
    }
}

// The whole of that 4K image, uncancelled, for scale.
void BM_RecognizeAccurate4K(benchmark::State& state)
{
    const QImage large = fourScreenshots();
    for (auto _ : state) {
        auto future = snapkin::TextRecognizer::recognize(
            large, snapkin::TextRecognizer::Level::accurate, true);
        future.waitForFinished();
    }
}

} // namespace

BENCHMARK(BM_RecognizeTextPage)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_RecognizeAccurate4K)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_CancelLatency4K)
    ->Arg(50)
    ->Arg(400)
    ->Arg(1500)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_RecognizeAccurate)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_RecognizeFast)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
