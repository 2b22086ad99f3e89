#include "editor/options/FrameSwatches.h"

#include "model/AnnotationStore.h"
#include "model/Color.h"
#include "model/ColorName.h"
#include "output/Checkerboard.h"
#include "output/FrameSettings.h"
#include "platform/L10n.h"

#include <QConicalGradient>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace snapkin {

FrameSwatch::FrameSwatch(const QString& label, Fill fill, bool selectable, QWidget* parent)
    : StateButton(parent), m_fill(std::move(fill))
{
    makeChoice(*this, label, {side, side});
    setCheckable(selectable);
    setCursor(Qt::PointingHandCursor);
}

void FrameSwatch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double inset = (side - fillSide) / 2.0;
    const QRectF fillArea(inset, inset, fillSide, fillSide);
    if (!isCheckable()) {
        // The custom well: a round colour wheel.
        QPainterPath circle;
        circle.addEllipse(fillArea);
        painter.save();
        painter.setClipPath(circle);
        m_fill(painter, fillArea);
        painter.restore();
    } else {
        QPainterPath rounded;
        rounded.addRoundedRect(fillArea, 4, 4);
        painter.save();
        painter.setClipPath(rounded);
        m_fill(painter, fillArea);
        painter.restore();
        painter.setPen(QPen(hairlineColor(), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(fillArea.adjusted(0.5, 0.5, -0.5, -0.5), 3.5, 3.5);
        if (isChecked()) {
            painter.setPen(QPen(Color::brand(), 2));
            painter.drawRoundedRect(QRectF(1, 1, side - 2, side - 2), 5, 5);
        }
    }
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(0.5, 0.5, side - 1, side - 1), 6, 6);
    }
}

const QStringList& FrameSwatches::solidColors()
{
    static const QStringList colors{QStringLiteral("#FFFFFF"), QStringLiteral("#E5E5EA"),
                                    QStringLiteral("#1C1C1E")};
    return colors;
}

FrameSwatches::FrameSwatches(AnnotationStore& store, QWidget* parent)
    : QWidget(parent), m_store(&store)
{
    auto* row = rowLayout(this, spacing);
    const auto add = [&](FrameSwatch* swatch, std::function<void(FrameStyle&)> change) {
        row->addWidget(swatch);
        m_swatches.append(swatch);
        connect(swatch, &QAbstractButton::clicked, this, [this, change] { choose(change); });
    };
    for (const FrameStyle::Gradient& preset : FrameStyle::gradients()) {
        const QStringList colors = preset.colors;
        const auto fill = [colors](QPainter& painter, const QRectF& area) {
            QLinearGradient gradient(area.topLeft(), area.bottomRight());
            for (qsizetype i = 0; i < colors.size(); ++i) {
                const double at = colors.size() > 1 ? double(i) / double(colors.size() - 1) : 0;
                gradient.setColorAt(at, Color::fromHex(colors[i]));
            }
            painter.fillRect(area, gradient);
        };
        add(new FrameSwatch(preset.name(), fill, true, this), [colors](FrameStyle& frame) {
            frame.background = FrameBackgroundKind::gradient;
            frame.gradientColors = colors;
        });
    }
    for (const QString& hex : solidColors()) {
        const auto fill = [hex](QPainter& painter, const QRectF& area) {
            painter.fillRect(area, Color::fromHex(hex));
        };
        add(new FrameSwatch(ColorName::of(hex), fill, true, this), [hex](FrameStyle& frame) {
            frame.background = FrameBackgroundKind::solid;
            frame.solidHex = hex;
        });
    }
    const auto checkerboard = [](QPainter& painter, const QRectF& area) {
        Checkerboard{5}.paint(painter, area);
    };
    add(new FrameSwatch(platform::L10n::text("Transparent"), checkerboard, true, this),
        [](FrameStyle& frame) { frame.background = FrameBackgroundKind::transparent; });

    const auto wheel = [](QPainter& painter, const QRectF& area) {
        painter.fillRect(area, colorWheel(area.center()));
    };
    auto* well = new FrameSwatch(platform::L10n::text("Custom color"), wheel, false, this);
    row->addWidget(well);
    m_swatches.append(well);
    connect(well, &QAbstractButton::clicked, this, &FrameSwatches::openColorDialog);

    connect(&store, &AnnotationStore::frameChanged, this, &FrameSwatches::showSelection);
    showSelection(store.frame());
}

void FrameSwatches::showSelection(const std::optional<FrameStyle>& frame)
{
    const QList<FrameStyle::Gradient>& presets = FrameStyle::gradients();
    for (qsizetype i = 0; i < m_swatches.size() - 1; ++i) {
        bool selected = false;
        if (frame) {
            if (i < presets.size()) {
                selected = frame->background == FrameBackgroundKind::gradient &&
                           frame->gradientColors == presets[i].colors;
            } else if (i < presets.size() + solidColors().size()) {
                selected = frame->background == FrameBackgroundKind::solid &&
                           frame->solidHex.compare(solidColors()[i - presets.size()],
                                                   Qt::CaseInsensitive) == 0;
            } else {
                selected = frame->background == FrameBackgroundKind::transparent;
            }
        }
        m_swatches[i]->setChecked(selected);
    }
}

void FrameSwatches::choose(const std::function<void(FrameStyle&)>& change)
{
    if (!m_store) return;
    FrameStyle frame = m_store->frame().value_or(FrameSettings::rememberedFrame());
    change(frame);
    m_store->setFrame(frame, true);
}

void FrameSwatches::applyCustomColor(const QColor& color)
{
    const bool opensStep = m_coalescer.opensStep();
    if (!m_store || !color.isValid()) return;
    FrameStyle frame = m_store->frame().value_or(FrameSettings::rememberedFrame());
    frame.background = FrameBackgroundKind::solid;
    frame.solidHex = Color::toHex(color);
    // A colour the frame already has records nothing; the next one must then open its own
    // step rather than join whatever step came before.
    if (opensStep && m_store->frame() == frame) m_coalescer.reset();
    m_store->setFrame(frame, opensStep);
}

void FrameSwatches::openColorDialog()
{
    if (!m_store) return;
    const QString hex = m_store->frame() ? m_store->frame()->solidHex : QStringLiteral("#FFFFFF");
    m_colors.open(Color::fromHex(hex));
}

} // namespace snapkin
