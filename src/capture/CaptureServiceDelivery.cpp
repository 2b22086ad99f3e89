// Delivering a finished capture, reporting a failed one, the capture sound, the stored last
// region, and bringing a picture from the clipboard or a file into an editor.
#include "capture/CaptureService.h"
#include "capture/CaptureServiceEngine.h"
#include "capture/CaptureToast.h"
#include "capture/PostCaptureRouter.h"
#include "capture/SystemScreenshotWatcher.h"
#include "platform/ClipboardTransfer.h"
#include "platform/Defaults.h"
#include "platform/DesktopWindows.h"
#include "platform/ImageBudget.h"
#include "platform/ImageReader.h"
#include "platform/L10n.h"
#include "ui/platform/Sounds.h"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>

#include <cmath>
#include <new>

namespace snapkin {

using platform::BaseImage;
using platform::L10n;

namespace {

platform::Defaults& settings()
{
    return platform::Defaults::standard();
}

// A finite number stored as a number (not a Bool or a string).
std::optional<double> storedNumber(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        if (!std::isfinite(d)) return std::nullopt;
        return d;
    }
    default:
        return std::nullopt;
    }
}

} // namespace

// --- Delivery ---------------------------------------------------------------------------------

void CaptureService::route(const BaseImage& image, CaptureSink sink)
{
    if (sink == CaptureSink::text) {
        // Recognition copies the text with its own toasts; it is no capture to count.
        if (m_hooks.textCopying) m_hooks.textCopying->copyText(image);
        return;
    }
    settings().add(keys::newsletterCaptureCount, 1);
    // Asked when the delay ends, not now: the user may be busy by then.
    m_clock->callAfter(newsletterDelayMs, this, [this] {
        NewsletterInvitation* invitation = m_hooks.newsletter;
        if (invitation && invitation->isDue() && invitation->canInterrupt()) invitation->show();
    });

    switch (sink) {
    case CaptureSink::editor:
        m_router.handleCapturedImage(image, L10n::text("Untitled"));
        break;
    case CaptureSink::clipboard: {
        const bool copied = m_clipboardWriter ? m_clipboardWriter(image) : copyToClipboard(image);
        if (!copied) {
            showAlert(CaptureAlert{L10n::text("Couldn't copy the image"),
                                   L10n::text("Nothing was put on the clipboard."),
                                   {L10n::text("OK")},
                                   true},
                      [](int) {});
            break;
        }
        if (m_hooks.history) m_hooks.history->record(image, captureHistoryTitle(sourceAppName()));
        CaptureToast::show(L10n::text("Copied to clipboard"), toastSeconds, *m_clock);
        break;
    }
    case CaptureSink::file:
        m_router.saveToDisk(image);
        if (m_hooks.history) m_hooks.history->record(image, captureHistoryTitle(sourceAppName()));
        break;
    case CaptureSink::text:
        break;
    }
    tellHistoryRefusalOnce();
}

void CaptureService::tellHistoryRefusalOnce()
{
    if (m_toldHistoryRefusal || !m_hooks.history) return;
    const QString reason = m_hooks.history->unavailableReason();
    if (reason.isEmpty()) return;
    m_toldHistoryRefusal = true;
    // Long enough to read a sentence; after a confirmation that is up, never in its place.
    const auto show = [this, reason] {
        CaptureToast::show(reason, historyRefusalSeconds, *m_clock);
    };
    if (CaptureToast::current())
        m_clock->callAfter(qint64(toastSeconds * 1000) + CaptureToast::fadeOutMs, this, show);
    else
        show();
}

void CaptureService::playCaptureSoundIfEnabled()
{
    if (settings().get(keys::captureSound))
        platform::Sounds::shared().playEvent(QString::fromLatin1(captureSoundEvent));
}

// --- Failure ----------------------------------------------------------------------------------

CaptureAlert CaptureService::failureAlert(const CaptureFailure& failure, bool hasXServer)
{
    QStringList paragraphs;
    if (!hasXServer || failure.noXServer) paragraphs << x11SessionAdvice();
    const QString pasteKey =
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N).toString(QKeySequence::NativeText);
    paragraphs << L10n::format("Can't capture here? Keep using your desktop's screenshot tool "
                               "(Print Screen) and Snapkin will open each screenshot in the "
                               "editor, or paste a screenshot with %@.",
                               pasteKey);
    paragraphs << L10n::format("Detail: %@", failure.description);

    CaptureAlert alert;
    alert.message = L10n::text("Couldn't capture the screen");
    alert.informativeText = paragraphs.join(QStringLiteral("\n\n"));
    alert.buttons = {L10n::text("Use System Screenshots…"), L10n::text("Close")};
    return alert;
}

void CaptureService::handle(const CaptureFailure& failure)
{
    showAlert(failureAlert(failure, engine().hasXServer()),
              [watcher = QPointer(&m_watcher)](int button) {
                  if (button == 0 && watcher) watcher->enableChoosingFolder();
              });
}

void CaptureService::showAlert(const CaptureAlert& alert, std::function<void(int)> answered)
{
    if (m_alertPresenter) {
        m_alertPresenter(alert, std::move(answered));
        return;
    }
    // Application-modal, but shown without exec(): the capture's continuations never wait in a
    // nested event loop.
    auto* box = new QMessageBox(alert.warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                                alert.message, alert.message);
    if (!alert.warning && !QGuiApplication::windowIcon().isNull())
        box->setIconPixmap(QGuiApplication::windowIcon().pixmap(64));
    box->setInformativeText(alert.informativeText);
    box->setWindowModality(Qt::ApplicationModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QList<QAbstractButton*> buttons;
    for (int i = 0; i < alert.buttons.size(); ++i) {
        const bool last = i == alert.buttons.size() - 1 && alert.buttons.size() > 1;
        QPushButton* b = box->addButton(alert.buttons[i],
                                        last ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
        buttons.append(b);
        if (i == 0) box->setDefaultButton(b);
    }
    QObject::connect(box, &QMessageBox::finished, box, [box, buttons, answered] {
        if (answered) answered(int(buttons.indexOf(box->clickedButton())));
    });
    box->show(); // not open(): that makes it window-modal, which without a parent is no modality
    box->raise();
    box->activateWindow();
}

// --- Last region ------------------------------------------------------------------------------

void CaptureService::saveLastRegion(const RegionSelection& selection)
{
    const std::optional<std::uint32_t> id = engine().displayID(selection.screen);
    if (!id) return; // the previous region stays
    const QRectF r = selection.rect.normalized();
    settings().set(keys::lastRegionRect,
                   QVariantList{double(*id), r.x(), r.y(), r.width(), r.height()});
}

std::optional<CaptureService::StoredRegion>
CaptureService::resolveStoredRegion(const QVariant& stored,
                                    const std::vector<ScreenChoice>& screens,
                                    std::optional<size_t> mainIndex)
{
    if (stored.typeId() != QMetaType::QVariantList) return std::nullopt;
    const QVariantList list = stored.toList();
    if (list.size() != 5) return std::nullopt;
    double v[5];
    for (int i = 0; i < 5; ++i) {
        const auto n = storedNumber(list[i]);
        if (!n) return std::nullopt;
        v[i] = *n;
    }
    if (v[3] < 2.0 || v[4] < 2.0) return std::nullopt;
    // A display number that is not a whole 32-bit value was written by someone else.
    if (v[0] < 0 || v[0] > 4294967295.0 || std::floor(v[0]) != v[0]) return std::nullopt;
    const auto displayID = std::uint32_t(v[0]);

    const auto same = std::find_if(screens.begin(), screens.end(),
                                   [&](const ScreenChoice& s) { return s.displayID == displayID; });
    const std::optional<size_t> index =
        same != screens.end() ? std::optional(size_t(same - screens.begin())) : mainIndex;
    if (!index || *index >= screens.size()) return std::nullopt;

    // The region must lie on the screen it is taken from: a display that went away leaves its
    // region on the main screen, which may be smaller.
    const QRectF bounds(QPointF(0, 0), screens[*index].size);
    const QRectF rect = QRectF(v[1], v[2], v[3], v[4]).intersected(bounds);
    if (rect.width() < 2.0 || rect.height() < 2.0) return std::nullopt;
    return StoredRegion{*index, rect};
}

std::optional<RegionSelection> CaptureService::loadLastRegion()
{
    const QList<QScreen*> qtScreens = QGuiApplication::screens();
    std::vector<ScreenChoice> screens;
    // A region whose display is gone is taken on the screen the user works on.
    const QScreen* workScreen = platform::DesktopWindows::workScreen();
    std::optional<size_t> mainIndex;
    for (QScreen* s : qtScreens) {
        if (s == workScreen) mainIndex = screens.size();
        screens.push_back(ScreenChoice{engine().displayID(s), QSizeF(s->size())});
    }
    const auto found =
        resolveStoredRegion(settings().object(keys::lastRegionRect), screens, mainIndex);
    if (!found) return std::nullopt;
    return RegionSelection{qtScreens[qsizetype(found->screenIndex)], found->rect, std::nullopt};
}

// --- Pictures from outside --------------------------------------------------------------------

namespace {

// What New from Clipboard reads, in order: the image formats the reader knows, lossless ones
// first, then a file copied in a file manager.
const QStringList pasteFormats = {QStringLiteral("image/png"),    QStringLiteral("image/tiff"),
                                  QStringLiteral("image/webp"),   QStringLiteral("image/jpeg"),
                                  QStringLiteral("image/gif"),    QStringLiteral("image/bmp"),
                                  QStringLiteral("text/uri-list")};
// Every picture goes through the image budget: a pasted 8K screenshot is fine, a hostile
// header is refused from the header instead of allocating gigabytes.
using ReadImage = std::expected<BaseImage, platform::ImageReadError>;
const ReadImage nothingPasted = std::unexpected(platform::ImageReadError::unreadable);

// The one local file a list of URLs names, or nothing.
std::optional<QString> singleLocalFile(const QList<QUrl>& urls)
{
    if (urls.size() != 1 || !urls.front().isLocalFile()) return std::nullopt;
    return urls.front().toLocalFile();
}

// The picture of a clipboard that lives in this process (the offscreen platform's).
ReadImage localClipboardImage()
{
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (!mime) return nothingPasted;
    for (const QString& format : pasteFormats) {
        if (format == QLatin1String("text/uri-list") || !mime->hasFormat(format)) continue;
        auto decoded = platform::ImageBudget::decode(mime->data(format));
        if (decoded || platform::refusedForMemory(decoded.error())) return decoded;
    }
    if (mime->hasImage()) {
        const QImage image = qvariant_cast<QImage>(mime->imageData());
        if (!image.isNull()) return platform::ImageBudget::accept(image);
    }
    if (const auto file = singleLocalFile(mime->hasUrls() ? mime->urls() : QList<QUrl>()))
        return platform::ImageBudget::decode(*file);
    return nothingPasted;
}

// The picture in what an X11 clipboard's owner sent as `format`.
ReadImage pastedImage(const platform::ClipboardTransfer::Data& data)
{
    if (data.format != QLatin1String("text/uri-list"))
        return platform::ImageBudget::decode(data.bytes);
    QList<QUrl> urls;
    for (const QByteArray& line : data.bytes.split('\n')) {
        const QByteArray uri = line.trimmed();
        if (!uri.isEmpty() && !uri.startsWith('#')) urls << QUrl::fromEncoded(uri);
    }
    if (const auto file = singleLocalFile(urls)) return platform::ImageBudget::decode(*file);
    return nothingPasted;
}

} // namespace

void CaptureService::openFromClipboard()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        openPasted(localClipboardImage());
        return;
    }
    if (m_pasting) return;
    m_pasting = true;
    // Both the wait for the owner and the decoding run on a worker; nothing shared is touched.
    using Transfer = platform::ClipboardTransfer;
    const QDeadlineTimer deadline(pasteTimeoutMs);
    QtConcurrent::run([deadline]() -> std::optional<ReadImage> {
        // The bytes sent that memory can't hold are a refusal in words; thrown, they would end
        // the future without the continuation below, and pasting would stay under way.
        try {
            const auto read =
                Transfer::read(pasteFormats, deadline, platform::ImageBudget::maxEncodedBytes);
            if (read) return pastedImage(*read);
            switch (read.error()) {
            case Transfer::Error::timedOut:
                return std::nullopt;
            case Transfer::Error::tooLarge:
                return std::unexpected(platform::ImageReadError::tooLarge);
            default:
                return nothingPasted;
            }
        } catch (const std::bad_alloc&) {
            return std::unexpected(platform::ImageReadError::outOfMemory);
        }
    }).then(this, [this](const std::optional<ReadImage>& pasted) {
        m_pasting = false;
        if (pasted)
            openPasted(*pasted);
        else
            CaptureToast::show(L10n::text("The clipboard's owner didn't answer."), toastSeconds,
                               *m_clock);
    });
}

void CaptureService::openPasted(const std::expected<BaseImage, platform::ImageReadError>& image)
{
    if (!image && platform::refusedForMemory(image.error())) {
        const QString message = platform::userMessage(image.error());
        qWarning("Couldn't paste the clipboard's image: %s", qPrintable(message));
        CaptureToast::show(message, toastSeconds, *m_clock);
        return;
    }
    if (!image || image->isNull()) {
        CaptureToast::show(L10n::text("No image on the clipboard"), toastSeconds, *m_clock);
        return;
    }
    openInEditor(*image, L10n::text("Pasted image"));
}

} // namespace snapkin
