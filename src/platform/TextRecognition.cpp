#include "platform/TextRecognition.h"

#include "platform/ImageFilters.h"
#include "platform/L10n.h"

#include <QDir>

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <map>
#include <memory>
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

// Words the engine is less sure of than this (0–100) are noise far more often than text:
// icons, rules and textures read as letters.
constexpr float minWordConfidence = 40.0f;

// Accurate recognition upscales text whose lines are lower than this many pixels: the LSTM
// model reads best with lines of about 30 pixels.
constexpr double smallLineHeight = 24.0;
constexpr double targetLineHeight = 32.0;
constexpr double maxUpscale = 3.0;
// Upscaling never makes the picture larger than this.
constexpr qint64 maxUpscaledPixels = 24'000'000;

constexpr int sourceResolution = 96;

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

struct TesseractDeleter {
    void operator()(tesseract::TessBaseAPI* api) const
    {
        api->End();
        delete api;
    }
};
using Engine = std::unique_ptr<tesseract::TessBaseAPI, TesseractDeleter>;

// The engines of this thread, by language set and level. A thread rarely needs more than
// two; a change of languages replaces the old ones.
// Tesseract parallelises inside one recognition with OpenMP. Each recognition here already
// runs on a worker thread beside others (and beside the barcode reader), and OpenMP's
// spinning teams collapse on a busy machine (a 0.1 s read took seconds). One recognition uses
// one thread: allowing no active parallel level makes every OpenMP region run on its caller.
// The OpenMP runtime is loaded with Tesseract; it is looked up rather than linked.
void keepOpenMpToOneThread()
{
    using SetLevels = void (*)(int);
    static const auto setMaxActiveLevels =
        reinterpret_cast<SetLevels>(dlsym(RTLD_DEFAULT, "omp_set_max_active_levels"));
    thread_local bool done = false;
    if (done || !setMaxActiveLevels) return;
    setMaxActiveLevels(0);
    done = true;
}

Engine* engineFor(const QString& languages, bool accurate)
{
    keepOpenMpToOneThread();
    thread_local std::map<std::pair<QString, bool>, Engine> engines;
    const auto key = std::make_pair(languages, accurate);
    if (auto found = engines.find(key); found != engines.end()) return &found->second;
    if (engines.size() >= 4) engines.clear();

    Engine engine(new tesseract::TessBaseAPI);
    // The dictionaries are loaded at start-up only, so each level has its own engine.
    std::vector<std::string> names;
    std::vector<std::string> values;
    if (!accurate) {
        names = {"load_system_dawg", "load_freq_dawg"};
        values = {"0", "0"};
    }
    const QByteArray path = TextRecognition::dataPath().toLocal8Bit();
    const QByteArray language = languages.toLatin1();
    if (engine->Init(path.constData(), language.constData(), tesseract::OEM_LSTM_ONLY, nullptr, 0,
                     &names, &values, false) != 0) {
        return nullptr;
    }
    engine->SetPageSegMode(tesseract::PSM_AUTO);
    // Screens and screenshots carry no resolution; this keeps the engine from guessing one.
    engine->SetVariable("user_defined_dpi", QByteArray::number(sourceResolution).constData());
    engine->SetVariable("debug_file", "/dev/null");
    return &engines.emplace(key, std::move(engine)).first->second;
}

// The median height of the text lines that layout analysis finds, or 0 without any. A large
// image is analysed a tile at a time, so a cancel request is seen between tiles and the
// estimate stops once enough lines have been measured.
double medianLineHeight(tesseract::TessBaseAPI& api, QSize size, const CancelCheck& cancel)
{
    constexpr int tileWidth = 1280;
    constexpr int tileHeight = 720;
    constexpr std::size_t enoughLines = 40;
    std::vector<int> heights;
    for (int top = 0; top < size.height() && heights.size() < enoughLines; top += tileHeight) {
        for (int left = 0; left < size.width() && heights.size() < enoughLines; left += tileWidth) {
            if (cancel && cancel()) return 0;
            api.SetRectangle(left, top, std::min(tileWidth, size.width() - left),
                             std::min(tileHeight, size.height() - top));
            std::unique_ptr<tesseract::PageIterator> it(api.AnalyseLayout());
            if (!it) continue;
            do {
                int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
                if (it->BoundingBox(tesseract::RIL_TEXTLINE, &x1, &y1, &x2, &y2))
                    heights.push_back(y2 - y1);
            } while (it->Next(tesseract::RIL_TEXTLINE));
        }
    }
    if (heights.empty()) return 0;
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    return heights[heights.size() / 2];
}

double upscaleFactor(double lineHeight, QSize size)
{
    if (lineHeight <= 0 || lineHeight >= smallLineHeight) return 1.0;
    double factor = std::min(maxUpscale, targetLineHeight / lineHeight);
    const double pixels = double(size.width()) * size.height();
    factor = std::min(factor, std::sqrt(double(maxUpscaledPixels) / pixels));
    return factor > 1.1 ? factor : 1.0;
}

QString utf8Text(const tesseract::ResultIterator& it, tesseract::PageIteratorLevel level)
{
    std::unique_ptr<char[]> text(it.GetUTF8Text(level));
    return text ? QString::fromUtf8(text.get()).trimmed() : QString();
}

} // namespace

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
    if (installed.contains(QStringLiteral("eng"))) return QStringLiteral("eng");
    return installed.isEmpty() ? QString() : installed.first();
}

std::expected<std::vector<RecognizedTextLine>, RecognitionError>
TextRecognition::recognize(const QImage& image, const Options& options, const CancelCheck& cancel)
{
    if (cancel && cancel()) return std::unexpected(RecognitionError::cancelled);
    if (image.isNull() || image.width() < 3 || image.height() < 3)
        return std::vector<RecognizedTextLine>{};
    if (qint64(image.width()) * image.height() > maxRecognitionPixels)
        return std::unexpected(RecognitionError::imageTooLarge);

    // Only languages with data reach the engine: a missing one would fail its start.
    const QStringList installed = installedLanguages();
    QStringList languages;
    for (const QString& code : options.languages) {
        if (installed.contains(code) && !languages.contains(code)) languages.append(code);
    }
    if (languages.isEmpty()) {
        const QString fallback = defaultLanguage();
        if (fallback.isEmpty()) return std::unexpected(RecognitionError::noLanguageData);
        languages.append(fallback);
    }

    Engine* engine = engineFor(languages.join(QLatin1Char('+')), options.accurate);
    if (!engine) return std::unexpected(RecognitionError::engineFailed);
    tesseract::TessBaseAPI& api = **engine;

    // The engine gets the colours: it separates text from background channel by channel, so
    // text on a colourful photo whose grey level matches the picture is still found, where a
    // greyscale copy loses it. Transparency is laid on white first.
    QImage pixels = ImageFilters::onWhite(image).convertToFormat(QImage::Format_RGB888);
    if (pixels.isNull()) return std::unexpected(RecognitionError::engineFailed);
    api.SetImage(pixels.constBits(), pixels.width(), pixels.height(), 3,
                 int(pixels.bytesPerLine()));
    api.SetSourceResolution(sourceResolution);

    double scale = 1.0;
    if (options.accurate) {
        scale = upscaleFactor(medianLineHeight(api, pixels.size(), cancel), pixels.size());
        if (scale > 1.0) {
            pixels = pixels
                         .scaled(qRound(pixels.width() * scale), qRound(pixels.height() * scale),
                                 Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                         .convertToFormat(QImage::Format_RGB888);
        }
        // Setting the image again also drops the rectangle the estimate worked on.
        api.SetImage(pixels.constBits(), pixels.width(), pixels.height(), 3,
                     int(pixels.bytesPerLine()));
        api.SetSourceResolution(qRound(sourceResolution * scale));
    }
    if (cancel && cancel()) {
        api.Clear();
        return std::unexpected(RecognitionError::cancelled);
    }

    tesseract::ETEXT_DESC monitor;
    monitor.cancel = &cancelHook;
    monitor.cancel_this = const_cast<CancelCheck*>(&cancel);
    int status = -1;
    try {
        status = api.Recognize(&monitor);
    } catch (const std::exception&) {
        status = -1; // out of memory inside the engine, for one
    }
    if (cancel && cancel()) {
        api.Clear();
        return std::unexpected(RecognitionError::cancelled);
    }
    if (status != 0) {
        api.Clear();
        return std::unexpected(RecognitionError::engineFailed);
    }

    std::vector<RecognizedTextLine> lines;
    const double width = pixels.width();
    const double height = pixels.height();
    QStringList words;
    std::vector<RecognizedTextWord> wordBoxes;
    QRect lineBox;
    auto fraction = [&](const QRect& box) {
        return QRectF(box.x() / width, box.y() / height, box.width() / width,
                      box.height() / height);
    };
    auto flush = [&] {
        if (!words.isEmpty())
            lines.push_back(
                {words.join(QLatin1Char(' ')), fraction(lineBox), std::move(wordBoxes)});
        words.clear();
        wordBoxes.clear();
        lineBox = QRect();
    };

    std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
    if (it) {
        do {
            if (it->IsAtBeginningOf(tesseract::RIL_TEXTLINE)) flush();
            if (it->Empty(tesseract::RIL_WORD)) continue;
            const QString word = utf8Text(*it, tesseract::RIL_WORD);
            if (word.isEmpty() || it->Confidence(tesseract::RIL_WORD) < minWordConfidence) continue;
            int left = 0, top = 0, right = 0, bottom = 0;
            if (!it->BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom)) continue;
            words.append(word);
            const QRect wordBox(QPoint(left, top), QPoint(right - 1, bottom - 1));
            wordBoxes.push_back({word, fraction(wordBox)});
            // A line's box covers the words kept, not the noise dropped beside them.
            lineBox |= wordBox;
        } while (it->Next(tesseract::RIL_WORD));
    }
    flush();
    it.reset();
    api.Clear();
    return lines;
}

} // namespace snapkin::platform
