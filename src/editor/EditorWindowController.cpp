#include "editor/EditorWindowController.h"

#include "editor/EditorPage.h"
#include "editor/EditorTabHost.h"
#include "editor/EditorView.h"
#include "editor/EditorWindowSizing.h"
#include "editor/EditorZoom.h"
#include "editor/RecentDocuments.h"
#include "editor/UnsavedChangesAlert.h"
#include "model/AnnotationStore.h"
#include "model/SnapkinDocument.h"
#include "output/FrameSettings.h"
#include "platform/Defaults.h"
#include "platform/ImageBudget.h"
#include "platform/ImagePrefetch.h"
#include "platform/ImageReader.h"
#include "platform/L10n.h"
#include "platform/MemoryRelease.h"
#include "ui/platform/BringForward.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QScreen>

#include <algorithm>

namespace snapkin {

using platform::L10n;

namespace {

constexpr QSize blankCanvasSize{1280, 800};

void showAlert(QMessageBox::Icon icon, const QString& text, const QString& informative)
{
    QMessageBox box(icon, QString(), text, QMessageBox::Ok, QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.setInformativeText(informative);
    box.exec();
}

// A path as the registry compares it: absolute, with "." and ".." resolved.
QString comparablePath(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// The frame margins the window manager draws, once a shown editor window has told us;
// nothing is assumed before that. `known` keeps them for the controller's later windows.
QMargins knownFrameMargins(const QList<EditorPage*>& pages, QMargins& known)
{
    if (!known.isNull()) return known;
    for (EditorPage* page : pages) {
        const QWidget* window = page->window();
        if (!window->isVisible()) continue;
        const QRect frame = window->frameGeometry();
        const QRect inner = window->geometry();
        const QMargins margins(inner.left() - frame.left(), inner.top() - frame.top(),
                               frame.right() - inner.right(), frame.bottom() - inner.bottom());
        if (!margins.isNull()) {
            known = margins;
            break;
        }
    }
    return known;
}

// After the last editor, one of the two ways of reaching the application must stay on: the
// task bar (keys::showInDock, off unless stored) or the system tray (keys::showInMenuBar, on unless
// stored).
void keepApplicationReachable()
{
    platform::Defaults& settings = platform::Defaults::standard();
    if (!settings.getOrDefault(keys::showInDock) && !settings.getOrDefault(keys::showInMenuBar))
        settings.set(keys::showInMenuBar, true);
}

// A page's own bars around its canvas: the toolbar, the options bar and the status bar.
double pageChromeHeight()
{
    return editorsizing::chromeHeight(platform::Defaults::standard()) +
           EditorView::toolbarAreaHeight;
}

platform::BaseImage blankImage()
{
    QImage image(blankCanvasSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    return platform::BaseImage(image, QSizeF(blankCanvasSize));
}

} // namespace

void EditorWindowController::setHistory(HistoryTracking* history)
{
    disconnect(m_historyGone);
    m_history = history;
    if (auto* object = dynamic_cast<QObject*>(history))
        m_historyGone = connect(object, &QObject::destroyed, this, [this] { m_history = nullptr; });
}

AnnotationStore& EditorWindowController::open(platform::BaseImage image, const QString& title,
                                              EditorOpenOptions options)
{
    EditorPage* page = build(std::move(image), title, std::move(options));
    present(page);
    return page->store();
}

EditorPage* EditorWindowController::build(platform::BaseImage image, const QString& title,
                                          EditorOpenOptions options)
{
    auto store = std::make_unique<AnnotationStore>(std::move(image));
    store->setAnnotations(std::move(options.annotations));
    store->setNextStampNumber(options.nextStampNumber);
    store->setDocumentURL(options.documentURL);
    if (options.appliesRememberedFrame) {
        const FrameSettings::NewCapture remembered = FrameSettings::forNewCapture();
        store->assignFrame(remembered.frame);
        store->assignWatermark(remembered.watermark);
    } else {
        store->assignFrame(std::move(options.frame));
        store->assignWatermark(std::move(options.watermark));
    }

    // A page joins the window of `tabOf` when that is open; otherwise it gets a window of its
    // own, made now so that its menu bar is known before the size is chosen.
    EditorTabHost* host = nullptr;
    if (options.tabOf) {
        if (EditorPage* parentPage = this->page(options.tabOf)) host = parentPage->host();
    }
    const bool ownWindow = host == nullptr;
    if (ownWindow) host = newHost();

    // Size the window for the canvas at actual size with the page's chrome around it, within
    // the screen the user is looking at. The page's toolbar sits inside the content, above the
    // options bar, and the window's menu bar above the page.
    const QSizeF canvas = store->frameLayout().canvasSize;
    const double pageChrome = pageChromeHeight();
    const QWidget* menuBar = host->menuWidget();
    const double chrome = pageChrome + (menuBar ? menuBar->sizeHint().height() : 0);
    const QSizeF wanted = editorsizing::wantedContentSize(canvas, chrome);
    QScreen* screen = editorsizing::targetScreen();
    const QMargins frame = knownFrameMargins(pages(), m_knownFrame);
    std::optional<QSize> largest;
    if (screen) largest = editorsizing::largestContentSize(screen->availableGeometry(), frame);
    const QSize content = editorsizing::contentSize(wanted, largest);

    auto zoom = std::make_unique<EditorZoom>(editorsizing::initialZoom(canvas, content, chrome));
    EditorViewHooks hooks = m_pageHooks;
    hooks.editors = this;
    auto* page = new EditorPage(std::move(store), std::move(zoom), title, *m_exports, hooks);
    connect(page, &EditorPage::closed, this, &EditorWindowController::removeSlot);
    // A page destroyed without closing (its window deleted outright) leaves no slot behind.
    // (Compared as a plain object: the page is no longer one while it is being destroyed.)
    connect(page, &QObject::destroyed, this, [this](QObject* gone) {
        m_slots.removeIf([gone](const Slot& slot) { return slot.object == gone; });
    });
    m_slots.append(Slot{page, page, &page->store()});

    if (largest) {
        // On a screen smaller than the page's minimum (a small display, a large scale factor)
        // the page gives way, so its bars stay inside the window rather than cut off below it.
        const int windowBars = int(chrome - pageChrome);
        const QSize room(largest->width(), std::max(1, largest->height() - windowBars));
        page->view()->setMinimumSize(page->view()->minimumSize().boundedTo(room));
    }
    host->addPage(page);
    if (ownWindow) {
        // The window's own bars come on top of the page's minimum, but never past the screen:
        // a window that outgrows the available area cannot be moved or closed comfortably,
        // while a squeezed one still scrolls its canvas.
        QSize minimum = editorsizing::minimumContent.expandedTo(host->minimumSizeHint());
        if (largest) minimum = minimum.boundedTo(*largest);
        host->setMinimumSize(minimum);
        if (screen) {
            host->setGeometry(
                editorsizing::centredContentGeometry(content, screen->availableGeometry(), frame));
        } else {
            host->resize(content);
        }
    }

    return page;
}

void EditorWindowController::present(EditorPage* page)
{
    bringForward(page);
    // A tab takes the size of its window, so its first zoom is chosen again for that size.
    if (EditorTabHost* host = page->host(); host && host->pageCount() >= 2) {
        page->zoom().setScale(editorsizing::initialZoom(page->store().frameLayout().canvasSize,
                                                        host->pageAreaSize(), pageChromeHeight()));
    }
    page->focusCanvasSoon();
    emit pageOpened(page);
}

EditorTabHost* EditorWindowController::newHost()
{
    auto* host = new EditorTabHost;
    connect(host, &EditorTabHost::newTabRequested, this,
            [this](EditorTabHost* from) { openBlank(from->currentPage()); });
    if (m_decorator) m_decorator(*host);
    return host;
}

AnnotationStore& EditorWindowController::openBlank(QWidget* tabOf)
{
    const QString title = L10n::text("Blank Canvas");
    AnnotationStore& store =
        open(blankImage(), title, {.appliesRememberedFrame = false, .tabOf = tabOf});
    history().track(store, title, std::nullopt, true);
    return store;
}

void EditorWindowController::activateOrOpenBlank()
{
    if (!m_slots.isEmpty() && m_slots.last().page) {
        bringForward(m_slots.last().page);
        return;
    }
    openBlank();
}

bool EditorWindowController::openFile(const QString& path)
{
    if (EditorPage* open = pageShowing(path)) {
        bringForward(open);
        return true;
    }
    // A package of the history continues its entry, as when it is opened from the history,
    // rather than becoming a second entry named after the package.
    if (const auto entry = history().entryOfPackage(path)) return openHistoryEntry(path, *entry);
    const bool opened = SnapkinDocument::isDocument(path) ? openDocument(path) : openImage(path);
    if (opened) {
        RecentDocuments::noteNewRecentDocument(QUrl::fromLocalFile(comparablePath(path)));
    }
    return opened;
}

EditorPage* EditorWindowController::pageShowing(const QString& documentPath) const
{
    const QString wanted = comparablePath(documentPath);
    for (const Slot& slot : m_slots) {
        if (!slot.page) continue;
        const QUrl& url = slot.store->documentURL();
        if (url.isLocalFile() && comparablePath(url.toLocalFile()) == wanted) return slot.page;
    }
    return nullptr;
}

bool EditorWindowController::openDocument(const QString& path)
{
    auto contents = SnapkinDocument::read(path);
    if (!contents) {
        // Names the file where the sentence does (memory that ran out).
        const QString message = contents.error().describe(QFileInfo(path).fileName());
        qWarning("Couldn't open %s: %s", qPrintable(path), qPrintable(message));
        showAlert(QMessageBox::Warning, L10n::text("Couldn't open the document"), message);
        return false;
    }
    const AnnotationDocument& document = contents->document;
    const bool newer = document.version > AnnotationDocument::currentVersion;
    const qint64 skipped = document.skippedAnnotations;
    // A document that this version can't hold completely is opened unbound, so saving never
    // overwrites what was left out.
    const bool asCopy = newer || skipped > 0;
    const QString fileName = QFileInfo(path).fileName();
    AnnotationStore& store =
        open(contents->image, fileName,
             {.annotations = document.annotations,
              .nextStampNumber = document.nextStampNumber,
              .frame = document.frame,
              .watermark = document.watermark,
              .appliesRememberedFrame = false,
              .documentURL = asCopy ? QUrl() : QUrl::fromLocalFile(comparablePath(path))});
    // Like an opened image, the document enters the history at its first edit.
    history().track(store, fileName, std::nullopt, true);

    if (newer) {
        showAlert(QMessageBox::Information,
                  L10n::text("This document comes from a newer version of Snapkin"),
                  L10n::text("It has been opened as a copy, so saving won't remove anything this "
                             "version doesn't understand. To keep editing the original, update "
                             "Snapkin."));
    } else if (skipped > 0) {
        showAlert(QMessageBox::Information, L10n::text("Some annotations couldn't be read"),
                  L10n::plural("%lld annotation couldn't be read and was left out, so the "
                               "document was opened as a copy.",
                               "%lld annotations couldn't be read and were left out, so the "
                               "document was opened as a copy.",
                               qint64(skipped)));
    }
    return true;
}

bool EditorWindowController::openHistoryEntry(const QString& path,
                                              const HistoryTracking::Entry& entry)
{
    if (AnnotationStore* store = history().openStore(entry.id)) {
        if (EditorPage* page = pageOf(*store)) {
            bringForward(page);
            return true;
        }
    }
    auto contents = SnapkinDocument::read(path);
    if (!contents) {
        const QString message = contents.error().userMessage();
        qWarning("Couldn't open %s: %s", qPrintable(path), qPrintable(message));
        showAlert(QMessageBox::Warning, L10n::text("Couldn't open the document"), message);
        return false;
    }
    const AnnotationDocument& document = contents->document;
    // Bound to no document: the history writes the edits back into its package.
    AnnotationStore& store = open(contents->image, entry.title,
                                  {.annotations = document.annotations,
                                   .nextStampNumber = document.nextStampNumber,
                                   .frame = document.frame,
                                   .watermark = document.watermark,
                                   .appliesRememberedFrame = false});
    history().track(store, entry.title, entry.id, false);
    return true;
}

bool EditorWindowController::openImage(const QString& path)
{
    const QFileInfo info(path);
    // A file named on the command line may be decoding still. Its page and window are built
    // meanwhile, for the size its header declares, over pixels that nothing reads before the
    // picture replaces them; shown only then, they show the picture from their first paint.
    QPointer<EditorPage> early;
    if (const auto size = platform::ImagePrefetch::pendingSize(path);
        size && platform::ImageBudget::admits(*size)) {
        const QImage unread(*size, QImage::Format_ARGB32_Premultiplied);
        if (!unread.isNull()) early = build(platform::BaseImage(unread), info.fileName(), {});
    }
    // Its native window is made while the decode runs too: showing it would make it after.
    if (early) early->host()->winId();
    // A file named on the command line may have been decoded while the application started.
    auto prefetched = platform::ImagePrefetch::take(path);
    auto image = prefetched ? std::move(*prefetched) : platform::ImageBudget::decode(path);
    if (early && (!image || image->pointSize() != early->store().image().pointSize())) {
        // Never shown: it goes as though it had not been made.
        delete early->host();
    }
    if (!image) {
        const QString message = platform::userMessage(image.error(), info.fileName());
        qWarning("Couldn't open %s: %s", qPrintable(path), qPrintable(message));
        showAlert(QMessageBox::Warning, L10n::text("Couldn't open the image"), message);
        return false;
    }
    if (early) {
        early->store().setImage(*image);
        present(early);
    }
    AnnotationStore& store = early ? early->store() : open(*image, info.fileName());
    history().track(store, info.fileName(), std::nullopt, true);
    return true;
}

EditorPage* EditorWindowController::page(QWidget* window) const
{
    for (QWidget* w = window; w; w = w->parentWidget()) {
        if (auto* host = qobject_cast<EditorTabHost*>(w)) return page(host->currentPage());
        if (auto* candidate = qobject_cast<EditorPage*>(w))
            return pages().contains(candidate) ? candidate : nullptr;
    }
    return nullptr;
}

AnnotationStore* EditorWindowController::store(QWidget* window) const
{
    EditorPage* found = page(window);
    return found ? &found->store() : nullptr;
}

EditorZoom* EditorWindowController::zoom(QWidget* window) const
{
    EditorPage* found = page(window);
    return found ? &found->zoom() : nullptr;
}

EditorPage* EditorWindowController::pageOf(const AnnotationStore& store) const
{
    const auto slot = std::ranges::find(m_slots, &store, &Slot::store);
    return slot == m_slots.end() ? nullptr : slot->page;
}

QList<EditorPage*> EditorWindowController::pages() const
{
    QList<EditorPage*> result;
    for (const Slot& slot : m_slots) {
        if (slot.page) result.append(slot.page);
    }
    return result;
}

QList<EditorPage*> EditorWindowController::dirtyWindows() const
{
    QList<EditorPage*> result = pages();
    result.removeIf([](EditorPage* page) { return !page->store().hasUnsavedChanges(); });
    return result;
}

void EditorWindowController::bringForward(EditorPage* page)
{
    EditorTabHost* host = page ? page->host() : nullptr;
    if (!host) return;
    host->setCurrentPage(page);
    platform::bringForward(host);
}

bool EditorWindowController::mayQuit()
{
    // Pages answered "Don't Save" keep their changes until quitting really goes on: a later
    // "Cancel" must leave them asking again when they close.
    QList<QPointer<EditorPage>> discarded;
    for (EditorPage* page : dirtyWindows()) {
        if (!store(page)) continue;
        bringForward(page);
        const UnsavedChangesDecision decision =
            UnsavedChangesAlert::run(*m_exports, page->store(), page->window());
        if (decision == UnsavedChangesDecision::discarded) discarded << page;
        if (decision == UnsavedChangesDecision::keepOpen) {
            for (const QPointer<EditorPage>& earlier : discarded)
                if (earlier) earlier->store().setHasUnsavedChanges(true);
            return false;
        }
    }
    return true;
}

void EditorWindowController::removeSlot(EditorPage* page)
{
    if (const auto slot = std::ranges::find(m_slots, page, &Slot::object); slot != m_slots.end()) {
        history().editorWillClose(*slot->store);
        m_slots.erase(slot);
    }
    if (m_slots.isEmpty()) keepApplicationReachable();
    emit pageRemoved();
    // A closed editor frees its frames, layers and undo history: tens of MiB at 4K.
    platform::MemoryRelease::releaseSoon();
}

} // namespace snapkin
