#pragma once

#include "platform/TextBlocks.h"
#include "platform/TextEngineCache.h"

#include <QImage>
#include <QLocale>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <expected>
#include <functional>
#include <optional>
#include <vector>

namespace snapkin::platform {

// Why text or barcode recognition gave no result.
enum class RecognitionError {
    cancelled,      // the caller gave up; nothing was produced
    noLanguageData, // no usable text-recognition language data is installed
    engineFailed,   // the recognition engine could not start or failed on the image
    imageTooLarge,  // more pixels than recognition accepts
};

QString userMessage(RecognitionError error);

// Polled while recognition runs; returning true stops the work as soon as the engine allows.
using CancelCheck = std::function<bool()>;

// Images with more pixels than this are refused rather than handed to the engines
// (an 8K capture has 33 million).
inline constexpr qint64 maxRecognitionPixels = 64'000'000;

// One recognised word and its box as fractions of the image size, origin top left, y down.
struct RecognizedTextWord {
    QString text;
    QRectF box;
    friend bool operator==(const RecognizedTextWord&, const RecognizedTextWord&) = default;
};

// One recognised line: its text (trimmed, never empty), its box as fractions of the image
// size, origin top left, y down, and the words it was made of, in the engine's order.
struct RecognizedTextLine {
    QString text;
    QRectF box;
    std::vector<RecognizedTextWord> words;
    friend bool operator==(const RecognizedTextLine&, const RecognizedTextLine&) = default;
};

// Text recognition over Tesseract's LSTM engine. An image is read in independent blocks (see
// findTextBlocks), each scaled for its own text size, so several threads can read one image at
// once: prepare() once, then recognizeBlock() for each block, each thread with an engine of
// its own (borrowEngine). Engines come from TextEngineCache: started on first use, reused,
// freed after a while unused.
class TextRecognition {
public:
    // The line height (pixels, as findTextBlocks measures it) below which the engine misreads
    // words that it reads upscaled, as bench/tools/OcrLineHeights measures it: from 15 up,
    // prose reads as drawn as well as upscaled, code at 15 loses a word or two in fifty (93-98 %);
    // at 14 an accent or apostrophe goes now and then, and below that up to a third of the
    // words. Lines of 15 are upscaled too: on the pages of bench/ocr-pages, the code and the
    // changelogs of 17 and 18 px text (lines of 15) read a few words more, a sign glued to the
    // word after it less often, in no more time (fewer lines are doubted and read again).
    // Above it, upscaling only doubles the time: the engine scales every line to its own height.
    static constexpr int smallLineHeight = 16;
    // The line height small text is upscaled to. bench/tools/OcrLineHeights finds lines of 10
    // to 14 pixels (text of 9 pixels and up) read as well upscaled to 18 pixels as to 20 or 24
    // (prose 100 %, code 98-100 %) in 80-95 % of the time that 20 takes: the engine's work
    // grows with the upscaled width of every line. 17 already loses words that 18 reads (prose
    // of 13 and 14 pixels, code of 9 to 13); at 7 and 8 pixels 18 loses a word or two in 80 of
    // prose that 20 reads, and reads more of the code.
    static constexpr int upscaledLineHeight = 18;
    // The line height a line is read at again, on its own, when the engine doubted a word of
    // it. On screens of desktop text, bench/tools/OcrScreenWords finds 15 px DejaVu
    // Sans losing a word or two to doubt whether read at 18 or at 20 (lines of 15 px text
    // measure 13 to 16 pixels): read again at 20, every word of it is read and the code beside
    // it goes from 93 to 98 %; at 13, 14 and 16 px the prose reads as at 18 and the code as at
    // 20 or better. Reading only the doubted lines again, each as wide as its words, adds about
    // a tenth to the work of the first reading where reading their whole blocks again added
    // half (callgrind, on bench/ocr-speed --licence-and-c).
    static constexpr int rereadLineHeight = 20;

    struct Options {
        // Tesseract language codes ("eng", "deu"); empty takes the default language.
        QStringList languages;
        // On: the dictionaries guide recognition and small text is upscaled before recognition.
        // Off: raw recognition at the image's own size (about twice as fast).
        bool accurate = true;
        // Accurate recognition upscales the blocks whose lines are lower than this many
        // pixels, to lines of upscaleTo pixels; higher lines are read as they are.
        int upscaleBelow = smallLineHeight;
        int upscaleTo = upscaledLineHeight;
        // Accurate recognition reads each line of a block of lines lower than this in which
        // the engine doubted a word again, on its own, upscaled to lines of this many pixels;
        // 0 reads each block once.
        int rereadTo = rereadLineHeight;
    };

    // An image made ready for recognition: its pixels as the engines take them, the blocks
    // they are read in and the engine that reads them. Immutable; threads may share it.
    struct Page {
        QImage pixels; // RGB888, transparency laid on white
        std::vector<TextBlock> blocks;
        QString languages; // installed Tesseract codes joined by '+'
        Options options;   // as prepared with
    };

    // The lines of text in `image`: each block's lines in the engine's order, blocks in the
    // order findTextBlocks gives them. Words are as keptText() keeps them; lines left empty
    // are dropped. An image without text gives an empty list. `cancel` is
    // polled between blocks and between words.
    static std::expected<std::vector<RecognizedTextLine>, RecognitionError>
    recognize(const QImage& image, const Options& options, const CancelCheck& cancel = {});

    // The page of `image`: no blocks for an empty, tiny or blank image. Fails when cancelled,
    // when the image is too large or when no language data is installed.
    static std::expected<Page, RecognitionError>
    prepare(const QImage& image, const Options& options, const CancelCheck& cancel = {});
    // Makes sure `engines` engines for `options` are started or starting, so that a page
    // being prepared meanwhile finds them ready: starts at most one on the calling thread, so
    // `engines` threads calling it start them side by side.
    static void warmUp(const Options& options, int engines = 1);
    // How many engines reading `size` is likely to keep busy, up to `limit`: one for a small
    // image, `limit` for a screenful, whose blocks are enough for every engine.
    static int enginesFor(QSize size, int limit);
    // The lines of the page's block `index`, with boxes as fractions of the whole image, read
    // by an engine the caller holds (from borrowEngine), so a thread reading block after block
    // of a page borrows one engine once. The same as readBlock(), then rereadLine() for each
    // of its doubted lines, then finishBlock().
    static std::expected<std::vector<RecognizedTextLine>, RecognitionError>
    recognizeBlock(const Page& page, std::size_t index, TextEngineCache::Lease& engine,
                   const CancelCheck& cancel = {});

    // The rows of the page (pixels, end excluded) that one line of a block's first reading
    // covers, and how many words of letters or digits of it the engine doubted.
    struct LineBand {
        int top = 0;
        int bottom = 0;
        int doubtful = 0;
        bool holds(double y) const { return y >= top && y < bottom; }
    };
    // A block's first reading: its lines, and those of its lines to read again, each on its
    // own (rereadLine), before its lines are final (finishBlock). The second readings of one
    // block are independent, so other engines may take them.
    struct BlockDraft {
        std::vector<RecognizedTextLine> lines;
        std::vector<LineBand> doubted;
        double rereadScale = 1.0;
        int border = 0;
    };
    // A doubted line read again: the lines found in its rows, and how many words of them the
    // engine doubted; nullopt where it found no line there.
    struct LineReading {
        std::vector<RecognizedTextLine> lines;
        std::optional<int> doubtful;
    };
    static std::expected<BlockDraft, RecognitionError> readBlock(const Page& page,
                                                                 std::size_t index,
                                                                 TextEngineCache::Lease& engine,
                                                                 const CancelCheck& cancel = {});
    // The draft's doubted line `line` of block `index` read again, larger.
    static std::expected<LineReading, RecognitionError>
    rereadLine(const Page& page, std::size_t index, const BlockDraft& draft, std::size_t line,
               TextEngineCache::Lease& engine, const CancelCheck& cancel = {});
    // The block's lines: each doubted line's second reading takes the place of its first
    // unless it found no line there or doubts more words. `rereads` holds a reading for each
    // of the draft's doubted lines, in their order.
    static std::vector<RecognizedTextLine> finishBlock(const Page& page, BlockDraft draft,
                                                       std::vector<LineReading> rereads);
    // An engine for the page's languages and level; an empty lease when none can start.
    static TextEngineCache::Lease borrowEngine(const Page& page);
    // What reading the page's block `index` costs, relative to the other blocks: the engine's
    // time grows with the block's area and with how much the block is upscaled.
    static double readingCost(const Page& page, std::size_t index);

    // Whether a word the engine read with `confidence` (0–100) is kept. The engine doubts, at
    // random, words it reads right, so a word that looks like text (looksLikeText) is kept
    // whatever the confidence, unless it stands far taller than the text around it
    // (`relativeHeight`: its height over the middle height of the words the engine is sure
    // of), as a picture read as letters does. Anything else is kept only when the engine is
    // fairly sure of it: what it doubts there is noise beside pictures.
    static bool keepsWord(QStringView word, float confidence, double relativeHeight = 1.0);
    // What is kept of a word: the word when keepsWord() keeps it; for a doubted word of text
    // with a stray sign or two glued to its edges, the word without them
    // (withoutStraySigns); else nothing (an empty string).
    static QString keptText(QStringView word, float confidence, double relativeHeight = 1.0);

    // The folder holding the language data: $TESSDATA_PREFIX when set, else Debian's.
    static QString dataPath();
    // The Tesseract language codes with data in dataPath(), sorted ("eng", "deu", …);
    // orientation and equation data are not languages and are left out.
    static QStringList installedLanguages();
    // The language a Tesseract code stands for ("eng" → English, "chi_sim" → Chinese in
    // simplified script); nullopt for a code this mapping does not know.
    static std::optional<QLocale> localeForCode(const QString& code);
    // The Tesseract code for a language the mapping knows; empty when it knows none.
    static QString codeForLocale(const QLocale& locale);
    // The language used when none of the user's languages has data: English when installed,
    // else the first installed language; empty when nothing is installed.
    static QString defaultLanguage();
};

} // namespace snapkin::platform
