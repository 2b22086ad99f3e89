#include "editor/EditorToolbar.h"

#include "editor/CollageService.h"
#include "editor/EditorCommands.h"
#include "editor/EditorToolbarItems.h"
#include "editor/EditorView.h"
#include "editor/EditorZoom.h"
#include "editor/SaveSplitButton.h"
#include "editor/SheetStyle.h"
#include "editor/ToolbarCustomizeDialog.h"
#include "model/AnnotationStore.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"
#include "platform/Symbols.h"
#include "ui/platform/Announcer.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QActionGroup>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

namespace snapkin {

using platform::L10n;

namespace {

int g_copiedFeedbackMs = 1400;

constexpr const char* thumbnailName = "dragThumbnail";

// The drag thumbnail is a picture to assistive technology, named "Drag to share".
QAccessibleInterface* thumbnailFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("QWidget") &&
        object->objectName() == QLatin1String(thumbnailName) && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Graphic);
    return nullptr;
}

} // namespace

// The base image in small, to drag the finished image out of the editor. It never shows the
// annotations: the flattened image is made only when a drag starts.
class EditorToolbar::Thumbnail : public QWidget {
public:
    static constexpr QSize imageSize{36, 24};

    Thumbnail(EditorToolbar* toolbar, AnnotationStore& store)
        : QWidget(toolbar), m_toolbar(toolbar), m_store(store)
    {
        [[maybe_unused]] static const bool accessible = [] {
            QAccessible::installFactory(thumbnailFactory);
            return true;
        }();
        setObjectName(QLatin1String(thumbnailName));
        setFixedSize(imageSize.width() + 8, 28);
        setToolTip(L10n::text("Drag to share"));
        setAccessibleName(L10n::text("Drag to share"));
        setCursor(Qt::OpenHandCursor);
        connect(&store, &AnnotationStore::imageChanged, this, [this] { update(); });
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QRectF box(4, (height() - imageSize.height()) / 2.0, imageSize.width(),
                         imageSize.height());
        QPainterPath rounded;
        rounded.addRoundedRect(box, 5, 5);
        painter.save();
        painter.setClipPath(rounded);
        const QImage& small = scaledImage(devicePixelRatioF());
        if (!small.isNull()) {
            // Aspect fill: the image covers the box and is cut at its sides.
            const QSizeF size = QSizeF(small.size()) / small.devicePixelRatio();
            painter.drawImage(
                QPointF(box.center().x() - size.width() / 2, box.center().y() - size.height() / 2),
                small);
        }
        painter.restore();
        painter.setPen(QPen(sheetstyle::faded(this, 0.2), 1));
        painter.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 4.5, 4.5);
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton) m_pressAt = event->position().toPoint();
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!(event->buttons() & Qt::LeftButton) || !m_pressAt) return;
        if ((event->position().toPoint() - *m_pressAt).manhattanLength() <
            QApplication::startDragDistance())
            return;
        m_pressAt.reset();
        m_toolbar->startDrag(this);
    }
    void mouseReleaseEvent(QMouseEvent*) override { m_pressAt.reset(); }

private:
    // Scaled once per image and screen density, with medium (smooth) interpolation.
    const QImage& scaledImage(qreal dpr)
    {
        const platform::BaseImage& image = m_store.image();
        if (image.isNull()) {
            m_small = {};
            return m_small;
        }
        if (m_serial == image.serial() && m_dpr == dpr) return m_small;
        const QSize target = (QSizeF(imageSize) * dpr).toSize();
        m_small =
            image.image().scaled(target, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
        m_small.setDevicePixelRatio(dpr);
        m_serial = image.serial();
        m_dpr = dpr;
        return m_small;
    }

    EditorToolbar* m_toolbar;
    AnnotationStore& m_store;
    std::optional<QPoint> m_pressAt;
    QImage m_small;
    std::uint64_t m_serial = 0;
    qreal m_dpr = 0;
};

void EditorToolbar::setCopiedFeedbackMilliseconds(int milliseconds)
{
    g_copiedFeedbackMs = milliseconds;
}

EditorToolbar::EditorToolbar(AnnotationStore& store, EditorZoom& zoom, ExportDialogs& exports,
                             EditorViewHooks hooks, QWidget* parent)
    : QToolBar(parent), m_store(store), m_zoom(zoom),
      m_routes(EditorToolbarRoutes::standard(exports, hooks.editors)), m_hooks(std::move(hooks))
{
    setObjectName("editor");
    setMovable(false);
    setFloatable(false);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setIconSize(QSize(18, 18));
    setFixedHeight(EditorView::toolbarAreaHeight - 1);
    setContextMenuPolicy(Qt::DefaultContextMenu);

    m_enableRefresh.setSingleShot(true);
    connect(&m_enableRefresh, &QTimer::timeout, this, &EditorToolbar::updateEnabled);
    connect(&store, &AnnotationStore::willChange, &m_enableRefresh, qOverload<>(&QTimer::start));
    connect(&platform::Defaults::standard(), &platform::Defaults::valueChanged, this,
            [this](const QString& key) {
                if (key == keys::editorToolbarItems)
                    rebuild();
                else if (key == keys::exportFormat)
                    updateFormat();
                else if (key == keys::selectableTextEnabled)
                    updateEnabled();
            });
    rebuild();
}

EditorToolbar::~EditorToolbar() = default;

QWidget* EditorToolbar::itemWidget(const QString& identifier) const
{
    QAction* action = item(identifier);
    return action ? widgetForAction(action) : nullptr;
}

SaveSplitButton* EditorToolbar::saveButton() const
{
    return qobject_cast<SaveSplitButton*>(itemWidget("save"));
}

void EditorToolbar::rebuild()
{
    const QList<QAction*> old = actions();
    for (QAction* action : old) {
        removeAction(action);
        delete action; // a widget action takes its widget with it
    }
    m_items.clear();
    m_formatActions.clear();

    m_shown = EditorToolbarItems::arrangement(platform::Defaults::standard());
    // The leading group first, then a flexible space, then the rest, each in the user's order.
    QStringList leading, trailing;
    for (const QString& id : m_shown)
        (EditorToolbarItems::find(id)->group == 1 ? leading : trailing) << id;
    for (const QString& id : leading)
        m_items.insert(id, makeItem(id));
    auto* spacer = new QWidget(this);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    addWidget(spacer);
    for (const QString& id : trailing)
        m_items.insert(id, makeItem(id));
    updateEnabled();
    updateFormat();
    setJustCopied(m_justCopied);
}

QAction* EditorToolbar::makeItem(const QString& id)
{
    const EditorToolbarItem spec = *EditorToolbarItems::find(id);
    const QString title = L10n::text(spec.title);
    const QString help = L10n::text(spec.help);

    if (id == "newCapture") {
        auto* button = new QToolButton(this);
        button->setIcon(platform::Symbols::icon(spec.symbol));
        button->setText(title);
        button->setToolTip(help);
        button->setAccessibleName(title);
        button->setAutoRaise(true);
        button->setPopupMode(QToolButton::InstantPopup);
        auto* menu = new QMenu(button);
        const auto captureEntry = [&](const char* text, const char* symbol,
                                      EditorViewHooks::CaptureKind kind) {
            QAction* entry = menu->addAction(platform::Symbols::icon(symbol), L10n::text(text));
            entry->setEnabled(bool(m_hooks.capture));
            connect(entry, &QAction::triggered, this, [this, kind] {
                if (m_hooks.capture) m_hooks.capture(kind);
            });
        };
        captureEntry("Capture Region", "selection.pin.in.out",
                     EditorViewHooks::CaptureKind::region);
        captureEntry("Capture Window", "macwindow", EditorViewHooks::CaptureKind::window);
        captureEntry("Full Screen", "rectangle.inset.filled",
                     EditorViewHooks::CaptureKind::fullScreen);
        menu->addSeparator();
        QAction* open =
            menu->addAction(platform::Symbols::icon("folder"), L10n::text("Open Image…"));
        open->setEnabled(bool(m_hooks.openImage));
        connect(open, &QAction::triggered, this, [this] {
            if (m_hooks.openImage) m_hooks.openImage();
        });
        QAction* blank =
            menu->addAction(platform::Symbols::icon("doc"), L10n::text("Blank Canvas"));
        connect(blank, &QAction::triggered, this, [this] {
            if (m_routes.openBlank) m_routes.openBlank();
        });
        QMenu* collage =
            menu->addMenu(platform::Symbols::icon("square.grid.2x2"), L10n::text("New Collage…"));
        const auto collageEntry = [&](const char* text, CollageLayout layout) {
            connect(collage->addAction(L10n::text(text)), &QAction::triggered, this,
                    [this, layout] {
                        if (m_hooks.editors)
                            CollageService::createFromPanel(*m_hooks.editors, layout, window());
                    });
        };
        collageEntry("Side by side", CollageLayout::sideBySide);
        collageEntry("Stacked", CollageLayout::stacked);
        button->setMenu(menu);
        return addWidget(button);
    }
    if (id == "save") {
        auto* save = new SaveSplitButton(this);
        save->saveButton()->setIcon(platform::Symbols::icon(spec.symbol));
        save->saveButton()->setToolButtonStyle(Qt::ToolButtonIconOnly);
        connect(save, &SaveSplitButton::saveRequested, this, [this] { saveImage(std::nullopt); });
        // One format among others: an exclusive group, which the menu marks with radio marks.
        auto* formats = new QActionGroup(save->formatMenu());
        formats->setExclusive(true);
        for (ExportFormat format : allExportFormats) {
            QAction* entry = save->formatMenu()->addAction(label(format));
            entry->setCheckable(true);
            formats->addAction(entry);
            connect(entry, &QAction::triggered, this, [this, format] { saveImage(format); });
            m_formatActions.append(entry);
        }
        connect(save->formatMenu(), &QMenu::aboutToShow, this, &EditorToolbar::updateFormat);
        return addWidget(save);
    }
    if (id == "dragThumbnail") return addWidget(new Thumbnail(this, m_store));

    auto* action = new QAction(platform::Symbols::icon(spec.symbol), title, this);
    action->setToolTip(help);
    addAction(action);
    if (QWidget* button = widgetForAction(action)) button->setAccessibleName(title);
    if (id == "liveText") {
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [](bool on) {
            platform::Defaults::standard().set(keys::selectableTextEnabled, on);
        });
        return action;
    }
    const QHash<QString, std::function<void()>> commands{
        {"undo", [this] { m_store.undo(); }},
        {"redo", [this] { m_store.redo(); }},
        {"delete", [this] { m_store.deleteSelected(); }},
        {"zoomOut", [this] { m_zoom.zoomOut(); }},
        {"zoomIn", [this] { m_zoom.zoomIn(); }},
        {"zoomToFit", [this] { m_zoom.zoomToFit(m_store); }},
        {"copyText",
         [this] {
             if (m_hooks.copyText) m_hooks.copyText(m_store, window());
         }},
        {"resize", [this] { editorcommands::resizeImage(m_store); }},
        {"copy", [this] { copyImage(); }},
        {"share", [this] { shareImage(); }},
    };
    connect(action, &QAction::triggered, this, commands.value(id));
    return action;
}

void EditorToolbar::updateEnabled()
{
    if (QAction* undo = item("undo")) undo->setEnabled(m_store.canUndo());
    if (QAction* redo = item("redo")) redo->setEnabled(m_store.canRedo());
    if (QAction* del = item("delete")) del->setEnabled(m_store.selectedID().has_value());
    if (QAction* copyText = item("copyText")) copyText->setEnabled(bool(m_hooks.copyText));
    if (QAction* live = item("liveText")) {
        live->setChecked(platform::Defaults::standard().getOrDefault(keys::selectableTextEnabled));
    }
}

void EditorToolbar::updateFormat()
{
    const ExportFormat current = storedExportFormat(platform::Defaults::standard());
    if (SaveSplitButton* save = saveButton()) {
        // "Save (.jpg)" for the stored format.
        const QString help = L10n::format("%@ (.%@)", L10n::text("Save"), ext(current));
        save->saveButton()->setToolTip(help);
        save->saveButton()->setAccessibleName(help);
    }
    for (qsizetype i = 0; i < m_formatActions.size(); ++i)
        m_formatActions[i]->setChecked(allExportFormats[size_t(i)] == current);
}

void EditorToolbar::setJustCopied(bool copied)
{
    m_justCopied = copied;
    if (QAction* copy = item("copy"))
        copy->setIcon(platform::Symbols::icon(copied ? "checkmark" : "doc.on.doc"));
}

void EditorToolbar::copyImage()
{
    const std::optional<QImage> image = m_routes.flatten(m_store, window());
    if (!image) return;
    if (!m_routes.copy || !m_routes.copy(*image)) {
        // Nothing reached the clipboard: the document stays unsaved and the user is told.
        sheetstyle::openWarning(
            window(), L10n::text("Couldn't copy the image"),
            L10n::text("The image couldn't be put on the clipboard. Your work is still open — "
                       "try again, or save it instead."));
        return;
    }
    m_store.markExported();
    setJustCopied(true);
    platform::Announcer::shared().announce(L10n::text("Copied to clipboard"));
    // Each copy clears the checkmark on its own timer; a later one does not extend it.
    QTimer::singleShot(g_copiedFeedbackMs, this, [this] { setJustCopied(false); });
}

void EditorToolbar::saveImage(std::optional<ExportFormat> chosen)
{
    // A format chosen in the menu becomes the default first, so it is kept even when the
    // dialog is cancelled.
    if (chosen) platform::Defaults::standard().set(keys::exportFormat, toRaw(*chosen));
    const ExportFormat format =
        chosen ? *chosen : storedExportFormat(platform::Defaults::standard());
    if (m_routes.save && m_routes.save(format, m_store, window())) m_store.markExported();
}

void EditorToolbar::shareImage()
{
    const std::optional<QImage> image = m_routes.flatten(m_store, window());
    if (image && m_routes.share) m_routes.share(*image, m_store, itemWidget("share"));
}

void EditorToolbar::startDrag(Thumbnail* source)
{
    const std::optional<QImage> image = m_routes.flatten(m_store, window());
    QMimeData* data = image && m_routes.dragData ? m_routes.dragData(*image) : nullptr;
    auto* drag = new QDrag(source);
    drag->setMimeData(data ? data : new QMimeData);
    if (image) {
        drag->setPixmap(
            QPixmap::fromImage(image->scaled(QSize(96, 96) * source->devicePixelRatioF(),
                                             Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    }
    drag->exec(Qt::CopyAction);
}

void EditorToolbar::openCustomizeDialog()
{
    auto* dialog = new ToolbarCustomizeDialog(window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->open();
}

void EditorToolbar::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    connect(menu.addAction(L10n::text("Customize Toolbar…")), &QAction::triggered, this,
            &EditorToolbar::openCustomizeDialog);
    menu.exec(event->globalPos());
}

} // namespace snapkin
