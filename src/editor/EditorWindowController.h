#pragma once

#include "editor/EditorViewHooks.h"
#include "editor/HistoryTracking.h"
#include "model/Annotation.h"
#include "model/FrameStyle.h"
#include "model/Watermark.h"
#include "output/ExportService.h"
#include "platform/BaseImage.h"
#include "ui/output/ExportDialogs.h"

#include <QList>
#include <QMainWindow>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

namespace snapkin {

class AnnotationStore;
class EditorPage;
class EditorTabHost;
class EditorZoom;

// How a page opens, beyond its image and title. The defaults are those of a new capture: no
// annotations, the frame and watermark new captures get, no document, a window of its own.
// Every field has an initializer, so callers name only what they set:
// {.appliesRememberedFrame = false, .tabOf = page}.
struct EditorOpenOptions {
    QList<Annotation> annotations{};
    qint64 nextStampNumber = 1;
    std::optional<FrameStyle> frame{};
    std::optional<Watermark> watermark{};
    // True: frame and watermark come from the settings for new captures, and the two
    // fields above are ignored.
    bool appliesRememberedFrame = true;
    // The document package the page is bound to; empty for none.
    QUrl documentURL{};
    // A page (or tab host) whose window the new page joins as a tab; null for a window of
    // its own.
    QWidget* tabOf = nullptr;
};

// The registry of open editors: it opens every editor page (captures, files, blank canvases),
// sizes its window to the image and the screen, chooses the first zoom, groups pages as tabs
// and answers which store and zoom belong to a window. It keeps one slot per open page, oldest
// first, from the moment the page opens until it has closed.
//
// "Window" in this interface is the page: a page is one editor, with its own store, zoom,
// title and close question, whether it is alone in its window or one of several tabs. Lookups
// also accept the tab host window (meaning its current page) or any widget inside a page.
//
// The application makes one and passes it by reference to whatever opens, lists or closes
// editors; a test makes its own, so its pages are apart from any other test's.
class EditorWindowController : public QObject {
    Q_OBJECT
public:
    explicit EditorWindowController(QObject* parent = nullptr) : QObject(parent) {}

    // Opens an editor page over `image` and returns its store (owned by the page).
    AnnotationStore& open(platform::BaseImage image, const QString& title,
                          EditorOpenOptions options = {});

    // Opens a document package or an image file, or brings forward the page that already
    // shows that document. A package of the history opens as its entry does from the history
    // (followed under the entry's id and title, and not noted as a recent document). Failures
    // are shown in an alert. True when a page shows the file afterwards.
    bool openFile(const QString& path);
    // Opens a white 1280 × 800 "Blank Canvas", as a tab of `tabOf`'s window when given.
    AnnotationStore& openBlank(QWidget* tabOf = nullptr);
    // Brings the newest page forward, or opens a blank canvas when there is none.
    void activateOrOpenBlank();

    // The page, store or zoom of `window` (a page, a widget inside one, or a tab host's
    // current page); null when it is no open editor.
    EditorPage* page(QWidget* window) const;
    AnnotationStore* store(QWidget* window) const;
    EditorZoom* zoom(QWidget* window) const;
    // The open page that edits `store`; null when none does.
    EditorPage* pageOf(const AnnotationStore& store) const;
    // The open pages, oldest first.
    QList<EditorPage*> pages() const;
    // The pages whose store has unsaved changes, oldest first.
    QList<EditorPage*> dirtyWindows() const;

    // Shows the page's tab and brings its window forward (restored when it was minimised).
    static void bringForward(EditorPage* page);

    // What the application adds to every editor window it makes from now on (its menu bar).
    using WindowDecorator = std::function<void(QMainWindow& window)>;
    void setWindowDecorator(WindowDecorator decorator) { m_decorator = std::move(decorator); }

    // The capture history the editors report to (not owned; nullptr: none, which keeps
    // nothing). The application gives its history here when it makes it. A history that is a
    // QObject is forgotten when it is destroyed, so no editor reports to one that has gone.
    void setHistory(HistoryTracking* history);
    HistoryTracking& history() const { return m_history ? *m_history : HistoryTracking::none(); }

    // How pages save and drag their images (not owned; nullptr: the controller's own, with Qt's
    // save dialog). The application gives its own at start-up; it applies to pages made from
    // now on and to the question asked when quitting.
    void setExports(ExportDialogs* exports) { m_exports = exports ? exports : &m_ownExports; }
    ExportDialogs& exports() const { return *m_exports; }

    // What every page made from now on asks of the layers above the editor.
    void setPageHooks(EditorViewHooks hooks) { m_pageHooks = std::move(hooks); }

    // Asks about each page with unsaved changes, oldest first, each brought forward; false at
    // the first that stays open (no later page is asked; earlier pages answered "Don't Save"
    // get their unsaved changes back). True when quitting may go on.
    bool mayQuit();

signals:
    void pageOpened(snapkin::EditorPage* page);
    void pageRemoved();

private:
    // open() in two steps: the page over `image` with its window, sized but not shown, then
    // shown and announced.
    EditorPage* build(platform::BaseImage image, const QString& title, EditorOpenOptions options);
    void present(EditorPage* page);
    EditorTabHost* newHost();
    void removeSlot(EditorPage* page);
    bool openDocument(const QString& path);
    bool openImage(const QString& path);
    // Opens the history's package at `path` in an editor that continues `entry`, or brings
    // forward the editor that already does.
    bool openHistoryEntry(const QString& path, const HistoryTracking::Entry& entry);
    EditorPage* pageShowing(const QString& documentPath) const;

    struct Slot {
        QPointer<EditorPage> page;
        const QObject* object = nullptr; // the page, for identity only
        AnnotationStore* store = nullptr;
    };
    QList<Slot> m_slots;
    QMargins m_knownFrame; // the window manager's frame, once a shown window has told us
    WindowDecorator m_decorator;
    EditorViewHooks m_pageHooks;
    HistoryTracking* m_history = nullptr;
    QMetaObject::Connection m_historyGone;
    ExportService m_ownService;
    ExportDialogs m_ownExports{m_ownService};
    ExportDialogs* m_exports = &m_ownExports;
};

} // namespace snapkin
