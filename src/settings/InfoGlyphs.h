#pragma once

#include <QColor>
#include <QIcon>
#include <QPainterPath>
#include <QString>
#include <QWidget>

#include <optional>

namespace snapkin {

// The symbols of the welcome, newsletter, What's New and About windows: the application's
// symbol set, plus the few these windows need beyond it (an envelope, a lock, a pin…), drawn on
// the same 24 × 24 grid.
std::optional<QPainterPath> infoGlyph(const QString& name);

// The symbol as a button icon in `color`, drawn for screens of `dpr` pixels per point.
QIcon glyphIcon(const QString& name, const QColor& color, qreal dpr);

// The symbol at the top of a column `width` wide, `top` points down and centred across it, to
// stand beside a text that may wrap.
QWidget* glyphColumn(const QString& name, double pointSize, const QColor& color, int width,
                     int top = 0);

// One symbol drawn as a widget, sharp at any screen density; hidden from accessibility, as the
// text beside it says what it means.
class GlyphView : public QWidget {
public:
    GlyphView(const QString& name, double pointSize, const QColor& color,
              QWidget* parent = nullptr);

    void setGlyph(const QString& name, const QColor& color);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_name;
    double m_pointSize;
    QColor m_color;
};

} // namespace snapkin
