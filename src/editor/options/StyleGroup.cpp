#include "editor/options/StyleGroup.h"

#include "editor/options/AnnotationExtrasOptions.h"
#include "editor/options/OptionControls.h"
#include "editor/options/OptionSlider.h"
#include "editor/options/SavedStyleMenu.h"
#include "editor/options/ShownStyle.h"
#include "model/AnnotationStore.h"
#include "model/Color.h"
#include "model/ColorName.h"
#include "model/SavedStyles.h"
#include "platform/L10n.h"

#include <QFontComboBox>
#include <QFontDatabase>
#include <QMenu>
#include <QPainter>
#include <QSignalBlocker>
#include <QToolButton>

#include <cmath>

namespace snapkin {

namespace {

using platform::L10n;

// The kinds whose tools have a style group.
bool kindHasStyle(AnnotationKind kind)
{
    switch (kind) {
    case AnnotationKind::arrow:
    case AnnotationKind::text:
    case AnnotationKind::rectangle:
    case AnnotationKind::ellipse:
    case AnnotationKind::line:
    case AnnotationKind::highlight:
    case AnnotationKind::stamp:
    case AnnotationKind::pen:
    case AnnotationKind::magnifier:
        return true;
    default:
        return false;
    }
}

// New highlights always take the highlighter's colour.
bool kindUsesColor(AnnotationKind kind)
{
    return kindHasStyle(kind) && kind != AnnotationKind::highlight;
}

bool kindUsesWidth(AnnotationKind kind)
{
    switch (kind) {
    case AnnotationKind::arrow:
    case AnnotationKind::rectangle:
    case AnnotationKind::ellipse:
    case AnnotationKind::line:
    case AnnotationKind::pen:
        return true;
    default:
        return false;
    }
}

// The glyph of each stamp kind, by its value.
constexpr std::array stampSymbols{"checkmark", "xmark",       "exclamationmark", "questionmark",
                                  "star.fill", "circle.fill", "number"};
static_assert(stampSymbols.size() == EnumTable<StampKind>::cases.size());

// Widths and text sizes in image pixels, as everywhere else in the application.
QString pixels(double value)
{
    return L10n::format("%@ px", value);
}

// A line-width preset: a round dot as thick as the width, scaled to fit the button.
class WidthButton : public OptionButton {
public:
    WidthButton(double width, QWidget* parent)
        : OptionButton(QString(), pixels(width), parent), m_width(width)
    {
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        background().paint(painter, QRectF(rect()));
        const double diameter = std::clamp(2 + std::sqrt(m_width) * 2.6, 3.0, 15.0);
        painter.setPen(Qt::NoPen);
        painter.setBrush(symbolColor());
        painter.drawEllipse(QRectF(rect()).center(), diameter / 2, diameter / 2);
    }

private:
    double m_width;
};

// A pull-down of pixel sizes, each item choosing its size through `choose`.
QToolButton* sizeMenu(const QString& help, const auto& sizes, std::function<void(int)> choose,
                      QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    button->setToolTip(help);
    button->setAccessibleName(help);
    auto* menu = new QMenu(button);
    for (const int size : sizes) {
        QAction* item = menu->addAction(pixels(size));
        item->setCheckable(true);
        item->setData(size);
        QObject::connect(item, &QAction::triggered, parent, [choose, size] { choose(size); });
    }
    button->setMenu(menu);
    return button;
}

// Titles a size pull-down with `size` and checks the item of that size.
void showSize(QToolButton* button, double size)
{
    button->setText(pixels(size));
    for (QAction* item : button->menu()->actions())
        item->setChecked(item->data().toInt() == size);
}

} // namespace

// ---- swatch ------------------------------------------------------------------------------

StyleSwatch::StyleSwatch(const QString& hex, const QString& label, bool well, QWidget* parent)
    : StateButton(parent), m_hex(hex), m_well(well)
{
    makeChoice(*this, label, {side, side});
    setCursor(Qt::PointingHandCursor);
}

void StyleSwatch::setHex(const QString& hex)
{
    if (hex == m_hex) return;
    m_hex = hex;
    update();
}

void StyleSwatch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(3, 3, -3, -3);
    if (m_well) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(colorWheel(area.center()));
        painter.drawEllipse(area);
        painter.setBrush(Color::fromHex(m_hex));
        painter.setPen(QPen(Qt::white, 1.2));
        painter.drawEllipse(area.adjusted(4, 4, -4, -4));
    } else {
        painter.setBrush(Color::fromHex(m_hex));
        QColor outline(142, 142, 147);
        outline.setAlphaF(0.5f);
        painter.setPen(QPen(outline, 1));
        painter.drawEllipse(area.adjusted(0.5, 0.5, -0.5, -0.5));
    }
    painter.setBrush(Qt::NoBrush);
    if (isChecked()) {
        painter.setPen(QPen(Color::brand(), 2));
        painter.drawEllipse(QRectF(rect()).adjusted(1, 1, -1, -1));
    } else if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
        painter.drawEllipse(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
}

// ---- group -------------------------------------------------------------------------------

const QStringList& StyleGroup::palette()
{
    static const QStringList colors{
        QStringLiteral("#FF3366"), QStringLiteral("#FF9500"), QStringLiteral("#FFD60A"),
        QStringLiteral("#34C759"), QStringLiteral("#2E7DF6"), QStringLiteral("#5E5CE6"),
        QStringLiteral("#AF52DE"), QStringLiteral("#1D1D1F"), QStringLiteral("#FFFFFF"),
    };
    return colors;
}

bool StyleGroup::hasGroup(Tool tool)
{
    const auto kind = annotationKind(tool);
    return kind && kindHasStyle(*kind);
}

bool StyleGroup::usesColor(Tool tool)
{
    const auto kind = annotationKind(tool);
    return kind && kindUsesColor(*kind);
}

bool StyleGroup::usesWidth(Tool tool)
{
    const auto kind = annotationKind(tool);
    return kind && kindUsesWidth(*kind);
}

StyleGroup::StyleGroup(AnnotationStore& store, Tool tool, OptionsDensity density,
                       SavedStyles& library, QWidget* parent)
    : QWidget(parent), m_store(&store), m_tool(tool), m_density(density)
{
    auto* row = rowLayout(this, 3);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    if (!hasGroup(tool)) return;

    const bool full = density == OptionsDensity::full;
    const bool overflow = density == OptionsDensity::overflow;
    if (usesColor(tool)) addColors(!overflow);
    if (usesWidth(tool)) addWidths(full);
    if (tool == Tool::arrow) addArrowControls(!overflow);
    if (tool == Tool::text) addTextControls(full);
    if (tool == Tool::rectangle || tool == Tool::ellipse) {
        divider();
        m_filled =
            new OptionButton(QStringLiteral("square.fill.on.square"), L10n::text("Filled"), this);
        row->addWidget(m_filled);
        connect(m_filled, &QAbstractButton::clicked, this, [this] {
            applying([this](AnnotationStore& s) {
                if (m_tool == Tool::ellipse)
                    s.setEllipseFilled(!s.ellipseFilled());
                else
                    s.setRectFilled(!s.rectFilled());
            });
        });
    }
    if (tool == Tool::highlight) addHighlightControls();
    if (tool == Tool::stamp && !overflow) addStampControls();
    if (AnnotationExtrasOptions::hasExtras(tool)) {
        divider();
        m_extras = new AnnotationExtrasOptions(store, tool, this);
        row->addWidget(m_extras);
    }
    if (SavedStyleMenu::hasMenu(tool)) {
        divider();
        m_styleMenu = new SavedStyleMenu(store, library, tool, this);
        row->addWidget(m_styleMenu);
    }
    buildMoreMenu();

    followStore(store, this, [this] { refresh(); });
}

void StyleGroup::divider()
{
    if (!m_anyControl) {
        m_anyControl = true;
        return;
    }
    layout()->addWidget(optionDivider(20, 4, this));
}

void StyleGroup::addColors(bool swatchesShown)
{
    divider();
    if (swatchesShown) {
        for (const QString& hex : palette()) {
            auto* swatch = new StyleSwatch(hex, ColorName::of(hex), false, this);
            m_swatches.append(swatch);
            layout()->addWidget(swatch);
            connect(swatch, &QAbstractButton::clicked, this, [this, hex] { chooseColor(hex); });
        }
    }
    m_well = new StyleSwatch(m_store->colorHex(), L10n::text("Custom color"), true, this);
    layout()->addWidget(m_well);
    connect(m_well, &QAbstractButton::clicked, this, &StyleGroup::openColorDialog);
}

void StyleGroup::addWidths(bool presetsShown)
{
    divider();
    if (presetsShown) {
        for (const double width : widths) {
            auto* button = new WidthButton(width, this);
            m_widthButtons.append(button);
            layout()->addWidget(button);
            connect(button, &QAbstractButton::clicked, this, [this, width] { chooseWidth(width); });
        }
    }
    m_widthMenu = sizeMenu(
        L10n::text("Line width"), widthChoices, [this](int width) { chooseWidth(width); }, this);
    layout()->addWidget(m_widthMenu);
}

void StyleGroup::addArrowControls(bool headsShown)
{
    divider();
    if (headsShown) {
        for (const ArrowHeadStyle style : EnumTable<ArrowHeadStyle>::cases) {
            auto* button =
                new OptionButton(QStringLiteral("arrowhead.") + toRaw(style), label(style), this);
            m_headButtons.append(button);
            layout()->addWidget(button);
            connect(button, &QAbstractButton::clicked, this, [this, style] {
                applying([style](AnnotationStore& s) { s.setArrowHead(style); });
            });
        }
    }
    m_doubleHead =
        new OptionButton(QStringLiteral("arrow.left.and.right"), L10n::text("Double-headed"), this);
    layout()->addWidget(m_doubleHead);
    connect(m_doubleHead, &QAbstractButton::clicked, this, [this] {
        applying([](AnnotationStore& s) { s.setArrowDoubleHeaded(!s.arrowDoubleHeaded()); });
    });
}

void StyleGroup::addTextControls(bool fontShown)
{
    divider();
    m_textSize = sizeMenu(
        L10n::text("Text size"), textSizes,
        [this](int size) { applying([size](AnnotationStore& s) { s.setTextSize(size); }); }, this);
    layout()->addWidget(m_textSize);
    m_bold = new OptionButton(QStringLiteral("bold"), L10n::text("Bold"), this);
    m_italic = new OptionButton(QStringLiteral("italic"), L10n::text("Italic"), this);
    layout()->addWidget(m_bold);
    layout()->addWidget(m_italic);
    connect(m_bold, &QAbstractButton::clicked, this,
            [this] { applying([](AnnotationStore& s) { s.setTextBold(!s.textBold()); }); });
    connect(m_italic, &QAbstractButton::clicked, this,
            [this] { applying([](AnnotationStore& s) { s.setTextItalic(!s.textItalic()); }); });
    if (fontShown) {
        m_fontBox = new QFontComboBox(this);
        m_fontBox->setFixedWidth(150);
        m_fontBox->setToolTip(L10n::text("Font"));
        m_fontBox->setAccessibleName(L10n::text("Font"));
        layout()->addWidget(m_fontBox);
        connect(m_fontBox, &QFontComboBox::activated, this, [this] {
            const QString family = m_fontBox->currentFont().family();
            applying([family](AnnotationStore& s) { s.setTextFont(family); });
        });
    }
}

void StyleGroup::addHighlightControls()
{
    divider();
    auto* opacity = new QWidget(this);
    opacity->setToolTip(L10n::text("Opacity"));
    auto* inner = rowLayout(opacity, 6);
    m_opacity = new OptionSlider(minHighlightOpacity, maxHighlightOpacity, opacity);
    m_opacity->setFixedWidth(90);
    m_opacity->setAccessibleName(L10n::text("Opacity"));
    inner->addWidget(m_opacity);
    m_opacityMenu =
        new PercentMenu(minHighlightOpacity, maxHighlightOpacity, L10n::text("Opacity"), opacity);
    inner->addWidget(m_opacityMenu);
    layout()->addWidget(opacity);

    const auto selectedHighlight = [this] {
        const auto selected = m_store ? m_store->selected() : std::nullopt;
        return selected && selected->kind == AnnotationKind::highlight;
    };
    m_opacity->onDragBegin = [this, selectedHighlight] {
        if (selectedHighlight()) m_store->beginChange();
    };
    m_opacity->onEdit = [this](double value, bool recordingUndo) {
        if (!m_store) return;
        m_store->setHighlightOpacity(value / 100);
        m_store->applyStyleToSelection(recordingUndo);
    };
    m_opacityMenu->onChoose = [this](int percent) {
        applying([percent](AnnotationStore& s) { s.setHighlightOpacity(percent / 100.0); });
    };
}

void StyleGroup::addStampControls()
{
    divider();
    for (const StampKind kind : EnumTable<StampKind>::cases) {
        auto* button = new OptionButton(QString::fromLatin1(stampSymbols[std::size_t(kind)]),
                                        label(kind), this);
        m_stampButtons.append(button);
        layout()->addWidget(button);
        connect(button, &QAbstractButton::clicked, this,
                [this, kind] { applying([kind](AnnotationStore& s) { s.setStampKind(kind); }); });
    }
}

void StyleGroup::buildMoreMenu()
{
    divider();
    m_more = new OptionButton(QStringLiteral("ellipsis.circle"), L10n::text("More Options"), this);
    m_more->setCheckable(false);
    m_more->setPopupMode(QToolButton::InstantPopup);
    m_more->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
    m_moreMenu = new QMenu(m_more);
    connect(m_moreMenu, &QMenu::aboutToShow, this, &StyleGroup::fillMoreMenu);
    m_more->setMenu(m_moreMenu);
    layout()->addWidget(m_more);
    fillMoreMenu();
}

void StyleGroup::fillMoreMenu()
{
    m_moreMenu->clear();
    if (!m_store) return;
    AnnotationStore& s = *m_store;
    const auto check = [](QAction* item, bool on) {
        item->setCheckable(true);
        item->setChecked(on);
        return item;
    };
    if (usesColor(m_tool)) {
        QMenu* colors = m_moreMenu->addMenu(L10n::text("Color"));
        for (const QString& hex : palette()) {
            QAction* item = check(colors->addAction(ColorName::of(hex)),
                                  hex.compare(s.colorHex(), Qt::CaseInsensitive) == 0);
            connect(item, &QAction::triggered, this, [this, hex] { chooseColor(hex); });
        }
        colors->addSeparator();
        connect(colors->addAction(L10n::text("Custom color…")), &QAction::triggered, this,
                &StyleGroup::openColorDialog);
    }
    if (usesWidth(m_tool)) {
        QMenu* widthMenu = m_moreMenu->addMenu(L10n::text("Line width"));
        for (const int width : widthChoices) {
            QAction* item = check(widthMenu->addAction(pixels(width)), s.lineWidth() == width);
            connect(item, &QAction::triggered, this, [this, width] { chooseWidth(width); });
        }
    }
    if (m_tool == Tool::arrow) {
        QMenu* heads = m_moreMenu->addMenu(L10n::text("Arrow head"));
        for (const ArrowHeadStyle style : EnumTable<ArrowHeadStyle>::cases) {
            QAction* item = check(heads->addAction(label(style)), s.arrowHead() == style);
            connect(item, &QAction::triggered, this, [this, style] {
                applying([style](AnnotationStore& st) { st.setArrowHead(style); });
            });
        }
        connect(check(m_moreMenu->addAction(L10n::text("Double-headed")), s.arrowDoubleHeaded()),
                &QAction::triggered, this, [this] {
                    applying([](AnnotationStore& st) {
                        st.setArrowDoubleHeaded(!st.arrowDoubleHeaded());
                    });
                });
    }
    if (m_tool == Tool::text) {
        QMenu* fonts = m_moreMenu->addMenu(L10n::text("Font"));
        const auto addFont = [&](const QString& title, const QString& family) {
            QAction* item = check(fonts->addAction(title), s.textFont() == family);
            connect(item, &QAction::triggered, this, [this, family] {
                applying([family](AnnotationStore& st) { st.setTextFont(family); });
            });
        };
        addFont(L10n::text("Default"), QString());
        fonts->addSeparator();
        for (const QString& family : QFontDatabase::families()) {
            if (!QFontDatabase::isPrivateFamily(family)) addFont(family, family);
        }
    }
    if (m_tool == Tool::stamp) {
        QMenu* stamps = m_moreMenu->addMenu(L10n::text("Stamp"));
        for (const StampKind kind : EnumTable<StampKind>::cases) {
            QAction* item = check(stamps->addAction(label(kind)), s.stampKind() == kind);
            connect(item, &QAction::triggered, this, [this, kind] {
                applying([kind](AnnotationStore& st) { st.setStampKind(kind); });
            });
        }
    }
    if (m_tool == Tool::rectangle || m_tool == Tool::ellipse) {
        const bool filled = m_tool == Tool::ellipse ? s.ellipseFilled() : s.rectFilled();
        connect(check(m_moreMenu->addAction(L10n::text("Filled")), filled), &QAction::triggered,
                this, [this] { m_filled->click(); });
    }
    if (m_tool == Tool::highlight) {
        QMenu* opacity = m_moreMenu->addMenu(L10n::text("Opacity"));
        for (QAction* item : m_opacityMenu->items()) {
            QAction* copy = check(opacity->addAction(item->text()), item->isChecked());
            connect(copy, &QAction::triggered, item, &QAction::trigger);
        }
    }
    m_more->setEnabled(!m_moreMenu->isEmpty());
}

void StyleGroup::applying(const std::function<void(AnnotationStore&)>& set)
{
    if (!m_store) return;
    set(*m_store);
    m_store->applyStyleToSelection(true);
    refresh();
}

void StyleGroup::chooseColor(const QString& hex, bool recordingUndo)
{
    if (!m_store) return;
    m_store->setColorHex(hex);
    m_store->updateSelection(recordingUndo, [&hex](Annotation& a) {
        if (kindUsesColor(a.kind)) a.colorHex = hex;
    });
    refresh();
}

void StyleGroup::chooseWidth(double width)
{
    if (!m_store) return;
    m_store->setLineWidth(width);
    m_store->updateSelection(true, [width](Annotation& a) {
        if (kindUsesWidth(a.kind)) a.lineWidth = width;
    });
    refresh();
}

void StyleGroup::applyCustomColor(const QColor& color)
{
    const bool opensStep = m_coalescer.opensStep();
    if (!m_store || !color.isValid()) return;
    const QString hex = Color::toHex(color);
    const std::optional<Annotation> selected = m_store->selected();
    const bool changesSelection =
        selected && kindUsesColor(selected->kind) && selected->colorHex != hex;
    // A colour that changes nothing records nothing; the next one must then open its own step
    // rather than join whatever step came before.
    if (opensStep && !changesSelection) m_coalescer.reset();
    chooseColor(hex, opensStep);
}

void StyleGroup::openColorDialog()
{
    if (!m_store) return;
    m_coalescer.reset();
    m_colors.open(Color::fromHex(m_store->colorHex()));
}

void StyleGroup::refresh()
{
    if (!m_store) return;
    const ShownStyle s = ShownStyle::of(*m_store, m_tool);
    for (StyleSwatch* swatch : m_swatches)
        swatch->setChecked(swatch->hex().compare(s.colorHex, Qt::CaseInsensitive) == 0);
    if (m_well) m_well->setHex(s.colorHex);
    for (qsizetype i = 0; i < m_widthButtons.size(); ++i)
        m_widthButtons[i]->setActive(s.lineWidth == widths[std::size_t(i)]);
    if (m_widthMenu) showSize(m_widthMenu, s.lineWidth);
    for (qsizetype i = 0; i < m_headButtons.size(); ++i)
        m_headButtons[i]->setActive(s.arrowHead ==
                                    EnumTable<ArrowHeadStyle>::cases[std::size_t(i)]);
    if (m_doubleHead) m_doubleHead->setActive(s.doubleHeaded);
    if (m_textSize) showSize(m_textSize, s.textSize);
    if (m_bold) m_bold->setActive(s.bold);
    if (m_italic) m_italic->setActive(s.italic);
    if (m_fontBox) {
        const QSignalBlocker blocker(m_fontBox);
        m_fontBox->setCurrentFont(s.fontName.isEmpty() ? font() : QFont(s.fontName));
    }
    if (m_filled) m_filled->setActive(s.filled);
    if (m_opacity) {
        m_opacity->showValue(s.highlightOpacity * 100);
        m_opacityMenu->showValue(int(std::lround(s.highlightOpacity * 100)));
    }
    for (qsizetype i = 0; i < m_stampButtons.size(); ++i)
        m_stampButtons[i]->setActive(s.stampKind == EnumTable<StampKind>::cases[std::size_t(i)]);
}

} // namespace snapkin
