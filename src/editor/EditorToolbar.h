#pragma once

#include "editor/EditorViewHooks.h"
#include "output/ExportFormat.h"

#include <QHash>
#include <QImage>
#include <QTimer>
#include <QToolBar>

#include <functional>
#include <optional>

class QMimeData;

namespace snapkin {

class AnnotationStore;
class EditorWindowController;
class EditorZoom;
class ExportDialogs;
class SaveSplitButton;

// How the toolbar hands the page's image out of the editor. The standard routes flatten with
// its alert, then copy, save, share and drag through the export service; tests replace them.
struct EditorToolbarRoutes {
    // The flattened image, or nothing after the "Couldn't prepare the image" alert.
    std::function<std::optional<QImage>(const AnnotationStore& store, QWidget* parent)> flatten;
    // True when the clipboard got the image.
    std::function<bool(const QImage& image)> copy;
    // Flattens the page and lets the user save it; true when the image file was written. It
    // flattens on its own, so the dialog need not wait for a long document to be drawn.
    std::function<bool(ExportFormat format, AnnotationStore& store, QWidget* parent)> save;
    // Opens the share menu for the image of `store` under `button` (null: the window's anchor).
    std::function<void(const QImage& image, const AnnotationStore& store, QWidget* button)> share;
    // What a drag of the thumbnail carries (owned by the caller).
    std::function<QMimeData*(const QImage& image)> dragData;
    // Opens a blank canvas in a new window.
    std::function<void()> openBlank;

    // Blank canvases open among `editors` (none: Blank Canvas does nothing).
    static EditorToolbarRoutes standard(ExportDialogs& exports,
                                        EditorWindowController* editors = nullptr);
};

// The editor page's toolbar: the items the user arranged ("Customize Toolbar…" in its context
// menu; the arrangement is kept in the settings and shared by every window), by default New
// Capture, Undo and Redo at the leading edge and Copy, Save, Share and the drag thumbnail at
// the trailing one. Every item acts on the page's own store and zoom.
class EditorToolbar : public QToolBar {
    Q_OBJECT
public:
    // The store, zoom and export service must outlive the toolbar. `hooks` bring the capture
    // service and text copying of the layers above.
    EditorToolbar(AnnotationStore& store, EditorZoom& zoom, ExportDialogs& exports,
                  EditorViewHooks hooks = {}, QWidget* parent = nullptr);
    ~EditorToolbar() override;

    void setRoutes(EditorToolbarRoutes routes) { m_routes = std::move(routes); }

    // How long the Copy item shows its checkmark; tests shorten it.
    static void setCopiedFeedbackMilliseconds(int milliseconds);

    // The identifiers shown, in order.
    QStringList shownIdentifiers() const { return m_shown; }
    // The action of an item (also for items shown as widgets); null when not shown.
    QAction* item(const QString& identifier) const { return m_items.value(identifier); }
    // The widget of an item; null when not shown.
    QWidget* itemWidget(const QString& identifier) const;
    SaveSplitButton* saveButton() const;
    bool justCopied() const { return m_justCopied; }

    // The actions behind the items, so tests and menus reach them directly.
    void copyImage();
    void saveImage(std::optional<ExportFormat> chosen);
    void shareImage();
    void openCustomizeDialog();
    // The format menu's entries, in case order, checked for the stored format.
    QList<QAction*> formatActions() const { return m_formatActions; }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    class Thumbnail;

    void rebuild();
    QAction* makeItem(const QString& identifier);
    void updateEnabled();
    void updateFormat();
    void setJustCopied(bool copied);
    void startDrag(Thumbnail* source);

    AnnotationStore& m_store;
    EditorZoom& m_zoom;
    EditorToolbarRoutes m_routes;
    const EditorViewHooks m_hooks;
    QStringList m_shown;
    QHash<QString, QAction*> m_items;
    QList<QAction*> m_formatActions;
    bool m_justCopied = false;
    // The store publishes before it stores; the enable rules read it on the next turn.
    QTimer m_enableRefresh;
};

} // namespace snapkin
