#include "text/TextCopier.h"

#include "text/LinkToast.h"

#include "platform/L10n.h"

#include <QClipboard>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QMimeData>

namespace snapkin {

TextCopier::TextCopier(TextToasts* toasts, LinkOpening& links, QObject* parent)
    : TextCopier(
          [](const QImage& image) {
              return TextRecognizer::recognize(image, TextRecognizer::Level::accurate, true);
          },
          toasts,
          [&links](const QString& message, const QUrl& url) {
              LinkToast::show(message, url, links);
          },
          parent)
{
}

TextCopier::TextCopier(Recognize recognize, TextToasts* toasts, ShowLink showLink, QObject* parent)
    : QObject(parent), m_recognize(std::move(recognize)), m_toasts(toasts),
      m_showLink(std::move(showLink))
{
}

TextCopier::~TextCopier()
{
    ++m_generation;
    m_current.cancel();
}

void TextCopier::copyText(const QImage& image)
{
    // The copy before stops quietly: its callbacks find the number changed.
    m_current.cancel();
    const quint64 generation = ++m_generation;
    m_running = true;
    QTimer::singleShot(progressDelayMs, Qt::PreciseTimer, this,
                       [this, generation] { showProgress(generation); });

    const std::optional<QImage> bitmap = TextRecognizer::bitmapImage({image});
    if (!bitmap) {
        finish(generation, RecognizedContent{});
        return;
    }
    m_current = m_recognize(*bitmap);
    auto* watcher = new QFutureWatcher<TextRecognizer::Result>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        const QFuture<TextRecognizer::Result> future = watcher->future();
        if (future.isCanceled() || future.resultCount() == 0) {
            if (generation == m_generation) m_running = false;
            return;
        }
        finish(generation, future.result());
    });
    watcher->setFuture(m_current);
}

void TextCopier::showProgress(quint64 generation)
{
    // Tested right before showing: a result that came in meanwhile has ended the copy.
    if (generation != m_generation || !m_running || !m_toasts) return;
    m_progressShown = true;
    m_toasts->show(platform::L10n::text("Recognizing text…"), progressSeconds);
}

void TextCopier::finish(quint64 generation, const TextRecognizer::Result& result)
{
    if (generation != m_generation) return;
    m_running = false;
    if (!result && result.error() == platform::RecognitionError::cancelled) return;
    const Outcome outcome = result ? deliver(*result) : Outcome{};
    announce(outcome);
    emit finished(outcome);
}

TextCopier::Outcome TextCopier::deliver(const RecognizedContent& content)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!content.codes.empty()) {
        QStringList payloads;
        for (const RecognizedContent::Code& code : content.codes)
            payloads.append(code.payload);
        Outcome outcome{Outcome::Kind::code, payloads.join(QLatin1Char('\n')), std::nullopt};
        auto* data = new QMimeData;
        data->setText(outcome.copied);
        if (content.codes.size() == 1) {
            if (std::optional<QUrl> url = content.codes.front().webURL()) {
                data->setUrls({*url});
                outcome.url = url;
            }
        }
        clipboard->setMimeData(data);
        return outcome;
    }
    const QString text = content.text();
    if (text.isEmpty()) return {};
    clipboard->setText(text);
    return {Outcome::Kind::text, text, std::nullopt};
}

void TextCopier::announce(const Outcome& outcome)
{
    using platform::L10n;
    // A progress toast still up would otherwise linger beside the link toast for 90 s.
    if (m_progressShown && m_toasts) m_toasts->dismiss();
    m_progressShown = false;
    using enum Outcome::Kind;
    if (outcome.kind == code && outcome.url) {
        if (m_showLink) m_showLink(L10n::text("QR code link copied"), *outcome.url);
    } else if (m_toasts) {
        m_toasts->show(outcome.kind == text   ? L10n::text("Text copied to clipboard")
                       : outcome.kind == code ? L10n::text("Code content copied to clipboard")
                                              : L10n::text("No text found"),
                       resultSeconds);
    }
}

} // namespace snapkin
