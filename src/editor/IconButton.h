#pragma once

#include "editor/HoverBackground.h"

#include <QImage>
#include <QToolButton>

#include <tuple>

namespace snapkin {

// A small borderless button showing one symbol over the hover background: grey while the
// pointer is over it, brand-tinted and outlined while checked. The help text is both its
// tooltip and its accessible name. Tool buttons tint their symbol with the brand colour while
// checked (`tintsWhenChecked`).
class IconButton : public QToolButton {
    Q_OBJECT
public:
    IconButton(const QString& symbol, const QString& help, QSize size, double cornerRadius,
               QWidget* parent = nullptr);

    const QString& symbol() const { return m_symbol; }
    void setSymbol(const QString& symbol);
    // The symbol's size in points on its longer side.
    void setSymbolSize(double points);
    void setTintsWhenChecked(bool tints) { m_tintsWhenChecked = tints; }

    bool isHovered() const { return m_hovered; }
    HoverBackground background() const;
    // The colour the symbol is drawn in now.
    QColor symbolColor() const;

    QSize sizeHint() const override { return m_size; }
    QSize minimumSizeHint() const override { return m_size; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QString m_symbol;
    QSize m_size;
    double m_cornerRadius;
    double m_symbolSize = 13;
    bool m_hovered = false;
    bool m_tintsWhenChecked = false;
    QImage m_glyph;
    std::tuple<QString, double, QRgb, qreal> m_glyphKey;
};

} // namespace snapkin
