#include "editor/options/EffectGroups.h"

#include "editor/options/OptionControls.h"
#include "editor/options/OptionSlider.h"
#include "editor/options/OptionSymbols.h"
#include "model/AnnotationStore.h"
#include "model/Color.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"

#include <QAbstractButton>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace snapkin {

namespace {

using platform::Defaults;
using platform::L10n;

constexpr int groupSpacing = 3;

bool selectedIs(const AnnotationStore& store, AnnotationKind kind)
{
    const std::optional<Annotation> selected = store.selected();
    return selected && selected->kind == kind;
}

// The glyph of each obscuring style, by its value.
constexpr std::array obscureSymbols{"checkerboard.rectangle", "drop.fill", "rectangle.fill",
                                    "line.diagonal"};
static_assert(obscureSymbols.size() == EnumTable<ObscureStyle>::cases.size());

// A sticker: the emoji in an 18-point colour font on a brand tint while it is the current one.
class StickerButton : public StateButton<QAbstractButton> {
public:
    StickerButton(const QString& emoji, QWidget* parent) : StateButton(parent)
    {
        setText(emoji);
        setAccessibleName(emoji);
        setCheckable(true);
        setFixedSize(30, 30);
        setFocusPolicy(Qt::TabFocus);
        QFont emojiFont(QStringLiteral("Noto Color Emoji"));
        emojiFont.setPixelSize(18);
        setFont(emojiFont);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), 6, 6);
        if (isChecked()) {
            QColor tint = Color::brand();
            tint.setAlphaF(0.16f);
            painter.fillPath(shape, tint);
        }
        if (hasFocus()) {
            painter.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
            painter.drawPath(shape);
        }
        painter.setFont(font());
        painter.drawText(rect(), Qt::AlignCenter, text());
    }
};

} // namespace

// ---- obscuring ---------------------------------------------------------------------------

ObscureGroup::ObscureGroup(AnnotationStore& store, QWidget* parent)
    : QWidget(parent), m_store(&store)
{
    auto* row = rowLayout(this, groupSpacing);
    for (const ObscureStyle style : EnumTable<ObscureStyle>::cases) {
        auto* button = new OptionButton(QString::fromLatin1(obscureSymbols[std::size_t(style)]),
                                        label(style), this);
        m_buttons[std::size_t(style)] = button;
        row->addWidget(button);
        connect(button, &QAbstractButton::clicked, this, [this, style] {
            if (!m_store) return;
            m_store->setObscureStyle(style);
            m_store->applyStyleToSelection(true);
            refresh();
        });
    }

    m_strength = new QWidget(this);
    auto* strength = rowLayout(m_strength, 4);
    strength->addWidget(optionDivider(18, 5, m_strength));
    strength->addWidget(new SymbolView(QStringLiteral("dial.low"), 12, m_strength));
    m_slider = new OptionSlider(minStrength, maxStrength, m_strength);
    m_slider->setFixedWidth(90);
    m_slider->setToolTip(L10n::text("Strength. For passwords, use Solid: it hides everything."));
    m_slider->setAccessibleName(L10n::text("Strength"));
    strength->addWidget(m_slider);
    row->addWidget(m_strength);

    m_slider->onDragBegin = [this] {
        if (m_store && selectedIs(*m_store, AnnotationKind::pixelate)) m_store->beginChange();
    };
    m_slider->onEdit = [this](double value, bool recordingUndo) {
        if (!m_store) return;
        m_store->setObscureStrength(value);
        m_store->applyStyleToSelection(recordingUndo && !m_slider->isSliderDown());
        m_slider->setAccessibleDescription(strengthText(value));
        // Keys and the wheel end their change at once; a drag ends when the handle is let go.
        if (!m_slider->isSliderDown())
            Defaults::standard().set(keys::defaultObscureStrength, value);
    };
    connect(m_slider, &QSlider::sliderReleased, this, [this] {
        Defaults::standard().set(keys::defaultObscureStrength, m_slider->doubleValue());
    });

    followStore(store, this, [this] { refresh(); });
}

QString ObscureGroup::strengthText(double strength)
{
    return QString::asprintf("%.1f", strength) + QChar(0x00D7);
}

void ObscureGroup::refresh()
{
    if (!m_store) return;
    const ObscureStyle current = m_store->obscureStyle();
    for (const ObscureStyle style : EnumTable<ObscureStyle>::cases)
        m_buttons[std::size_t(style)]->setActive(style == current);
    m_strength->setVisible(current == ObscureStyle::pixelate || current == ObscureStyle::blur);
    m_slider->showValue(m_store->obscureStrength());
    m_slider->setAccessibleDescription(strengthText(m_store->obscureStrength()));
}

// ---- spotlight ---------------------------------------------------------------------------

SpotlightGroup::SpotlightGroup(AnnotationStore& store, QWidget* parent)
    : QWidget(parent), m_store(&store)
{
    auto* row = rowLayout(this, groupSpacing);
    m_rectangle =
        new OptionButton(QStringLiteral("rectangle.dashed"), L10n::text("Rectangle"), this);
    m_ellipse = new OptionButton(QStringLiteral("circle"), L10n::text("Ellipse"), this);
    for (auto [button, ellipse] : {std::pair{m_rectangle, false}, std::pair{m_ellipse, true}}) {
        row->addWidget(button);
        connect(button, &QAbstractButton::clicked, this, [this, ellipse] {
            if (!m_store) return;
            m_store->setSpotEllipse(ellipse);
            m_store->applyStyleToSelection(true);
            refresh();
        });
    }
    row->addWidget(optionDivider(20, 0, this));

    auto* dimming = new QWidget(this);
    dimming->setToolTip(L10n::text("Dimming"));
    auto* dim = rowLayout(dimming, 6);
    dim->addWidget(new SymbolView(QStringLiteral("circle.lefthalf.filled"), 13, dimming));
    m_slider = new OptionSlider(minPercent, maxPercent, dimming);
    m_slider->setFixedWidth(110);
    m_slider->setAccessibleName(L10n::text("Dimming"));
    dim->addWidget(m_slider);
    m_menu = new PercentMenu(minPercent, maxPercent, L10n::text("Dimming"), dimming);
    dim->addWidget(m_menu);
    row->addWidget(dimming);

    m_slider->onDragBegin = [this] { beginDimChange(); };
    m_slider->onEdit = [this](double value, bool recordingUndo) {
        setPercent(value, recordingUndo && !m_slider->isSliderDown());
        if (!m_slider->isSliderDown()) rememberDim();
    };
    connect(m_slider, &QSlider::sliderReleased, this, &SpotlightGroup::rememberDim);
    m_menu->onChoose = [this](int choice) {
        beginDimChange();
        setPercent(choice, false);
        rememberDim();
    };

    followStore(store, this, [this] { refresh(); });
}

int SpotlightGroup::percent(double dim)
{
    return int(std::lround(dim * 100));
}

void SpotlightGroup::beginDimChange()
{
    if (m_store && selectedIs(*m_store, AnnotationKind::spotlight)) m_store->beginChange();
}

void SpotlightGroup::setPercent(double percent, bool recordingUndo)
{
    if (!m_store) return;
    m_store->setSpotDim(percent / 100);
    if (selectedIs(*m_store, AnnotationKind::spotlight))
        m_store->applyStyleToSelection(recordingUndo);
    m_menu->showValue(SpotlightGroup::percent(m_store->spotDim()));
}

void SpotlightGroup::rememberDim()
{
    if (m_store) Defaults::standard().set(keys::defaultSpotlightDim, m_store->spotDim());
}

void SpotlightGroup::refresh()
{
    if (!m_store) return;
    m_rectangle->setActive(!m_store->spotEllipse());
    m_ellipse->setActive(m_store->spotEllipse());
    const int shown = percent(m_store->spotDim());
    m_slider->showValue(m_store->spotDim() * 100);
    m_slider->setAccessibleDescription(PercentMenu::percentText(shown));
    m_menu->showValue(shown);
}

// ---- stickers ----------------------------------------------------------------------------

const QStringList& StickerGroup::emojis()
{
    static const QStringList list{
        QString::fromUtf8("\xF0\x9F\x98\x80"),
        QString::fromUtf8("\xF0\x9F\x91\x8D"),
        QString::fromUtf8("\xE2\x9D\xA4\xEF\xB8\x8F"),
        QString::fromUtf8("\xE2\xAD\x90"),
        QString::fromUtf8("\xF0\x9F\x94\xA5"),
        QString::fromUtf8("\xE2\x9C\x85"),
        QString::fromUtf8("\xE2\x9D\x8C"),
        QString::fromUtf8("\xE2\x9E\xA1\xEF\xB8\x8F"),
        QString::fromUtf8("\xF0\x9F\x8E\x89"),
        QString::fromUtf8("\xF0\x9F\x92\xA1"),
    };
    return list;
}

StickerGroup::StickerGroup(AnnotationStore& store, QWidget* parent)
    : QWidget(parent), m_store(&store)
{
    auto* row = rowLayout(this, groupSpacing);
    for (const QString& emoji : emojis()) {
        auto* button = new StickerButton(emoji, this);
        m_buttons.append(button);
        row->addWidget(button);
        connect(button, &QAbstractButton::clicked, this, [this, emoji] {
            if (!m_store) return;
            m_store->setStickerEmoji(emoji);
            m_store->applyStyleToSelection(true);
            refresh();
        });
    }
    followStore(store, this, [this] { refresh(); });
}

void StickerGroup::refresh()
{
    if (!m_store) return;
    for (QAbstractButton* button : m_buttons)
        button->setChecked(button->text() == m_store->stickerEmoji());
}

} // namespace snapkin
