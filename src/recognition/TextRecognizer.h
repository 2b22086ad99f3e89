#pragma once

#include "platform/BarcodeDetection.h"
#include "platform/TextRecognition.h"
#include "recognition/RecognizedContent.h"

#include <QFuture>
#include <QImage>
#include <QList>
#include <QLocale>
#include <QSizeF>
#include <QStringList>

#include <expected>
#include <optional>
#include <vector>

class QThreadPool;

namespace snapkin {

// Turns an image into its lines of text, in reading order, and its barcodes. Stateless; any
// thread may call it. Recognition runs on the recogniser pool, an image's independent text
// blocks side by side, and never touches the interface.
class TextRecognizer {
public:
    TextRecognizer() = delete;

    // How hard text recognition works, in this order.
    enum class Level {
        accurate, // dictionaries on, small text upscaled: the text copier
        fast,     // no dictionaries, no upscaling: background recognition for the history
    };

    using Result = std::expected<RecognizedContent, platform::RecognitionError>;

    // Recognises the text of `image` and, when `detectCodes` is set, its barcodes, both at
    // the same time. The future ends with the content or with the error of the text request
    // (then the barcode request is stopped), else of the barcode request. Cancelling the
    // future is the cancellation: the work stops promptly (the text engine is interrupted
    // between words) and the future ends cancelled with no result, so then() continuations
    // are skipped and onCanceled() handlers run. Callers continue with
    // future.then(context, …) on their own thread.
    static QFuture<Result> recognize(const QImage& image, Level level, bool detectCodes);

    // Starts, on the recogniser pool, the engines that recognising an image of `size` at
    // `level` will read with, for a caller that has the image still to make.
    static void warmUp(QSize size, Level level);

    // recognize() on the calling thread, one block after another: for work that must not
    // compete with the interface, on a low-priority thread of its own.
    static Result recognizeHere(const QImage& image, Level level, bool detectCodes,
                                const platform::CancelCheck& cancel = {});

    // The bitmap to recognise for an image offered in several representations (sizes) of
    // the same picture: the widest one, the first among equal widths, at its own pixel size.
    // nullopt when no representation has pixels.
    static std::optional<QImage> bitmapImage(const std::vector<QImage>& representations);

    // The user's languages (`preferred`, in the user's order) matched against `supported`:
    // each takes the supported language with the same language, script and region, else the
    // first one with the same language; each supported language is taken once.
    static QList<QLocale> preferredLanguages(const QList<QLocale>& supported,
                                             const QStringList& preferred = interfaceLanguages());

    // Lines put into reading order: rows by vertical overlap with the line that started the
    // row, rows top to bottom, each row left to right.
    static std::vector<RecognizedContent::Line>
    readingOrder(std::vector<RecognizedContent::Line> lines);

    // Barcodes as content: empty payloads dropped, a repeated payload kept once (the first
    // reported wins), sorted top to bottom, then left to right.
    static std::vector<RecognizedContent::Code>
    codesFrom(const std::vector<platform::DetectedBarcode>& detected);

    // The recognition lines as content lines: each split into its rows (rowsOf), blank ones
    // dropped, text trimmed, in reading order.
    static std::vector<RecognizedContent::Line>
    linesFrom(const std::vector<platform::RecognizedTextLine>& recognized);

    // A recognised line as the rows its words stand on, top to bottom, each row's words in the
    // line's order: one line as it is, unless the engine put into it a word of the line above
    // or below (a brace standing alone on its line, set close under the line above).
    static std::vector<RecognizedContent::Line> rowsOf(const platform::RecognizedTextLine& line);

    // The content of recognised lines and barcodes: linesFrom() and codesFrom(), less the lines
    // whose middle lies inside a barcode (its modules read as letters, never text).
    static RecognizedContent contentFrom(const std::vector<platform::RecognizedTextLine>& lines,
                                         const std::vector<platform::DetectedBarcode>& codes);

    // The Tesseract languages to recognise with: the user's preferred languages among the
    // installed ones; empty leaves the choice to the engine's default.
    static QStringList recognitionLanguages(const QStringList& preferred = interfaceLanguages());

    // The languages recognition prefers: the interface language first, then the system's
    // languages, and English always.
    static QStringList interfaceLanguages();

    // The recogniser pool: a thread per core, at least two.
    static QThreadPool& pool();
};

} // namespace snapkin
