#pragma once

#include "recognition/TextRecognizer.h"

#include <QFuture>
#include <QImage>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <optional>

namespace snapkin {

class LinkOpening;

// The application's one-line toast, as the copier uses it. The capture layer provides it; it
// sits beside this one, so it is installed from above both at start-up.
class TextToasts {
public:
    virtual ~TextToasts() = default;
    // Shows `message` for `seconds`, replacing the toast on screen.
    virtual void show(const QString& message, double seconds) = 0;
    // Takes the toast on screen down at once.
    virtual void dismiss() = 0;
};

// Copies what an image says to the clipboard and tells the user what it copied: "Copy Text
// from Region", the editor's Copy Text and the quick-access text action all come here.
//
// A copy recognises text and barcodes at the accurate level off the GUI thread, then writes
// the barcode payloads (one a line) when there are any, else the text; a single barcode that
// is a web link is also written as a URL and confirmed by the link toast. Everything else is
// confirmed by the toast. A copy still running after 0.6 s shows "Recognizing text…" until its
// result replaces it. Starting a copy cancels the one before, which then ends silently; the
// clipboard is written only once recognition has finished and found something.
class TextCopier : public QObject {
    Q_OBJECT
public:
    static constexpr int progressDelayMs = 600;
    static constexpr double progressSeconds = 90.0;
    static constexpr double resultSeconds = 1.3;

    // What was put on the clipboard.
    struct Outcome {
        enum class Kind { text, code, nothing };
        Kind kind = Kind::nothing;
        QString copied;          // the text, or the payloads one a line
        std::optional<QUrl> url; // a single code that is a web link
        friend bool operator==(const Outcome&, const Outcome&) = default;
    };

    // Starts recognition of an image (accurate, with codes). Cancelling the future stops it.
    using Recognize = std::function<QFuture<TextRecognizer::Result>(const QImage& image)>;
    // Shows the link toast for a single web link.
    using ShowLink = std::function<void(const QString& message, const QUrl& url)>;

    // The application's copier: TextRecognizer and LinkToast, confirming with `toasts` (not
    // owned; nullptr shows none); the link toast opens links with `links`.
    TextCopier(TextToasts* toasts, LinkOpening& links, QObject* parent = nullptr);
    TextCopier(Recognize recognize, TextToasts* toasts, ShowLink showLink,
               QObject* parent = nullptr);
    ~TextCopier() override;

    // Copies the text of `image`, cancelling the copy before. Returns at once.
    void copyText(const QImage& image);

    // Writes what `content` holds to the clipboard, codes before text; nothing found leaves
    // the clipboard alone.
    static Outcome deliver(const RecognizedContent& content);
    // Confirms `outcome` with the matching toast, taking a progress toast down first.
    void announce(const Outcome& outcome);

    // Whether a copy is recognising now.
    bool isCopying() const { return m_running; }

signals:
    // A copy ended with `outcome` announced (a cancelled copy announces nothing).
    void finished(const snapkin::TextCopier::Outcome& outcome);

private:
    void showProgress(quint64 generation);
    void finish(quint64 generation, const TextRecognizer::Result& result);

    Recognize m_recognize;
    TextToasts* m_toasts = nullptr;
    ShowLink m_showLink;
    QFuture<TextRecognizer::Result> m_current;
    // Each copy has its own number; callbacks of an older copy find it changed and do nothing.
    quint64 m_generation = 0;
    bool m_running = false;
    bool m_progressShown = false;
};

} // namespace snapkin
