#include "editor/SheetStyle.h"

#include "platform/L10n.h"
#include "ui/platform/Announcer.h"

#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QWidget>

#include <algorithm>

namespace snapkin::sheetstyle {

namespace {

double scaleOf(TextStyle style)
{
    switch (style) {
    case TextStyle::title:
        return 1.35;
    case TextStyle::headline:
    case TextStyle::body:
        return 1.0;
    case TextStyle::callout:
        return 0.93;
    case TextStyle::caption:
        return 0.85;
    }
    return 1.0;
}

void applyStyle(QFont& font, double baseSize, TextStyle style)
{
    font.setPointSizeF(std::max(8.0, baseSize * scaleOf(style)));
    if (style == TextStyle::title) font.setWeight(QFont::DemiBold);
    if (style == TextStyle::headline) font.setWeight(QFont::Bold);
}

} // namespace

QColor faded(const QWidget* widget, double opacity)
{
    QColor color = widget->palette().color(QPalette::WindowText);
    color.setAlphaF(opacity);
    return color;
}

QFont font(const QWidget* widget, TextStyle style)
{
    QFont result = widget->font();
    applyStyle(result, widget->font().pointSizeF(), style);
    return result;
}

QFont monospaceFont(const QWidget* widget, TextStyle style)
{
    QFont result = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    applyStyle(result, widget->font().pointSizeF(), style);
    return result;
}

QColor secondaryColor(const QWidget* widget)
{
    return faded(widget, 0.62);
}

QColor tertiaryColor(const QWidget* widget)
{
    return faded(widget, 0.42);
}

void setTextColor(QLabel* label, const QColor& color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

QLabel* label(const QString& text, TextStyle style, QWidget* parent, bool secondary)
{
    auto* result = new QLabel(text, parent);
    result->setFont(font(parent, style));
    if (secondary) setTextColor(result, secondaryColor(parent));
    return result;
}

QFrame* rule(Qt::Orientation orientation, QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::Mid);
    if (orientation == Qt::Horizontal) {
        line->setFrameShape(QFrame::HLine);
        line->setFixedHeight(1);
    } else {
        line->setFrameShape(QFrame::VLine);
        line->setFixedWidth(1);
    }
    return line;
}

void openWarning(QWidget* parent, const QString& text, const QString& informative)
{
    auto* alert =
        new QMessageBox(QMessageBox::Warning, QString(), text, QMessageBox::NoButton, parent);
    alert->setInformativeText(informative);
    alert->addButton(platform::L10n::text("OK"), QMessageBox::AcceptRole);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    alert->open();
    platform::Announcer::shared().announce(text);
}

} // namespace snapkin::sheetstyle
