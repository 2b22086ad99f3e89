#include "editor/ToolSidebar.h"

#include "editor/EditorShortcuts.h"
#include "editor/IconButton.h"
#include "editor/SheetStyle.h"
#include "model/AnnotationStore.h"
#include "model/Color.h"
#include "model/ColorName.h"
#include "platform/L10n.h"
#include "platform/Observable.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFrame>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace snapkin {

namespace {

// Lets assistive technology read the swatch's colour name as its value.
class SwatchAccessible : public QAccessibleWidget {
public:
    explicit SwatchAccessible(ColorSwatch* swatch) : QAccessibleWidget(swatch, QAccessible::Graphic)
    {
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value) return static_cast<ColorSwatch*>(widget())->colorName();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* swatchFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("snapkin::ColorSwatch") && object && object->isWidgetType())
        return new SwatchAccessible(static_cast<ColorSwatch*>(object));
    return nullptr;
}

} // namespace

ColorSwatch::ColorSwatch(QWidget* parent) : QWidget(parent)
{
    [[maybe_unused]] static const bool installed = [] {
        QAccessible::installFactory(swatchFactory);
        return true;
    }();
    setFixedSize(diameter, diameter);
    setAccessibleName(platform::L10n::text("Current color"));
}

void ColorSwatch::setColorHex(const QString& hex)
{
    if (hex == m_hex) return;
    m_hex = hex;
    update();
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, colorName());
        QAccessible::updateAccessibility(&event);
    }
}

QString ColorSwatch::colorName() const
{
    return ColorName::of(m_hex);
}

void ColorSwatch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF circle = QRectF(rect());
    QPainterPath disc;
    disc.addEllipse(circle);
    painter.fillPath(disc, Color::fromHex(m_hex));
    // Both rings are stroked inside the edge: a window-coloured ring, then a faint outline.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(palette().color(QPalette::Window), 2));
    painter.drawEllipse(circle.adjusted(1, 1, -1, -1));
    painter.setPen(QPen(sheetstyle::faded(this, 0.25), 1));
    painter.drawEllipse(circle.adjusted(0.5, 0.5, -0.5, -0.5));
}

QList<QList<Tool>> ToolSidebar::displayGroups()
{
    QList<QList<Tool>> groups{
        {Tool::select},
        {Tool::arrow, Tool::rectangle, Tool::ellipse, Tool::line, Tool::highlight, Tool::pen},
        {Tool::text, Tool::stamp, Tool::sticker},
        {Tool::pixelate, Tool::spotlight, Tool::magnifier},
        {Tool::imageOverlay, Tool::crop, Tool::frame},
    };
    QList<Tool> rest;
    for (Tool tool : EnumTable<Tool>::cases) {
        const bool placed = std::any_of(groups.cbegin(), groups.cend(),
                                        [tool](const QList<Tool>& g) { return g.contains(tool); });
        if (!placed) rest.append(tool);
    }
    if (!rest.isEmpty()) groups.append(rest);
    return groups;
}

bool ToolSidebar::isDarkAppearance(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

QString ToolSidebar::helpText(Tool tool)
{
    return label(tool) + QStringLiteral(" (") + keyText(toolKey(tool)) + QLatin1Char(')');
}

ToolSidebar::ToolSidebar(AnnotationStore& store, QWidget* parent) : QWidget(parent), m_store(store)
{
    setFixedWidth(sidebarWidth);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setWidgetResizable(true);
    m_scroll->viewport()->setAutoFillBackground(false);
    // A slim bar, so the column keeps its width when the window is too short for it.
    m_scroll->verticalScrollBar()->setStyleSheet(
        "QScrollBar:vertical { width: 6px; background: transparent; margin: 0px; }"
        "QScrollBar::handle:vertical { background: rgba(128, 128, 128, 0.5);"
        " border-radius: 3px; min-height: 24px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0px; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }");

    auto* column = new QWidget;
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 10, 0, 10);
    layout->setSpacing(4);

    const QList<QList<Tool>> groups = displayGroups();
    for (qsizetype g = 0; g < groups.size(); ++g) {
        if (g > 0) {
            QFrame* divider = sheetstyle::rule(Qt::Horizontal, column);
            divider->setFixedWidth(dividerWidth);
            divider->setAccessibleName(QString());
            divider->setFocusPolicy(Qt::NoFocus);
            // 3 points above and below, on top of the column's spacing.
            layout->addSpacing(3);
            layout->addWidget(divider, 0, Qt::AlignHCenter);
            layout->addSpacing(3);
            m_dividers.append(divider);
        }
        for (Tool tool : groups[g]) {
            auto* button = new IconButton(sfSymbol(tool), helpText(tool), buttonSize,
                                          HoverBackground::toolCornerRadius, column);
            button->setSymbolSize(16);
            button->setTintsWhenChecked(true);
            button->setCheckable(true);
            // The accessible name is the label alone; the letter is in the tooltip.
            button->setAccessibleName(label(tool));
            connect(button, &QToolButton::clicked, this, [this, tool] {
                m_store.activate(tool);
                // Re-clicking the current tool unchecks the button; the store's tool decides.
                showTool(m_store.tool());
            });
            layout->addWidget(button, 0, Qt::AlignHCenter);
            m_buttons[tool] = button;
        }
    }
    layout->addStretch(1);
    m_scroll->setWidget(column);
    outer->addWidget(m_scroll, 1);
    outer->addWidget(sheetstyle::rule(Qt::Horizontal, this));

    m_swatch = new ColorSwatch(this);
    outer->addSpacing(8);
    outer->addWidget(m_swatch, 0, Qt::AlignHCenter);
    outer->addSpacing(8);

    updateSymbols();
    // Published before stored: the handlers use the new value they are given.
    platform::subscribe(&m_store, &AnnotationStore::tool, &AnnotationStore::toolChanged, this,
                        [this](const Tool& tool) { showTool(tool); });
    platform::subscribe(&m_store, &AnnotationStore::colorHex, &AnnotationStore::colorHexChanged,
                        this, [this](const QString& hex) { m_swatch->setColorHex(hex); });
}

IconButton* ToolSidebar::button(Tool tool) const
{
    const auto it = m_buttons.find(tool);
    return it == m_buttons.end() ? nullptr : it->second;
}

void ToolSidebar::showTool(Tool current)
{
    for (const auto& [tool, button] : m_buttons)
        button->setChecked(tool == current);
}

void ToolSidebar::updateSymbols()
{
    const bool dark = isDarkAppearance(palette());
    for (const auto& [tool, button] : m_buttons)
        button->setSymbol(outlineSymbol(tool, dark));
}

void ToolSidebar::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange) updateSymbols();
    QWidget::changeEvent(event);
}

} // namespace snapkin
