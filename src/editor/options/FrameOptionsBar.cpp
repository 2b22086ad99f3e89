#include "editor/options/FrameOptionsBar.h"

#include "editor/HoverBackground.h"
#include "editor/IconButton.h"
#include "editor/options/FrameSwatches.h"
#include "editor/options/OptionControls.h"
#include "editor/options/OptionSlider.h"
#include "editor/options/OptionSwitch.h"
#include "editor/options/OptionSymbols.h"
#include "editor/options/WatermarkOptions.h"
#include "model/AnnotationStore.h"
#include "model/Color.h"
#include "output/FrameSettings.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"
#include "platform/Symbols.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QMenu>
#include <QStyleOptionToolButton>
#include <QStylePainter>
#include <QToolButton>

namespace snapkin {

namespace {

using platform::Defaults;
using platform::L10n;

// The watermark button at full density: symbol and title. Its checked state mirrors whether
// the document has a watermark and is never toggled by a click.
class TitledButton : public StateButton<QToolButton> {
public:
    using StateButton::StateButton;

protected:
    // Plain: the tint says "on", not a pressed-in bezel.
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter painter(this);
        QStyleOptionToolButton option;
        initStyleOption(&option);
        option.state &= ~(QStyle::State_On | QStyle::State_Sunken);
        painter.drawComplexControl(QStyle::CC_ToolButton, option);
    }
};

} // namespace

FrameOptionsBar::FrameOptionsBar(AnnotationStore& store, OptionsDensity density, QWidget* parent)
    : QWidget(parent), m_store(&store), m_density(density)
{
    const bool full = density == OptionsDensity::full;
    const bool overflow = density == OptionsDensity::overflow;
    auto* row = rowLayout(this, spacing);

    m_switch = new OptionSwitch(L10n::text("Background"), full, this);
    m_switch->setToolTip(L10n::text("Shown on the canvas and applied when you copy, save, drag "
                                    "or share. The capture itself isn't changed."));
    row->addWidget(m_switch);
    connect(m_switch, &QAbstractButton::clicked, this, [this](bool on) {
        if (!m_store) return;
        std::optional<FrameStyle> frame;
        if (on) frame = m_store->frame().value_or(FrameSettings::rememberedFrame());
        m_store->setFrame(frame, true);
        showFrame(m_store->frame());
    });

    row->addWidget(optionDivider(separatorHeight, 0, this));
    m_swatches = new FrameSwatches(store, this);
    row->addWidget(m_swatches);
    row->addWidget(optionDivider(separatorHeight, 0, this));

    m_padding =
        addSlider(L10n::text("Padding"), QStringLiteral("arrow.up.left.and.arrow.down.right"),
                  FrameStyle::maxPadding, &FrameStyle::padding, overflow ? 52 : 70);
    m_cornerRadius =
        addSlider(L10n::text("Corner radius"), QStringLiteral("rectangle.roundedtop"),
                  FrameStyle::maxCornerRadius, &FrameStyle::cornerRadius, overflow ? 46 : 60);
    m_shadow = addSlider(L10n::text("Shadow"), QStringLiteral("shadow"), 1.0, &FrameStyle::shadow,
                         overflow ? 46 : 60);

    // The aspect items, shared by the aspect button and "More Options".
    m_aspectMenu = new QMenu(overflow ? L10n::text("Aspect ratio") : QString(), this);
    m_aspectGroup = new QActionGroup(m_aspectMenu);
    m_aspectGroup->setExclusive(true);
    for (const CropAspect aspect : EnumTable<CropAspect>::cases) {
        QAction* action = m_aspectMenu->addAction(label(aspect));
        action->setCheckable(true);
        m_aspectGroup->addAction(action);
        m_aspectActions.append(action);
        connect(action, &QAction::triggered, this, [this, aspect] {
            if (!m_store) return;
            FrameStyle frame = m_store->frame().value_or(FrameSettings::rememberedFrame());
            frame.aspect = aspect;
            m_store->setFrame(frame, true);
        });
    }
    if (!overflow) {
        m_aspectButton = new QToolButton(this);
        m_aspectButton->setAutoRaise(true);
        m_aspectButton->setPopupMode(QToolButton::InstantPopup);
        m_aspectButton->setMenu(m_aspectMenu);
        m_aspectButton->setIcon(platform::Symbols::icon(QStringLiteral("aspectratio")));
        m_aspectButton->setToolButtonStyle(full ? Qt::ToolButtonTextBesideIcon
                                                : Qt::ToolButtonIconOnly);
        m_aspectButton->setToolTip(L10n::text("Aspect ratio"));
        m_aspectButton->setAccessibleName(L10n::text("Aspect ratio"));
        m_aspectButton->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        row->addWidget(m_aspectButton);
    }

    row->addWidget(optionDivider(separatorHeight, 0, this));
    if (full) {
        auto* button = new TitledButton(this);
        button->setAutoRaise(true);
        button->setText(L10n::text("Watermark"));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        m_watermarkButton = button;
    } else {
        auto* button =
            new StateButton<IconButton>(QStringLiteral("signature"), L10n::text("Watermark"),
                                        QSize(30, 30), HoverBackground::buttonCornerRadius, this);
        button->setTintsWhenChecked(true);
        m_watermarkButton = button;
    }
    m_watermarkButton->setCheckable(true);
    m_watermarkButton->setToolTip(L10n::text("Watermark"));
    m_watermarkButton->setAccessibleName(L10n::text("Watermark"));
    row->addWidget(m_watermarkButton);
    connect(m_watermarkButton, &QAbstractButton::clicked, this,
            &FrameOptionsBar::openWatermarkOptions);

    row->addWidget(optionDivider(separatorHeight, 0, this));
    const QString applyText = L10n::text("Apply to new captures");
    if (!overflow) {
        m_applyBox = new QCheckBox(applyText, this);
        m_applyBox->setToolTip(L10n::text("New captures open with this frame and watermark. Off "
                                          "by default, so captures stay exactly as taken."));
        row->addWidget(m_applyBox);
        connect(m_applyBox, &QCheckBox::clicked, this,
                [](bool on) { Defaults::standard().set(keys::frameApplyAlways, on); });
    } else {
        m_moreButton = new QToolButton(this);
        m_moreButton->setAutoRaise(true);
        m_moreButton->setPopupMode(QToolButton::InstantPopup);
        m_moreButton->setIcon(platform::Symbols::icon(QStringLiteral("chevron.right.2")));
        m_moreButton->setToolTip(L10n::text("More Options"));
        m_moreButton->setAccessibleName(L10n::text("More Options"));
        m_moreButton->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
        auto* more = new QMenu(m_moreButton);
        more->addMenu(m_aspectMenu);
        more->addSeparator();
        m_applyAction = more->addAction(applyText);
        m_applyAction->setCheckable(true);
        connect(m_applyAction, &QAction::triggered, this,
                [](bool on) { Defaults::standard().set(keys::frameApplyAlways, on); });
        m_moreButton->setMenu(more);
        row->addWidget(m_moreButton);
    }

    connect(&store, &AnnotationStore::frameChanged, this, &FrameOptionsBar::showFrame);
    connect(&store, &AnnotationStore::watermarkChanged, this,
            [this](const std::optional<Watermark>& watermark) {
                showWatermarkState(watermark.has_value());
            });
    connect(&Defaults::standard(), &Defaults::valueChanged, this, [this](const QString& key) {
        if (key == keys::frameApplyAlways) showApplyAlways();
    });
    showFrame(store.frame());
    showWatermarkState(store.watermark().has_value());
    showApplyAlways();
}

OptionSlider* FrameOptionsBar::addSlider(const QString& label, const QString& symbol,
                                         double maximum, double FrameStyle::*field, int width)
{
    auto* group = new QWidget(this);
    auto* layout = rowLayout(group, 4);
    layout->addWidget(new SymbolView(symbol, 13, group));
    auto* slider = new OptionSlider(0, maximum, group);
    slider->setFixedWidth(width);
    slider->setAccessibleName(label);
    layout->addWidget(slider);
    group->setToolTip(label);
    slider->onDragBegin = [this] {
        if (m_store) m_store->beginChange();
    };
    slider->onEdit = [this, field](double value, bool recordingUndo) {
        if (!m_store || !m_store->frame()) return;
        FrameStyle frame = *m_store->frame();
        frame.*field = value;
        m_store->setFrame(frame, recordingUndo);
    };
    m_sliderGroups.append(group);
    this->layout()->addWidget(group);
    return slider;
}

void FrameOptionsBar::showFrame(const std::optional<FrameStyle>& frame)
{
    const FrameStyle shown = frame.value_or(FrameSettings::rememberedFrame());
    const bool on = frame.has_value();
    m_switch->setChecked(on);
    for (QWidget* group : m_sliderGroups)
        group->setEnabled(on);
    m_padding->showValue(shown.padding);
    m_cornerRadius->showValue(shown.cornerRadius);
    m_shadow->showValue(shown.shadow);
    m_aspectMenu->setEnabled(on);
    m_aspectActions[qsizetype(shown.aspect)]->setChecked(true);
    if (m_aspectButton) {
        m_aspectButton->setEnabled(on);
        m_aspectButton->setText(label(shown.aspect));
        m_aspectButton->setAccessibleDescription(label(shown.aspect));
    }
}

void FrameOptionsBar::showWatermarkState(bool hasWatermark)
{
    m_watermarkButton->setChecked(hasWatermark);
    if (auto* titled = dynamic_cast<TitledButton*>(m_watermarkButton)) {
        const QColor color = hasWatermark ? Color::brand() : palette().color(QPalette::ButtonText);
        titled->setIcon(tintedSymbol(QStringLiteral("signature"), 14, color));
        QPalette tinted = palette();
        tinted.setColor(QPalette::ButtonText, color);
        titled->setPalette(tinted);
    }
}

void FrameOptionsBar::showApplyAlways()
{
    const bool on = Defaults::standard().get(keys::frameApplyAlways);
    if (m_applyBox) m_applyBox->setChecked(on);
    if (m_applyAction) m_applyAction->setChecked(on);
}

WatermarkOptions* FrameOptionsBar::watermarkOptions() const
{
    return m_watermarkOptions;
}

void FrameOptionsBar::openWatermarkOptions()
{
    if (!m_store) return;
    showWatermarkState(m_store->watermark().has_value());
    if (!m_watermarkOptions) m_watermarkOptions = new WatermarkOptions(*m_store, this);
    m_watermarkOptions->popUp(m_watermarkButton);
}

} // namespace snapkin
