#include "editor/EditorView.h"

#include "canvas/ToolCursor.h"
#include "editor/EditorCanvasArea.h"
#include "editor/EditorStatusBar.h"
#include "editor/EditorToolbar.h"
#include "editor/EditorZoom.h"
#include "editor/FramedCanvas.h"
#include "editor/KeyboardShortcutsSheet.h"
#include "editor/ResizeView.h"
#include "editor/SharpenView.h"
#include "editor/SheetStyle.h"
#include "editor/ToolKeyMonitor.h"
#include "editor/ToolSidebar.h"
#include "editor/options/ContextualToolbar.h"
#include "model/AnnotationStore.h"
#include "model/SavedStyles.h"
#include "platform/Defaults.h"
#include "ui/canvas/CanvasView.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace snapkin {

using sheetstyle::rule;

QCursor EditorView::canvasCursor(Tool tool, bool isCropping)
{
    if (isCropping) return ToolCursor::cursor(Tool::crop);
    if (tool == Tool::select || tool == Tool::frame) return QCursor(Qt::ArrowCursor);
    return ToolCursor::cursor(tool);
}

EditorView::EditorView(AnnotationStore& store, EditorZoom& zoom, ExportDialogs& exports,
                       const EditorViewHooks& hooks, QWidget* parent)
    : QWidget(parent), m_store(store), m_zoom(zoom)
{
    setMinimumSize(minimumContentSize);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    m_toolbar = new EditorToolbar(store, zoom, exports, hooks, this);
    column->addWidget(m_toolbar);
    column->addWidget(rule(Qt::Horizontal, this));

    // The options bar and the rule under it come and go together.
    m_optionsBar = new QWidget(this);
    auto* bar = new QVBoxLayout(m_optionsBar);
    bar->setContentsMargins(0, 0, 0, 0);
    bar->setSpacing(0);
    // A library of the page's own is made after the options bar, so it goes after it.
    SavedStyles* styles = hooks.savedStyles ? hooks.savedStyles
                                            : new SavedStyles(platform::Defaults::standard(), this);
    bar->addWidget(new ContextualToolbar(store, *styles, m_optionsBar));
    bar->addWidget(rule(Qt::Horizontal, m_optionsBar));
    column->addWidget(m_optionsBar);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    m_sidebar = new ToolSidebar(store, this);
    row->addWidget(m_sidebar);
    row->addWidget(rule(Qt::Vertical, this));
    m_canvasArea = new EditorCanvasArea(store, zoom, this);
    row->addWidget(m_canvasArea, 1);
    column->addLayout(row, 1);

    column->addWidget(rule(Qt::Horizontal, this));
    m_statusBar = new EditorStatusBar(store, zoom, this);
    column->addWidget(m_statusBar);

    // Keyboard aliases. Delete works only with a selection and never while text is typed.
    for (const Qt::Key key : {Qt::Key_Delete, Qt::Key_Backspace}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setEnabled(store.selectedID().has_value());
        connect(shortcut, &QShortcut::activated, this, &EditorView::deleteSelection);
        connect(
            &store, &AnnotationStore::selectedIDChanged, shortcut,
            [shortcut](const std::optional<QUuid>& id) { shortcut->setEnabled(id.has_value()); });
    }
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Equal), this), &QShortcut::activated,
            this, [this] { m_zoom.zoomIn(); });

    // Single tool keys, off while a crop is being set.
    new ToolKeyMonitor(*this, ToolKeyHandlers{
                                  [this](Tool tool) { m_store.activate(tool); },
                                  [this] { setShowsShortcuts(true); },
                                  [this] { return !m_store.isCropping(); },
                              });

    // Sheets follow the store's requests (published before stored: the value is passed on).
    connect(&store, &AnnotationStore::isResizingChanged, this,
            [this](const bool& requested) { present(Sheet::resize, requested); });
    connect(&store, &AnnotationStore::isSharpeningChanged, this,
            [this](const bool& requested) { present(Sheet::sharpen, requested); });

    updateOptionsBar();
    m_selectableText = platform::Defaults::standard().getOrDefault(keys::selectableTextEnabled);
    connect(&platform::Defaults::standard(), &platform::Defaults::valueChanged, this,
            &EditorView::settingChanged);
    connect(&store, &AnnotationStore::annotationsChanged, this, &EditorView::selectableTextRefresh);
    connect(&store, &AnnotationStore::imageChanged, this, &EditorView::selectableTextRefresh);
    connect(&store, &AnnotationStore::frameChanged, this, &EditorView::selectableTextRefresh);
    connect(&store, &AnnotationStore::watermarkChanged, this, &EditorView::selectableTextRefresh);
    if (hooks.selectableText) hooks.selectableText(*this);

    // A request raised before the page existed is honoured once it is up.
    QTimer::singleShot(0, this, [this] {
        if (m_store.isResizing()) present(Sheet::resize, true);
        if (m_store.isSharpening()) present(Sheet::sharpen, true);
    });
}

EditorView::~EditorView() = default;

void EditorView::zoomToFit()
{
    m_zoom.zoomToFit(m_store);
}

void EditorView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        emit selectableTextRefresh();
    }
}

void EditorView::settingChanged(const QString& key)
{
    if (key == keys::showOptionsBar) {
        updateOptionsBar();
    } else if (key == keys::selectableTextEnabled) {
        const bool enabled =
            platform::Defaults::standard().getOrDefault(keys::selectableTextEnabled);
        if (enabled == m_selectableText) return;
        m_selectableText = enabled;
        if (!enabled) emit selectableTextRefresh();
        emit selectableTextEnabledChanged(enabled);
    }
}

void EditorView::updateOptionsBar()
{
    m_optionsBar->setVisible(platform::Defaults::standard().getOrDefault(keys::showOptionsBar));
}

bool EditorView::isEditingText() const
{
    const FramedCanvas* framed = m_canvasArea->framedCanvas();
    if (framed->canvas()->inlineTextField() && framed->canvas()->inlineTextField()->isVisible())
        return true;
    QWidget* focused = QApplication::focusWidget();
    return focused && isAncestorOf(focused) && takesTypedText(focused);
}

bool EditorView::takesTypedText(const QWidget* widget)
{
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QTextEdit*>(widget) ||
           qobject_cast<const QPlainTextEdit*>(widget) ||
           qobject_cast<const QAbstractSpinBox*>(widget);
}

void EditorView::deleteSelection()
{
    if (!m_store.selectedID() || isEditingText()) return;
    m_store.deleteSelected();
}

void EditorView::setShowsShortcuts(bool shows)
{
    if (shows == m_showsShortcuts) return;
    m_showsShortcuts = shows;
    present(Sheet::shortcuts, shows);
}

void EditorView::present(Sheet sheet, bool requested)
{
    QPointer<QDialog>& open = m_sheets[size_t(sheet)];
    if (!requested) {
        // The request was withdrawn elsewhere: the sheet goes with it.
        if (open) open->reject();
        return;
    }
    if (open) return;
    QDialog* dialog = nullptr;
    switch (sheet) {
    case Sheet::resize:
        dialog = new ResizeView(m_store, this);
        break;
    case Sheet::sharpen:
        dialog = new SharpenView(m_store, this);
        break;
    case Sheet::shortcuts:
        dialog = new KeyboardShortcutsSheet(this);
        break;
    }
    open = dialog;
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    connect(dialog, &QDialog::finished, this, [this, sheet, dialog] {
        QPointer<QDialog>& slot = m_sheets[size_t(sheet)];
        if (slot == dialog) slot = nullptr;
        dialog->deleteLater();
        // The resize and sharpen sheets clear the store's request themselves.
        if (sheet == Sheet::shortcuts) setShowsShortcuts(false);
    });
    dialog->open();
}

} // namespace snapkin
