#include "settings/TabularDigitsLabel.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace snapkin {

namespace {

// Calls `visit` with each digit of `shown` on its own and each stretch of other characters.
template <typename Visit> void forEachRun(const QString& shown, Visit visit)
{
    qsizetype start = 0;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (!shown[i].isDigit()) continue;
        if (i > start) visit(shown.mid(start, i - start), false);
        visit(shown.mid(i, 1), true);
        start = i + 1;
    }
    if (start < shown.size()) visit(shown.mid(start), false);
}

} // namespace

TabularDigitsLabel::TabularDigitsLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

void TabularDigitsLabel::reserveWidthFor(const QString& widest)
{
    m_widest = widest;
    updateGeometry();
}

QSize TabularDigitsLabel::sizeHint() const
{
    const QFontMetricsF metrics(font());
    const QMargins m = contentsMargins();
    const double width = std::max(textWidth(text(), metrics, digitCell(text(), metrics)),
                                  textWidth(m_widest, metrics, digitCell(m_widest, metrics)));
    return QSize(int(std::ceil(width)) + m.left() + m.right() + 2 * margin(),
                 int(std::ceil(metrics.height())) + m.top() + m.bottom() + 2 * margin());
}

void TabularDigitsLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    const QFontMetricsF metrics(font());
    const QRectF area = QRectF(contentsRect()).adjusted(margin(), margin(), -margin(), -margin());
    const QString shown = text();
    const double cell = digitCell(shown, metrics);
    const double width = textWidth(shown, metrics, cell);
    double x = area.left();
    if (alignment() & Qt::AlignRight)
        x = area.right() - width;
    else if (alignment() & Qt::AlignHCenter)
        x = area.center().x() - width / 2;
    const double baseline = area.top() + (area.height() - metrics.height()) / 2 + metrics.ascent();
    forEachRun(shown, [&](const QString& run, bool digit) {
        if (digit) {
            // Centred in its cell, as tabular figures are drawn.
            painter.drawText(QPointF(x + (cell - metrics.horizontalAdvance(run)) / 2, baseline),
                             run);
            x += cell;
        } else {
            painter.drawText(QPointF(x, baseline), run);
            x += metrics.horizontalAdvance(run);
        }
    });
}

// The widest of the Latin digits and of any other digits shown. The Latin digits are measured
// once per font, not on every paint.
double TabularDigitsLabel::digitCell(const QString& shown, const QFontMetricsF& metrics) const
{
    if (m_latinCell < 0 || m_latinCellFont != font()) {
        m_latinCellFont = font();
        m_latinCell = 0;
        for (char16_t d = u'0'; d <= u'9'; ++d)
            m_latinCell = std::max(m_latinCell, metrics.horizontalAdvance(QChar(d)));
    }
    double widest = m_latinCell;
    for (const QChar c : shown) {
        if (c.isDigit()) widest = std::max(widest, metrics.horizontalAdvance(c));
    }
    return widest;
}

double TabularDigitsLabel::textWidth(const QString& shown, const QFontMetricsF& metrics,
                                     double cell) const
{
    double width = 0;
    forEachRun(shown, [&](const QString& run, bool digit) {
        width += digit ? cell : metrics.horizontalAdvance(run);
    });
    return width;
}

} // namespace snapkin
