#include "platform/TextRecognition.h"

#include "platform/ImageFilters.h"
#include "platform/L10n.h"
#include "platform/WordShape.h"

#include <QDir>

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <exception>
#include <iterator>
#include <memory>
#include <optional>
#include <utility>

namespace snapkin::platform {

QString userMessage(RecognitionError error)
{
    switch (error) {
    case RecognitionError::cancelled:
        return L10n::text("Text recognition was cancelled.");
    case RecognitionError::noLanguageData:
        return L10n::text("No language data for text recognition is installed.");
    case RecognitionError::engineFailed:
        return L10n::text("The text recognition engine couldn't read this image.");
    case RecognitionError::imageTooLarge:
        return L10n::text("The image is too large for text recognition.");
    }
    return {};
}

namespace {

// Words the engine is less sure of than this (0–100) are noise far more often than text
// (icons, rules and textures read as letters and signs), unless they look like text: the
// engine doubts, at random, words it reads right (a quoted word, one that ends in an
// apostrophe).
constexpr float minWordConfidence = 40.0f;

// A doubted word taller than this, relative to the words of its block the engine is sure of,
// is a picture read as letters, not text: a word of text with accents, quotes and brackets
// around it is at most about 1.6 times the middle height of the words around it.
constexpr double maxDoubtedWordHeight = 1.75;

// The least border a block of several lines is read with, in the image's pixels, and the least
// a single line is read with. With less than minLineBorder, the engine misreads the glyphs at
// the ends of a single line (an opening quote, a capital, a closing full stop) that it reads
// right with its neighbours on a page; blocks of several lines read as well with 8 as with 10
// or 12 (bench/ocr-pages: a few words better, none worse on the whole), and cost less.
constexpr int minBlockBorder = 8;
constexpr int minLineBorder = 12;

constexpr double maxUpscale = 3.0;
// Upscaling never makes the picture larger than this.
constexpr qint64 maxUpscaledPixels = 24'000'000;

constexpr int sourceResolution = 96;

// An image of this many pixels or more keeps another engine busy.
constexpr qint64 pixelsPerEngine = 500'000;

// Blocks whose lines are taller than this are not plain lines of text.
constexpr int maxBlockLineHeight = 64;

struct LanguageCode {
    const char* code;
    const char* locale;
};

// Tesseract's codes for the languages Debian packages data for, with the language each
// stands for. Scripts matter where one language is written in two.
// clang-format off
constexpr std::array<LanguageCode, 44> languageCodes{{
    {"eng", "en"},      {"deu", "de"},      {"fra", "fr"},      {"spa", "es"},
    {"ita", "it"},      {"por", "pt"},      {"nld", "nl"},      {"dan", "da"},
    {"swe", "sv"},      {"nor", "nb"},      {"fin", "fi"},      {"isl", "is"},
    {"pol", "pl"},      {"ces", "cs"},      {"slk", "sk"},      {"slv", "sl"},
    {"hrv", "hr"},      {"srp", "sr-Cyrl"}, {"srp_latn", "sr-Latn"}, {"hun", "hu"},
    {"ron", "ro"},      {"bul", "bg"},      {"rus", "ru"},      {"ukr", "uk"},
    {"bel", "be"},      {"ell", "el"},      {"tur", "tr"},      {"est", "et"},
    {"lav", "lv"},      {"lit", "lt"},      {"cat", "ca"},      {"eus", "eu"},
    {"glg", "gl"},      {"ara", "ar"},      {"heb", "he"},      {"fas", "fa"},
    {"hin", "hi"},      {"tha", "th"},      {"vie", "vi"},      {"ind", "id"},
    {"jpn", "ja"},      {"kor", "ko"},      {"chi_sim", "zh-Hans"}, {"chi_tra", "zh-Hant"},
}};
// clang-format on

// Let the engine's cancel hook reach the caller's check. The hook is called between words.
bool cancelHook(void* context, int /*words*/)
{
    const auto* cancel = static_cast<const CancelCheck*>(context);
    return *cancel && (*cancel)();
}

// The factor that makes lines of `lineHeight` pixels `target` high, within the limits; 1 for
// less than a tenth more.
double upscaleFactor(double lineHeight, double target, QSize size)
{
    if (lineHeight <= 0) return 1.0;
    double factor = std::min(maxUpscale, target / lineHeight);
    const double pixels = double(size.width()) * size.height();
    factor = std::min(factor, std::sqrt(double(maxUpscaledPixels) / pixels));
    return factor > 1.1 ? factor : 1.0;
}

// The scale a block of `size` pixels is read at first: small text upscaled when reading
// accurately, else as drawn.
double firstScale(const TextBlock& block, const TextRecognition::Options& options, QSize size)
{
    if (!options.accurate || block.lineHeight >= options.upscaleBelow) return 1.0;
    return upscaleFactor(block.lineHeight, options.upscaleTo, size);
}

// Whether the cut keeps the colours as drawn, or turns light text on a dark background into
// dark text on a light one.
enum class Polarity { asDrawn, darkOnLight };

// The block cut out with a border of its background around it: the engine finds the edges of
// text that touches the edges of its picture poorly. The border is painted rather than taken
// from the page, which may hold the neighbouring lines there.
//
// The engine reads dark text on a light background. It reads a line of light text on a dark
// one twice: as drawn, then inverted, keeping the better reading. A block darker than mid-grey
// on the whole (a dark theme, a terminal) is inverted before the engine sees it, so its lines
// are read once, in about half the time, and as well.
QImage blockPixels(const QImage& pixels, const QRect& rect, int border, Polarity polarity)
{
    const QPoint outside(std::max(0, rect.left() - 1), std::max(0, rect.top() - 1));
    QImage padded(rect.size() + QSize(2 * border, 2 * border), QImage::Format_RGB888);
    padded.fill(pixels.pixelColor(outside));
    const int bytes = rect.width() * 3;
    const bool measure = polarity == Polarity::darkOnLight;
    qint64 lightness = 0; // the sum of every pixel's (R + 2G + B), each 0–1020
    for (int y = 0; y < rect.height(); ++y) {
        const uchar* row = pixels.constScanLine(rect.top() + y) + rect.left() * 3;
        std::memcpy(padded.scanLine(y + border) + border * 3, row, std::size_t(bytes));
        for (int x = 0; measure && x < bytes; x += 3)
            lightness += row[x] + 2 * row[x + 1] + row[x + 2];
    }
    const qint64 midGrey = qint64(rect.width()) * rect.height() * 2 * 255;
    if (measure && lightness < midGrey) padded.invertPixels();
    return padded;
}

QString utf8Text(const tesseract::ResultIterator& it, tesseract::PageIteratorLevel level)
{
    std::unique_ptr<char[]> text(it.GetUTF8Text(level));
    return text ? QString::fromUtf8(text.get()).trimmed() : QString();
}

// The installed languages of `options` that an engine is started with, joined by '+' (the
// default language when none is installed); empty when no language data is installed.
QString engineLanguages(const TextRecognition::Options& options)
{
    // Only languages with data reach the engine: a missing one would fail its start.
    const QStringList installed = TextRecognition::installedLanguages();
    QStringList languages;
    for (const QString& code : options.languages) {
        if (installed.contains(code) && !languages.contains(code)) languages.append(code);
    }
    if (languages.isEmpty()) {
        const QString fallback = TextRecognition::defaultLanguage();
        if (fallback.isEmpty()) return {};
        languages.append(fallback);
    }
    return languages.join(QLatin1Char('+'));
}

// What reading a block at one scale gave: its lines, and the band of rows each of the engine's
// lines covers with all its words, kept or dropped, with how many words of letters or digits
// the engine doubted in it (under minWordConfidence), whether kept as text or dropped.
struct BlockReading {
    using Band = TextRecognition::LineBand;

    std::vector<RecognizedTextLine> lines;
    std::vector<Band> bands;

    // The words doubted in the lines whose middle lies in `band`; nullopt without such lines.
    std::optional<int> doubtfulIn(const Band& band) const
    {
        std::optional<int> count;
        for (const Band& line : bands) {
            if (band.holds((line.top + line.bottom) / 2.0))
                count = count.value_or(0) + line.doubtful;
        }
        return count;
    }
};

// A word as the engine read it: its text, how sure the engine is of it (0–100), its box and
// whether it starts a line.
struct EngineWord {
    QString text;
    float confidence = 0;
    int left = 0, top = 0, right = 0, bottom = 0;
    bool startsLine = false;
};

bool looksLikeAWord(const QString& word)
{
    return std::count_if(word.cbegin(), word.cend(),
                         [](QChar c) { return c.isLetterOrNumber(); }) >= 2;
}

// Reads one block of a page, as cut out with its border, at a given scale.
struct BlockReader {
    tesseract::TessBaseAPI& api;
    const TextRecognition::Page& page;
    const TextBlock& block;
    const QImage& cut; // the block with its border, as drawn
    int border;
    const CancelCheck& cancel;

    std::expected<BlockReading, RecognitionError> read(double scale) const
    {
        QImage pixels = cut;
        if (scale > 1.0) {
            pixels = cut.scaled(qRound(cut.width() * scale), qRound(cut.height() * scale),
                                Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                         .convertToFormat(QImage::Format_RGB888);
        }
        if (pixels.isNull()) return std::unexpected(RecognitionError::engineFailed);
        if (cancel && cancel()) return std::unexpected(RecognitionError::cancelled);
        // A block of lines is read as one; what looks like no lines of text at all (a picture)
        // gets the engine's own layout analysis, which leaves pictures out.
        api.SetPageSegMode(block.lineHeight <= maxBlockLineHeight ? tesseract::PSM_SINGLE_BLOCK
                                                                  : tesseract::PSM_AUTO);
        api.SetImage(pixels.constBits(), pixels.width(), pixels.height(), 3,
                     int(pixels.bytesPerLine()));
        api.SetSourceResolution(qRound(sourceResolution * scale));

        tesseract::ETEXT_DESC monitor;
        monitor.cancel = &cancelHook;
        monitor.cancel_this = const_cast<CancelCheck*>(&cancel);
        int status = -1;
        try {
            status = api.Recognize(&monitor);
        } catch (const std::exception&) {
            status = -1; // out of memory inside the engine, for one
        }
        if (const bool cancelled = cancel && cancel(); cancelled || status != 0) {
            api.Clear();
            return std::unexpected(cancelled ? RecognitionError::cancelled
                                             : RecognitionError::engineFailed);
        }
        BlockReading reading = collect(scale);
        api.Clear();
        return reading;
    }

    // The engine's words, in its order, boxes in the scaled, bordered block's pixels.
    std::vector<EngineWord> engineWords() const
    {
        std::vector<EngineWord> read;
        std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
        if (!it) return read;
        bool startsLine = false;
        do {
            // A line may start with a word that is empty or has no box; the next one starts it.
            startsLine = startsLine || it->IsAtBeginningOf(tesseract::RIL_TEXTLINE);
            if (it->Empty(tesseract::RIL_WORD)) continue;
            QString word = utf8Text(*it, tesseract::RIL_WORD);
            int left = 0, top = 0, right = 0, bottom = 0;
            if (word.isEmpty() ||
                !it->BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom))
                continue;
            read.push_back({std::move(word), it->Confidence(tesseract::RIL_WORD), left, top, right,
                            bottom, startsLine});
            startsLine = false;
        } while (it->Next(tesseract::RIL_WORD));
        return read;
    }

    // The engine's words as lines, boxes from the scaled, bordered block to fractions of the
    // whole image.
    BlockReading collect(double scale) const
    {
        const std::vector<EngineWord> read = engineWords();
        BlockReading reading;
        // Heights are measured against the words the engine is sure of, the block's text;
        // without any, against the height of its lines.
        std::vector<int> sureHeights;
        for (const EngineWord& word : read) {
            if (word.confidence >= minWordConfidence) sureHeights.push_back(word.bottom - word.top);
        }
        const double textHeight =
            sureHeights.empty() ? block.lineHeight * scale : median(std::move(sureHeights));

        const double width = page.pixels.width();
        const double height = page.pixels.height();
        QStringList words;
        std::vector<RecognizedTextWord> wordBoxes;
        QRectF lineBox;
        auto fraction = [&](const EngineWord& word) {
            const double x1 = word.left / scale - border + block.rect.left();
            const double y1 = word.top / scale - border + block.rect.top();
            const double x2 = word.right / scale - border + block.rect.left();
            const double y2 = word.bottom / scale - border + block.rect.top();
            return QRectF(QPointF(std::max(0.0, x1) / width, std::max(0.0, y1) / height),
                          QPointF(std::min(width, x2) / width, std::min(height, y2) / height));
        };
        auto flush = [&] {
            if (!words.isEmpty())
                reading.lines.push_back(
                    {words.join(QLatin1Char(' ')), lineBox, std::move(wordBoxes)});
            words.clear();
            wordBoxes.clear();
            lineBox = QRectF();
        };
        bool lineBreak = false;
        for (const EngineWord& word : read) {
            lineBreak = lineBreak || word.startsLine;
            const int top = int(std::floor(word.top / scale)) - border + block.rect.top();
            const int bottom = int(std::ceil(word.bottom / scale)) - border + block.rect.top();
            const bool doubted = word.confidence < minWordConfidence && looksLikeAWord(word.text);
            if (word.startsLine || reading.bands.empty()) {
                reading.bands.push_back({top, bottom, 0});
            } else {
                BlockReading::Band& band = reading.bands.back();
                band.top = std::min(band.top, top);
                band.bottom = std::max(band.bottom, bottom);
            }
            if (doubted) ++reading.bands.back().doubtful;
            const double relativeHeight = (word.bottom - word.top) / std::max(1.0, textHeight);
            const QString text =
                TextRecognition::keptText(word.text, word.confidence, relativeHeight);
            if (text.isEmpty()) continue;
            if (lineBreak) flush();
            lineBreak = false;
            words.append(text);
            const QRectF wordBox = fraction(word);
            wordBoxes.push_back({text, wordBox});
            // A line's box covers the words kept, not the noise dropped beside them.
            lineBox = lineBox.isNull() ? wordBox : lineBox.united(wordBox);
        }
        for (BlockReading::Band& band : reading.bands) {
            band.top = std::max(0, band.top);
            band.bottom = std::min(int(height), band.bottom);
        }
        flush();
        return reading;
    }
};

// `band` (one line of `block`, as wide as the block) read on its own at `scale`. The line is not
// cut at its first and last words: those may be marks the engine read in a picture beside the
// text, and a picture cut through reads as a bracket or a letter glued to the text.
std::expected<BlockReading, RecognitionError>
rereadBand(const TextRecognition::Page& page, const TextBlock& block,
           const BlockReading::Band& band, double scale, int border, TextEngineCache::Lease& engine,
           const CancelCheck& cancel)
{
    const QRect rect =
        QRect(QPoint(block.rect.left(), band.top - 1), QPoint(block.rect.right(), band.bottom))
            .intersected(block.rect);
    if (rect.isEmpty()) return BlockReading{};
    const TextBlock line{rect, block.lineHeight};
    // Read again as drawn: the engine's own inversion of a light line on a dark background keeps
    // marks, an underscore for one, that a line found in the inverted block may lose.
    const QImage pixels = blockPixels(page.pixels, line.rect, border, Polarity::asDrawn);
    const BlockReader reader{*engine, page, line, pixels, border, cancel};
    return reader.read(scale);
}

// `lines` with those whose middle lies in `band` replaced by `better`'s that do, in their place.
void replaceBand(std::vector<RecognizedTextLine>& lines, const BlockReading::Band& band,
                 std::vector<RecognizedTextLine> better, int imageHeight)
{
    const auto inBand = [&](const RecognizedTextLine& line) {
        return band.holds(line.box.center().y() * imageHeight);
    };
    std::erase_if(better, [&](const RecognizedTextLine& line) { return !inBand(line); });
    auto place = std::find_if(lines.begin(), lines.end(), [&](const RecognizedTextLine& line) {
        return inBand(line) || line.box.center().y() * imageHeight >= band.bottom;
    });
    const auto index = place - lines.begin();
    std::erase_if(lines, inBand);
    lines.insert(lines.begin() + std::min<std::ptrdiff_t>(index, std::ptrdiff_t(lines.size())),
                 std::make_move_iterator(better.begin()), std::make_move_iterator(better.end()));
}

} // namespace

bool TextRecognition::keepsWord(QStringView word, float confidence, double relativeHeight)
{
    if (word.isEmpty()) return false;
    if (confidence >= minWordConfidence) return true;
    return relativeHeight <= maxDoubtedWordHeight && looksLikeText(word);
}

QString TextRecognition::keptText(QStringView word, float confidence, double relativeHeight)
{
    if (keepsWord(word, confidence, relativeHeight)) return word.toString();
    if (word.isEmpty() || relativeHeight > maxDoubtedWordHeight) return {};
    return withoutStraySigns(word);
}

QString TextRecognition::dataPath()
{
    const QString prefix = qEnvironmentVariable("TESSDATA_PREFIX");
    if (!prefix.isEmpty()) return prefix;
    return QStringLiteral("/usr/share/tesseract-ocr/5/tessdata");
}

QStringList TextRecognition::installedLanguages()
{
    QStringList codes;
    const QDir dir(dataPath());
    for (const QString& file : dir.entryList({QStringLiteral("*.traineddata")}, QDir::Files)) {
        const QString code = file.chopped(int(qstrlen(".traineddata")));
        if (code == QLatin1String("osd") || code == QLatin1String("equ")) continue;
        codes.append(code);
    }
    codes.sort();
    return codes;
}

std::optional<QLocale> TextRecognition::localeForCode(const QString& code)
{
    for (const LanguageCode& entry : languageCodes) {
        if (code == QLatin1String(entry.code)) return QLocale(QString::fromLatin1(entry.locale));
    }
    return std::nullopt;
}

QString TextRecognition::codeForLocale(const QLocale& locale)
{
    for (const LanguageCode& entry : languageCodes) {
        if (QLocale(QString::fromLatin1(entry.locale)) == locale)
            return QString::fromLatin1(entry.code);
    }
    return {};
}

QString TextRecognition::defaultLanguage()
{
    const QStringList installed = installedLanguages();
    return installed.contains(QStringLiteral("eng")) ? QStringLiteral("eng") : installed.value(0);
}

void TextRecognition::warmUp(const Options& options, int engines)
{
    const QString languages = engineLanguages(options);
    if (!languages.isEmpty())
        TextEngineCache::shared().prestart({languages, options.accurate}, std::max(1, engines));
}

int TextRecognition::enginesFor(QSize size, int limit)
{
    // A screen's worth of text comes in tens of blocks; a selection of a few lines in one or
    // two, which one engine reads in less time than another takes to start.
    const qint64 pixels = qint64(std::max(0, size.width())) * std::max(0, size.height());
    return std::clamp(int(pixels / pixelsPerEngine), 1, std::max(1, limit));
}

std::expected<TextRecognition::Page, RecognitionError>
TextRecognition::prepare(const QImage& image, const Options& options, const CancelCheck& cancel)
{
    if (cancel && cancel()) return std::unexpected(RecognitionError::cancelled);
    Page page;
    page.options = options;
    if (image.isNull() || image.width() < 3 || image.height() < 3) return page;
    if (qint64(image.width()) * image.height() > maxRecognitionPixels)
        return std::unexpected(RecognitionError::imageTooLarge);

    const QString languages = engineLanguages(options);
    if (languages.isEmpty()) return std::unexpected(RecognitionError::noLanguageData);
    page.languages = languages;

    // The engine gets the colours: it separates text from background channel by channel, so
    // text on a colourful photo whose grey level matches the picture is still found, where a
    // greyscale copy loses it. Transparency is laid on white first.
    page.pixels = ImageFilters::onWhite(image).convertToFormat(QImage::Format_RGB888);
    if (page.pixels.isNull()) return std::unexpected(RecognitionError::engineFailed);
    if (cancel && cancel()) return std::unexpected(RecognitionError::cancelled);
    page.blocks = findTextBlocks(page.pixels, cancel);
    if (cancel && cancel()) return std::unexpected(RecognitionError::cancelled);
    return page;
}

TextEngineCache::Lease TextRecognition::borrowEngine(const Page& page)
{
    return TextEngineCache::shared().borrow({page.languages, page.options.accurate});
}

double TextRecognition::readingCost(const Page& page, std::size_t index)
{
    if (index >= page.blocks.size()) return 0;
    const TextBlock& block = page.blocks[index];
    const double scale = firstScale(block, page.options, block.rect.size());
    return double(block.rect.width()) * block.rect.height() * scale;
}

std::expected<TextRecognition::BlockDraft, RecognitionError>
TextRecognition::readBlock(const Page& page, std::size_t index, TextEngineCache::Lease& engine,
                           const CancelCheck& cancel)
{
    if (cancel && cancel()) return std::unexpected(RecognitionError::cancelled);
    if (index >= page.blocks.size()) return BlockDraft{};
    const TextBlock& block = page.blocks[index];
    if (!engine) return std::unexpected(RecognitionError::engineFailed);

    const bool singleLine = block.rect.height() < 2 * block.lineHeight;
    const int border =
        std::clamp(block.lineHeight / 2, singleLine ? minLineBorder : minBlockBorder, 24);
    const QImage pixels = blockPixels(page.pixels, block.rect, border, Polarity::darkOnLight);
    const Options& options = page.options;
    const double scale = firstScale(block, options, pixels.size());
    BlockReader reader{*engine, page, block, pixels, border, cancel};
    auto reading = reader.read(scale);
    if (!reading) return std::unexpected(reading.error());
    BlockDraft draft{std::move(reading->lines), {}, scale, border};
    // Text of lines too low for the engine is where it doubts words (a capital or a quote mark
    // opening a line, an apostrophe at a word's end) and misreads the code beside them: read
    // larger, the engine is mostly sure of them. Only the lines with doubted words are read
    // again, each on its own.
    if (options.accurate && block.lineHeight < options.rereadTo) {
        const double larger = upscaleFactor(block.lineHeight, options.rereadTo, pixels.size());
        if (larger > scale) {
            draft.rereadScale = larger;
            std::copy_if(reading->bands.begin(), reading->bands.end(),
                         std::back_inserter(draft.doubted),
                         [](const LineBand& band) { return band.doubtful > 0; });
        }
    }
    return draft;
}

std::expected<TextRecognition::LineReading, RecognitionError>
TextRecognition::rereadLine(const Page& page, std::size_t index, const BlockDraft& draft,
                            std::size_t line, TextEngineCache::Lease& engine,
                            const CancelCheck& cancel)
{
    if (cancel && cancel()) return std::unexpected(RecognitionError::cancelled);
    if (index >= page.blocks.size() || line >= draft.doubted.size()) return LineReading{};
    if (!engine) return std::unexpected(RecognitionError::engineFailed);
    const LineBand& band = draft.doubted[line];
    auto better =
        rereadBand(page, page.blocks[index], band, draft.rereadScale, draft.border, engine, cancel);
    if (!better) return std::unexpected(better.error());
    return LineReading{std::move(better->lines), better->doubtfulIn(band)};
}

std::vector<RecognizedTextLine> TextRecognition::finishBlock(const Page& page, BlockDraft draft,
                                                             std::vector<LineReading> rereads)
{
    // A line's second reading is kept unless it doubts more words: read larger, the same count
    // of doubts mostly stands on better words (a label beside a picture read whole where the
    // first reading took its first letter for part of the picture). Lines are replaced in
    // their order, as they would be read one after another.
    for (std::size_t i = 0; i < draft.doubted.size() && i < rereads.size(); ++i) {
        const LineBand& band = draft.doubted[i];
        LineReading& better = rereads[i];
        // A second reading that finds no line there, or doubts more, is not better.
        if (!better.doubtful || *better.doubtful > band.doubtful) continue;
        replaceBand(draft.lines, band, std::move(better.lines), page.pixels.height());
    }
    return std::move(draft.lines);
}

std::expected<std::vector<RecognizedTextLine>, RecognitionError>
TextRecognition::recognizeBlock(const Page& page, std::size_t index, TextEngineCache::Lease& engine,
                                const CancelCheck& cancel)
{
    auto draft = readBlock(page, index, engine, cancel);
    if (!draft) return std::unexpected(draft.error());
    std::vector<LineReading> rereads;
    for (std::size_t line = 0; line < draft->doubted.size(); ++line) {
        auto reading = rereadLine(page, index, *draft, line, engine, cancel);
        if (!reading) return std::unexpected(reading.error());
        rereads.push_back(std::move(*reading));
    }
    return finishBlock(page, std::move(*draft), std::move(rereads));
}

std::expected<std::vector<RecognizedTextLine>, RecognitionError>
TextRecognition::recognize(const QImage& image, const Options& options, const CancelCheck& cancel)
{
    auto page = prepare(image, options, cancel);
    if (!page) return std::unexpected(page.error());
    std::vector<RecognizedTextLine> lines;
    if (page->blocks.empty()) return lines;
    TextEngineCache::Lease engine = borrowEngine(*page);
    for (std::size_t i = 0; i < page->blocks.size(); ++i) {
        auto block = recognizeBlock(*page, i, engine, cancel);
        if (!block) return std::unexpected(block.error());
        std::move(block->begin(), block->end(), std::back_inserter(lines));
    }
    return lines;
}

} // namespace snapkin::platform
