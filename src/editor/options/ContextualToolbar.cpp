#include "editor/options/ContextualToolbar.h"

#include "editor/options/FrameOptionsBar.h"
#include "editor/options/FrameSwatches.h"
#include "editor/options/OptionControls.h"
#include "editor/options/StyleGroup.h"
#include "model/AnnotationStore.h"
#include "output/FrameSettings.h"
#include "platform/L10n.h"

#include <QEvent>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>

namespace snapkin {

namespace {

constexpr std::array densities{OptionsDensity::full, OptionsDensity::compact,
                               OptionsDensity::overflow};

// A hint in the callout font and the secondary text colour.
QLabel* hint(const QString& text, QWidget* parent)
{
    return secondaryLabel(text, -0.5, parent);
}

// Hands every change of the document's frame and watermark to the settings for new captures,
// while the frame tool's bar is shown. Only changes count: being created writes nothing.
// While the options bar is switched off in the settings, the frame bar is not shown and
// nothing is remembered.
class FrameRemembering : public QObject {
public:
    FrameRemembering(AnnotationStore& store, QWidget* bar) : QObject(bar)
    {
        connect(&store, &AnnotationStore::frameChanged, this,
                [bar](const std::optional<FrameStyle>& frame) {
                    if (bar->isVisibleTo(bar->window())) FrameSettings::remember(frame);
                });
        connect(&store, &AnnotationStore::watermarkChanged, this,
                [bar](const std::optional<Watermark>& watermark) {
                    if (bar->isVisibleTo(bar->window())) FrameSettings::remember(watermark);
                });
    }
};

} // namespace

ContextualToolbar::ContextualToolbar(AnnotationStore& store, SavedStyles& library, QWidget* parent)
    : ContextualToolbar(store, OptionGroups::standard(library), parent)
{
}

ContextualToolbar::ContextualToolbar(AnnotationStore& store, OptionGroups groups, QWidget* parent)
    : QWidget(parent), m_store(store), m_groups(std::move(groups))
{
    setFixedHeight(barHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);

    // The rows are placed by hand, not by a layout: a row that does not fit must not hold
    // the window wider than the user made it.
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setWidgetResizable(false);
    m_scroll->setFixedHeight(barHeight);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_scroll->setAutoFillBackground(false);
    m_scroll->hide();

    const auto later = [this] {
        // The store signals before it stores the new value: look once it has.
        QMetaObject::invokeMethod(this, &ContextualToolbar::refresh, Qt::QueuedConnection);
    };
    connect(&store, &AnnotationStore::toolChanged, this, later);
    connect(&store, &AnnotationStore::selectedIDChanged, this, later);
    connect(&store, &AnnotationStore::annotationsChanged, this, later);
    connect(&store, &AnnotationStore::isCroppingChanged, this, later);
    refresh();
}

std::optional<Tool> ContextualToolbar::optionsTool(const AnnotationStore& store)
{
    if (store.tool() != Tool::select) return store.tool();
    const std::optional<Annotation> selected = store.selected();
    if (!selected) return std::nullopt;
    for (const Tool tool : EnumTable<Tool>::cases) {
        if (annotationKind(tool) == selected->kind) return tool;
    }
    return std::nullopt;
}

const QStringList& ContextualToolbar::palette()
{
    return StyleGroup::palette();
}

ContextualToolbar::Content ContextualToolbar::currentContent() const
{
    Content content;
    content.cropping = m_store.isCropping();
    if (!content.cropping) {
        content.tool = optionsTool(m_store);
        content.imageToolActive =
            content.tool == Tool::imageOverlay && m_store.tool() == Tool::imageOverlay;
    }
    return content;
}

void ContextualToolbar::refresh()
{
    const Content content = currentContent();
    if (m_content == content) return;
    m_content = content;
    rebuild();
}

void ContextualToolbar::rebuild()
{
    for (QWidget*& row : m_rows) {
        if (!row) continue;
        // A control of the old row may be the sender that got us here: let it finish first.
        // Its windows (popovers, colour dialogs) go at once, so nothing more reaches the store
        // through them.
        for (FrameSwatches* swatches : row->findChildren<FrameSwatches*>())
            swatches->closeColorDialog();
        for (QWidget* child : row->findChildren<QWidget*>()) {
            if (child->isWindow()) child->close();
        }
        row->removeEventFilter(this);
        row->hide();
        row->deleteLater();
        row = nullptr;
    }
    if (m_scroll->widget()) m_scroll->takeWidget();
    delete m_remembering;
    m_remembering = nullptr;

    if (!m_content->cropping && m_content->tool == Tool::frame)
        m_remembering = new FrameRemembering(m_store, this);
    for (const Density density : densities) {
        QWidget* row = buildRow(density);
        m_rows[index(density)] = row;
        row->installEventFilter(this);
        row->hide();
        if (density == Density::overflow) m_scroll->setWidget(row);
    }
    chooseDensity();
}

QWidget* ContextualToolbar::buildRow(Density density)
{
    auto* row = new QWidget(this);
    row->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* layout = rowLayout(row, itemSpacing);
    if (QWidget* group = buildGroup(density, row)) layout->addWidget(group, 0, Qt::AlignVCenter);
    row->setFixedHeight(barHeight);
    return row;
}

QWidget* ContextualToolbar::buildGroup(Density density, QWidget* parent)
{
    const Content& content = *m_content;
    if (content.cropping) {
        const OptionGroupFactory& crop = m_groups.crop;
        return crop ? crop(m_store, density, parent) : nullptr;
    }
    if (!content.tool) {
        if (density != Density::full) return nullptr;
        return hint(platform::L10n::text("Select an item to edit it"), parent);
    }
    switch (*content.tool) {
    case Tool::frame:
        return new FrameOptionsBar(m_store, density, parent);
    case Tool::imageOverlay:
        if (!content.imageToolActive || density != Density::full) return nullptr;
        return hint(platform::L10n::text("Click to place an image"), parent);
    default: {
        const OptionGroupFactory& factory = m_groups.factory(*content.tool);
        return factory ? factory(m_store, density, parent) : nullptr;
    }
    }
}

void ContextualToolbar::chooseDensity()
{
    m_choicePending = false;
    if (!m_rows[0]) return;
    const int available = width() - 2 * sidePadding;
    Density chosen = Density::overflow;
    for (const Density density : densities) {
        if (m_rows[index(density)]->sizeHint().width() <= available) {
            chosen = density;
            break;
        }
    }
    QWidget* overflow = m_rows[index(Density::overflow)];
    const QSize overflowSize(overflow->sizeHint().width(), barHeight);
    m_scrolling = overflowSize.width() > available;
    m_density = chosen;
    for (const Density density : {Density::full, Density::compact}) {
        QWidget* row = m_rows[index(density)];
        if (density == chosen) {
            row->setGeometry(sidePadding, 0, row->sizeHint().width(), barHeight);
            row->show();
        } else {
            row->hide();
        }
    }
    if (chosen == Density::overflow) {
        overflow->resize(overflowSize);
        overflow->show();
        m_scroll->setGeometry(sidePadding, 0,
                              std::max(0, std::min(overflowSize.width(), available)), barHeight);
        m_scroll->show();
        if (!m_scrolling) m_scroll->horizontalScrollBar()->setValue(0);
    } else {
        m_scroll->hide();
    }
}

void ContextualToolbar::scheduleChoice()
{
    if (m_choicePending) return;
    m_choicePending = true;
    QMetaObject::invokeMethod(this, &ContextualToolbar::chooseDensity, Qt::QueuedConnection);
}

bool ContextualToolbar::eventFilter(QObject* watched, QEvent* event)
{
    // A row whose controls changed size (a longer label) may no longer fit, or fit again.
    if (event->type() == QEvent::LayoutRequest) scheduleChoice();
    return QWidget::eventFilter(watched, event);
}

void ContextualToolbar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    chooseDensity();
}

} // namespace snapkin
