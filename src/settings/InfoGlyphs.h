#pragma once

#include <QColor>
#include <QIcon>
#include <QPainterPath>
#include <QPalette>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QAbstractButton;

namespace snapkin {

// The symbols of the welcome, newsletter, What's New and About windows: the application's
// symbol set, plus the few these windows need beyond it (an envelope, a lock, a pin…), drawn on
// the same 24 × 24 grid.
std::optional<QPainterPath> infoGlyph(const QString& name);

// Where a drawn symbol takes its colour from: worked out from the widget it is drawn in each
// time it is drawn, so a symbol in a palette colour follows a live switch of the appearance
// (sheetstyle::secondaryColor, paletteColor(…)); a QColor is a fixed colour.
using GlyphColor = std::function<QColor(const QWidget*)>;
// The colour of `role` in the widget's palette.
GlyphColor paletteColor(QPalette::ColorRole role);

// The symbol as a button icon in `color`, drawn for screens of `dpr` pixels per point.
QIcon glyphIcon(const QString& name, const QColor& color, qreal dpr);

// Gives `button` the symbol as its icon in `color`, drawn again whenever the button's palette
// changes.
void setGlyphIcon(QAbstractButton* button, const QString& name, GlyphColor color);

// The symbol at the top of a column `width` wide, `top` points down and centred across it, to
// stand beside a text that may wrap.
QWidget* glyphColumn(const QString& name, double pointSize, GlyphColor color, int width,
                     int top = 0);

// One symbol drawn as a widget, sharp at any screen density; hidden from accessibility, as the
// text beside it says what it means.
class GlyphView : public QWidget {
    Q_OBJECT
public:
    GlyphView(const QString& name, double pointSize, GlyphColor color, QWidget* parent = nullptr);
    GlyphView(const QString& name, double pointSize, const QColor& color,
              QWidget* parent = nullptr);

    void setGlyph(const QString& name, const QColor& color);
    // The colour it is drawn in now.
    QColor color() const { return m_color(this); }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_name;
    double m_pointSize;
    GlyphColor m_color;
};

} // namespace snapkin
