#pragma once

#include <QColor>
#include <QIcon>
#include <QString>
#include <QWidget>

namespace snapkin {

// A symbol (the options bar's own glyphs first) in a fixed colour as an icon, sharp at 1×, 2× and
// 3× device pixel ratios.
QIcon tintedSymbol(const QString& name, double points, const QColor& color);

// A symbol drawn at paint time in the secondary text colour, so it is sharp on any screen
// and follows the palette. Hidden from accessibility: the control beside it carries the name.
class SymbolView : public QWidget {
public:
    SymbolView(const QString& name, double points, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_name;
    double m_points;
};

} // namespace snapkin
