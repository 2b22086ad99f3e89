#pragma once

#include "editor/EditorViewHooks.h"

#include <QString>
#include <QWidget>

#include <memory>

namespace snapkin {

class AnnotationStore;
class CanvasView;
class EditorZoom;
class EditorTabHost;
class EditorView;
class ExportDialogs;

// One editor: a document being edited, shown as a tab of an EditorTabHost. To the rest of the
// application a page is what a window is elsewhere: it has its own store and zoom, its own
// title, and its own question about unsaved changes when it closes.
//
// The page owns its store and zoom, so both live exactly as long as the widgets that show
// them. Its title is the one it was opened with, or the file name of the document it is bound
// to; the window title adds the image's pixel size ("Shot.png — 1440 × 900 px") and follows
// every change of the image.
class EditorPage : public QWidget {
    Q_OBJECT
public:
    EditorPage(std::unique_ptr<AnnotationStore> store, std::unique_ptr<EditorZoom> zoom,
               QString title, ExportDialogs& exports, const EditorViewHooks& hooks = {},
               QWidget* parent = nullptr);
    ~EditorPage() override;

    AnnotationStore& store() const { return *m_store; }
    EditorZoom& zoom() const { return *m_zoom; }
    CanvasView* canvas() const { return m_canvas; }
    // The page's content: bars, sidebar and canvas area.
    EditorView* view() const { return m_view; }

    // The tab's text: the title, or the bound document's file name.
    const QString& title() const { return m_title; }
    // The host window's title while this page is current: the title with the image size.
    QString windowTitleText() const;
    // The bound document's path; empty when there is none.
    const QString& documentPath() const { return m_documentPath; }

    // The host the page is a tab of; null before it joins one.
    EditorTabHost* host() const;

    // Gives the keyboard to the canvas on the next turn of the event loop, when the window
    // has settled, so single-key tool shortcuts work at once.
    void focusCanvasSoon();

signals:
    // The title, the window title or the document path changed.
    void presentationChanged();
    // The page agreed to close (after the unsaved-changes question, when there was one); the
    // host drops its tab and the page is deleted later.
    void closed(snapkin::EditorPage* page);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<AnnotationStore> m_store;
    std::unique_ptr<EditorZoom> m_zoom;
    // Saves the image when the user answers "Save…" on closing.
    ExportDialogs& m_exports;
    QString m_title;
    QString m_dimensions; // "1440 × 900 px"
    QString m_documentPath;
    CanvasView* m_canvas = nullptr;
    EditorView* m_view = nullptr;
    bool m_closed = false;
};

} // namespace snapkin
