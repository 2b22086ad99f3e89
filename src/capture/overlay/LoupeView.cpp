#include "capture/overlay/LoupeView.h"

#include "capture/overlay/SelectionGeometry.h"
#include "platform/L10n.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

namespace snapkin {

namespace {

constexpr int magnifierSide = LoupeView::patchSize * LoupeView::zoom; // 120
const QRectF magnifier(6, 6, magnifierSide, magnifierSide);

// Text baselines' boxes: the bottom edge of each line, measured from the panel's top.
constexpr double colourLineBottom = 144;
constexpr double positionLineBottom = 160;
constexpr double sizeLineBottom = 176;

// The read-outs change with every pointer move; digits of one width keep them from jittering.
QFont readoutFont()
{
    QFont font;
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
    font.setFeature(QFont::Tag("tnum"), 1);
#else
    font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
#endif
    font.setPixelSize(11);
    font.setWeight(QFont::Medium);
    return font;
}

QString copiedText()
{
    // Shown for a second in the capture magnifier after pressing C copies the colour under
    // the pointer.
    return platform::L10n::text("overlay.loupe.copied", "Copied");
}

} // namespace

LoupeView::LoupeView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    setFont(readoutFont());
    resize(panelWidth, heightWithoutSize);
    hide();
}

void LoupeView::updateFrom(const QImage& image, int x, int y, std::optional<QSizeF> selectionPixels)
{
    if (!image.isNull()) {
        // A black patch with the image's part copied at its offset, so pixels beyond the image
        // stay black and the centre stays in the middle.
        QImage patch(patchSize, patchSize, QImage::Format_ARGB32_Premultiplied);
        patch.fill(Qt::black);
        const QRect source(x - patchSize / 2, y - patchSize / 2, patchSize, patchSize);
        const QRect inside = source.intersected(image.rect());
        if (!inside.isEmpty()) {
            // Over the black, as the screen would show a translucent pixel; pixel for pixel,
            // whatever device pixel ratio the snapshot carries.
            QImage piece = image.copy(inside);
            piece.setDevicePixelRatio(1);
            QPainter p(&patch);
            p.drawImage(inside.topLeft() - source.topLeft(), piece);
        }
        m_sample = patch;
        const QColor centre = QColor::fromRgba(patch.pixel(patchSize / 2, patchSize / 2)).toRgb();
        m_hex = centre.name(QColor::HexRgb).toUpper();
        m_swatch = QColor(centre.red(), centre.green(), centre.blue());
    }
    m_position = QStringLiteral("x %1   y %2").arg(x).arg(y);
    if (selectionPixels)
        m_size = SelectionGeometry::badgeLabel(*selectionPixels) + QStringLiteral(" px");
    else
        m_size.reset();
    const int height = m_size ? heightWithSize : heightWithoutSize;
    if (this->height() != height) resize(panelWidth, height);
    QWidget::update();
}

void LoupeView::flashCopied()
{
    const quint64 generation = ++m_nextGeneration;
    m_copiedGeneration = generation;
    QWidget::update();
    QTimer::singleShot(1000, this, [this, generation] {
        if (m_copiedGeneration != generation) return;
        m_copiedGeneration = 0;
        QWidget::update();
    });
}

void LoupeView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double W = width();

    QPainterPath panel;
    panel.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    p.fillPath(panel, QColor::fromRgbF(0.08f, 0.08f, 0.08f, 0.9f));
    p.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.25f), 1));
    p.drawPath(panel);

    p.save();
    QPainterPath clip;
    clip.addRoundedRect(magnifier, 6, 6);
    p.setClipPath(clip);
    if (!m_sample.isNull()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform, false);
        p.drawImage(magnifier, m_sample);
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.35f), 0.5));
    for (int i = 1; i < patchSize; ++i) {
        const double offset = i * zoom;
        p.drawLine(QPointF(magnifier.left() + offset, magnifier.top()),
                   QPointF(magnifier.left() + offset, magnifier.bottom()));
        p.drawLine(QPointF(magnifier.left(), magnifier.top() + offset),
                   QPointF(magnifier.right(), magnifier.top() + offset));
    }
    p.restore();

    const QRectF cell(magnifier.left() + 56, magnifier.top() + 56, zoom, zoom);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::black, 2));
    p.drawRect(cell.adjusted(-1, -1, 1, 1));
    p.setPen(QPen(Qt::white, 1));
    p.drawRect(cell);

    const QRectF swatch(7, 131, 11, 11);
    p.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.5f), 1));
    p.setBrush(m_swatch);
    p.drawRoundedRect(swatch, 2, 2);
    p.setBrush(Qt::NoBrush);

    const QColor primary = Qt::white;
    const QColor secondary = QColor::fromRgbF(1, 1, 1, 0.7f);
    const QFontMetricsF metrics(font());
    const double lineHeight = metrics.height();
    auto line = [&](double x, double bottom, const QString& text, const QColor& colour) {
        p.setPen(colour);
        p.drawText(QRectF(x, bottom - lineHeight, W - x - 4, lineHeight),
                   Qt::AlignLeft | Qt::AlignVCenter, text);
    };

    if (showsCopied()) {
        line(24, colourLineBottom, copiedText(), primary);
    } else if (m_hex) {
        line(24, colourLineBottom, *m_hex, primary);
    }
    if (m_hex) {
        const double w = metrics.horizontalAdvance(QStringLiteral("C"));
        const QRectF chip(W - 6 - w - 9, 129, w + 8, 14);
        p.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.45f), 1));
        p.drawRoundedRect(chip, 3, 3);
        p.setPen(secondary);
        p.drawText(chip, Qt::AlignCenter, QStringLiteral("C"));
    }
    line(7, positionLineBottom, m_position, secondary);
    if (m_size) line(7, sizeLineBottom, *m_size, primary);
}

} // namespace snapkin
