#pragma once

#include "editor/EditorViewHooks.h"
#include "model/Tool.h"

#include <QCursor>
#include <QPointer>
#include <QWidget>

#include <array>

class QDialog;

namespace snapkin {

class AnnotationStore;
class EditorCanvasArea;
class EditorStatusBar;
class EditorToolbar;
class EditorZoom;
class ExportDialogs;
class ToolSidebar;

// The content of one editor page, top to bottom: the toolbar, the per-tool options bar (while
// keys::showOptionsBar is on), the row of tool sidebar and canvas area, and the status bar. It
// also owns the page's keyboard aliases (Delete and Backspace delete the selection, Ctrl+=
// zooms in), presents the resize, sharpen and keyboard-shortcuts sheets while they are asked
// for, and tells the Selectable Text overlay when the document changed.
//
// Everything acts on the page's own store and zoom, which the page's slot owns and which
// outlive the view.
class EditorView : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize minimumContentSize{800, 600};
    // The toolbar and the rule under it.
    static constexpr int toolbarAreaHeight = 39;

    // The store, zoom and export service must outlive the view. `hooks` are what the page asks
    // of the layers above the editor.
    EditorView(AnnotationStore& store, EditorZoom& zoom, ExportDialogs& exports,
               const EditorViewHooks& hooks = {}, QWidget* parent = nullptr);
    ~EditorView() override;

    AnnotationStore& store() const { return m_store; }
    EditorZoom& zoom() const { return m_zoom; }
    // Fits the bare image while cropping, the framed canvas otherwise, into the viewport.
    void zoomToFit();

    // The cursor over the canvas: crop while cropping, the arrow for the select and frame
    // tools, otherwise the tool's own.
    static QCursor canvasCursor(Tool tool, bool isCropping);

    // Whether the keyboard-shortcuts sheet is asked for (the Help key, the Help menu).
    bool showsShortcuts() const { return m_showsShortcuts; }
    void setShowsShortcuts(bool shows);

    bool isSelectableTextEnabled() const { return m_selectableText; }

    EditorToolbar* toolbar() const { return m_toolbar; }
    QWidget* optionsBar() const { return m_optionsBar; }
    ToolSidebar* sidebar() const { return m_sidebar; }
    EditorCanvasArea* canvasArea() const { return m_canvasArea; }
    EditorStatusBar* statusBar() const { return m_statusBar; }
    // The open sheets; null when none is open.
    QDialog* resizeSheet() const { return m_sheets[size_t(Sheet::resize)]; }
    QDialog* sharpenSheet() const { return m_sheets[size_t(Sheet::sharpen)]; }
    QDialog* shortcutsSheet() const { return m_sheets[size_t(Sheet::shortcuts)]; }

    // True while a text field of this page takes typed text (the inline text field, an
    // options-bar field): the Delete key then edits the text.
    bool isEditingText() const;
    // Whether keys typed into `widget` are text: a text field or view, or a spin box.
    static bool takesTypedText(const QWidget* widget);

signals:
    // The document as analysed for Selectable Text may have changed (or the feature went
    // off): a running analysis is stopped and, while the feature is on, a new one started.
    void selectableTextRefresh();
    void selectableTextEnabledChanged(bool enabled);

protected:
    void showEvent(QShowEvent* event) override;

private:
    enum class Sheet { resize, sharpen, shortcuts };

    void settingChanged(const QString& key);
    void updateOptionsBar();
    void present(Sheet sheet, bool requested);
    void deleteSelection();

    AnnotationStore& m_store;
    EditorZoom& m_zoom;
    EditorToolbar* m_toolbar = nullptr;
    QWidget* m_optionsBar = nullptr;
    ToolSidebar* m_sidebar = nullptr;
    EditorCanvasArea* m_canvasArea = nullptr;
    EditorStatusBar* m_statusBar = nullptr;
    bool m_showsShortcuts = false;
    bool m_shownOnce = false;
    bool m_selectableText = false;
    // The open sheets, by Sheet.
    std::array<QPointer<QDialog>, 3> m_sheets;
};

} // namespace snapkin
