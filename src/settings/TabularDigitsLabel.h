#pragma once

#include <QLabel>

class QFontMetricsF;

namespace snapkin {

// A one-line plain-text label whose digits all take the width of the widest digit, in
// whatever font it has, so a changing number does not make the text around it jitter (many
// interface fonts have narrow ones).
//
// A label that shows a range of values can reserve the width of the longest of them: its size
// hint then stays the same across the range, and the text is aligned within that width.
class TabularDigitsLabel final : public QLabel {
    Q_OBJECT
public:
    explicit TabularDigitsLabel(QWidget* parent = nullptr);

    // The text whose width the label keeps at least (none by default).
    void reserveWidthFor(const QString& widest);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // `shown`'s width with each digit in a cell `cell` wide.
    double textWidth(const QString& shown, const QFontMetricsF& metrics, double cell) const;
    // `metrics` must be those of the label's font.
    double digitCell(const QString& shown, const QFontMetricsF& metrics) const;

    QString m_widest;
    // The widest Latin digit in m_latinCellFont (negative until measured).
    mutable QFont m_latinCellFont;
    mutable double m_latinCell = -1;
};

} // namespace snapkin
