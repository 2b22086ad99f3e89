#include "recognition/TextRecognizer.h"

#include "platform/L10n.h"
#include "platform/PoolThreads.h"
#include "recognition/RecognitionJob.h"

#include <QCoreApplication>
#include <QSet>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <numeric>

namespace snapkin {

namespace {

bool sameLanguageScriptAndRegion(const QLocale& a, const QLocale& b)
{
    return a.language() == b.language() && a.script() == b.script() &&
           a.territory() == b.territory();
}

platform::TextRecognition::Options optionsFor(TextRecognizer::Level level)
{
    platform::TextRecognition::Options options;
    options.languages = TextRecognizer::recognitionLanguages();
    options.accurate = level == TextRecognizer::Level::accurate;
    return options;
}

} // namespace

QThreadPool& TextRecognizer::pool()
{
    // A pool of its own, so recognition never holds up other work of the global pool: a
    // thread per core that the preparation, the barcodes and the independent blocks of one
    // image are spread over. Each block reads with an engine lent from the cache, which starts
    // engines once, lends them block after block and bounds how many exist (their memory).
    // Never destroyed, so no task outlives it. A cancelled job's future ends before a barcode
    // scan it started has returned, and the scanner's tables are freed as the process exits:
    // the application waits for such stragglers when it ends, before those tables go.
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
        // The small stacks of Qt's own pool: the engines read with well under a tenth of one,
        // where the C library's 8 MiB a thread, once per processor, would take a large share
        // of a limited address space.
        p->setStackSize(uint(platform::poolThreadStackBytes));
        qAddPostRoutine([] { pool->waitForDone(3000); });
        return p;
    }();
    return *pool;
}

QFuture<TextRecognizer::Result> TextRecognizer::recognize(const QImage& image, Level level,
                                                          bool detectCodes)
{
    // The copier waits for accurate results with the user watching; they go ahead of fast
    // ones still queued.
    const int priority = level == Level::accurate ? 1 : 0;
    using Job = RecognitionJob<Result>;
    return Job::start(
        pool(), {image, optionsFor(level), detectCodes, priority},
        [](Job::Lines lines, Job::Codes codes) -> Result { return contentFrom(lines, codes); });
}

void TextRecognizer::warmUp(QSize size, Level level)
{
    RecognitionJob<Result>::startEngines(pool(), optionsFor(level), size, level == Level::accurate);
}

TextRecognizer::Result TextRecognizer::recognizeHere(const QImage& image, Level level,
                                                     bool detectCodes,
                                                     const platform::CancelCheck& cancel)
{
    auto lines = platform::TextRecognition::recognize(image, optionsFor(level), cancel);
    if (!lines) return std::unexpected(lines.error());
    std::vector<platform::DetectedBarcode> codes;
    if (detectCodes) {
        auto detected = platform::BarcodeDetection::detect(image, cancel);
        if (!detected) return std::unexpected(detected.error());
        codes = std::move(*detected);
    }
    return contentFrom(*lines, codes);
}

std::optional<QImage> TextRecognizer::bitmapImage(const std::vector<QImage>& representations)
{
    const auto widest =
        std::max_element(representations.begin(), representations.end(),
                         [](const QImage& a, const QImage& b) { return a.width() < b.width(); });
    if (widest == representations.end() || widest->isNull()) return std::nullopt;
    // The bitmap at its own pixel size, whatever point size it is shown at.
    QImage bitmap = *widest;
    bitmap.setDevicePixelRatio(1.0);
    return bitmap;
}

QList<QLocale> TextRecognizer::preferredLanguages(const QList<QLocale>& supported,
                                                  const QStringList& preferred)
{
    QList<QLocale> result;
    for (const QString& identifier : preferred) {
        // QLocale fills in the likely script and region ("en" → en-Latn-US), so equal
        // locales compare as the same fully specified language.
        const QLocale wanted(identifier);
        auto match = std::find_if(supported.cbegin(), supported.cend(), [&](const QLocale& l) {
            return sameLanguageScriptAndRegion(l, wanted);
        });
        if (match == supported.cend()) {
            match = std::find_if(supported.cbegin(), supported.cend(), [&](const QLocale& l) {
                return l.language() == wanted.language();
            });
        }
        if (match == supported.cend()) continue;
        const bool taken = std::any_of(result.cbegin(), result.cend(), [&](const QLocale& l) {
            return sameLanguageScriptAndRegion(l, *match);
        });
        if (!taken) result.append(*match);
    }
    return result;
}

QStringList TextRecognizer::interfaceLanguages()
{
    QStringList languages{platform::L10n::language()};
    languages << QLocale::system().uiLanguages() << QStringLiteral("en");
    return languages;
}

QStringList TextRecognizer::recognitionLanguages(const QStringList& preferred)
{
    QList<QLocale> supported;
    for (const QString& code : platform::TextRecognition::installedLanguages()) {
        if (auto locale = platform::TextRecognition::localeForCode(code)) supported.append(*locale);
    }
    QStringList codes;
    for (const QLocale& language : preferredLanguages(supported, preferred))
        codes.append(platform::TextRecognition::codeForLocale(language));
    return codes;
}

std::vector<RecognizedContent::Line>
TextRecognizer::readingOrder(std::vector<RecognizedContent::Line> lines)
{
    using Line = RecognizedContent::Line;
    std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
        return a.boundingBox.top() < b.boundingBox.top();
    });
    // A row is compared with the line that started it, so a sloping sequence of words does
    // not drag one row down the page.
    std::vector<std::vector<Line>> rows;
    for (Line& line : lines) {
        if (rows.empty() ||
            !RecognizedContent::onSameRow(rows.back().front().boundingBox, line.boundingBox)) {
            rows.emplace_back();
        }
        rows.back().push_back(std::move(line));
    }
    std::vector<Line> ordered;
    ordered.reserve(lines.size());
    for (auto& row : rows) {
        std::stable_sort(row.begin(), row.end(), [](const Line& a, const Line& b) {
            return a.boundingBox.left() < b.boundingBox.left();
        });
        std::move(row.begin(), row.end(), std::back_inserter(ordered));
    }
    return ordered;
}

std::vector<RecognizedContent::Code>
TextRecognizer::codesFrom(const std::vector<platform::DetectedBarcode>& detected)
{
    using Code = RecognizedContent::Code;
    std::vector<Code> codes;
    QSet<QString> taken;
    for (const platform::DetectedBarcode& barcode : detected) {
        if (barcode.payload.isEmpty() || taken.contains(barcode.payload)) continue;
        taken.insert(barcode.payload);
        codes.push_back({barcode.payload, barcode.isQR, barcode.box});
    }
    std::stable_sort(codes.begin(), codes.end(), [](const Code& a, const Code& b) {
        return std::pair(a.boundingBox.top(), a.boundingBox.left()) <
               std::pair(b.boundingBox.top(), b.boundingBox.left());
    });
    return codes;
}

std::vector<RecognizedContent::Line>
TextRecognizer::linesFrom(const std::vector<platform::RecognizedTextLine>& recognized)
{
    std::vector<RecognizedContent::Line> lines;
    for (const platform::RecognizedTextLine& line : recognized) {
        for (const RecognizedContent::Line& row : rowsOf(line)) {
            const QString text = row.text.trimmed();
            if (!text.isEmpty()) lines.push_back({text, row.boundingBox});
        }
    }
    return readingOrder(std::move(lines));
}

std::vector<RecognizedContent::Line>
TextRecognizer::rowsOf(const platform::RecognizedTextLine& line)
{
    using Word = platform::RecognizedTextWord;
    const std::vector<Word>& words = line.words;
    if (words.size() < 2) return {{line.text, line.box}};
    std::vector<double> heights;
    for (const Word& word : words)
        heights.push_back(word.box.height());
    // A word belongs to the row above while its middle lies within the words of that row, or
    // a quarter of a word's height below them (an underscore, a comma on its own).
    const double slack = platform::median(std::move(heights)) / 4;
    std::vector<std::size_t> byMiddle(words.size());
    std::iota(byMiddle.begin(), byMiddle.end(), std::size_t(0));
    std::stable_sort(byMiddle.begin(), byMiddle.end(), [&](std::size_t a, std::size_t b) {
        return words[a].box.center().y() < words[b].box.center().y();
    });
    std::vector<int> rowOf(words.size(), 0);
    int rows = 0;
    double rowBottom = words[byMiddle.front()].box.bottom();
    for (const std::size_t i : byMiddle) {
        if (words[i].box.center().y() > rowBottom + slack) {
            ++rows;
            rowBottom = words[i].box.bottom();
        }
        rowBottom = std::max(rowBottom, words[i].box.bottom());
        rowOf[i] = rows;
    }
    if (rows == 0) return {{line.text, line.box}};
    // Each row keeps its words in the engine's order, rows top to bottom.
    std::vector<RecognizedContent::Line> result(std::size_t(rows) + 1);
    for (std::size_t i = 0; i < words.size(); ++i) {
        RecognizedContent::Line& row = result[std::size_t(rowOf[i])];
        row.text = row.text.isEmpty() ? words[i].text : row.text + u' ' + words[i].text;
        row.boundingBox =
            row.boundingBox.isNull() ? words[i].box : row.boundingBox.united(words[i].box);
    }
    return result;
}

RecognizedContent
TextRecognizer::contentFrom(const std::vector<platform::RecognizedTextLine>& lines,
                            const std::vector<platform::DetectedBarcode>& codes)
{
    RecognizedContent content{linesFrom(lines), codesFrom(codes)};
    std::erase_if(content.lines, [&](const RecognizedContent::Line& line) {
        return std::any_of(content.codes.cbegin(), content.codes.cend(),
                           [&](const RecognizedContent::Code& code) {
                               return code.boundingBox.contains(line.boundingBox.center());
                           });
    });
    return content;
}

} // namespace snapkin
