#include "editor/SheetStyle.h"

#include "platform/L10n.h"
#include "ui/platform/Announcer.h"

#include <QApplication>
#include <QEvent>
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

// The text colour `widget` inherits in `group`: that of the nearest ancestor in its window that
// sets one, else the application's. Ancestors that only pass on the application's palette are
// skipped, as while the application's palette changes they may not have taken it yet.
QColor inheritedText(const QWidget* widget, QPalette::ColorGroup group)
{
    for (const QWidget* up = widget->parentWidget(); up; up = up->parentWidget()) {
        if (up->testAttribute(Qt::WA_SetPalette) &&
            up->palette().isBrushSet(group, QPalette::WindowText))
            return up->palette().color(group, QPalette::WindowText);
        if (up->isWindow()) break;
    }
    return QApplication::palette(widget).color(group, QPalette::WindowText);
}

// Keeps its label's text faded from the inherited text colour (see fadeText).
class FadedText final : public QObject {
public:
    static constexpr const char* name = "snapkin-faded-text";

    static FadedText* of(QLabel* label)
    {
        return static_cast<FadedText*>(
            label->findChild<QObject*>(QLatin1String(name), Qt::FindDirectChildrenOnly));
    }

    FadedText(QLabel* label, double opacity) : QObject(label), m_label(label), m_opacity(opacity)
    {
        setObjectName(QLatin1String(name));
        label->installEventFilter(this);
        apply();
    }

    void setOpacity(double opacity)
    {
        m_opacity = opacity;
        apply();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_label) {
            switch (event->type()) {
            case QEvent::PaletteChange:
            case QEvent::ApplicationPaletteChange:
            case QEvent::ParentChange:
                apply();
                break;
            default:
                break;
            }
        }
        return false;
    }

private:
    // Sets the colour only when it differs, as setting it sends the label another change.
    void apply()
    {
        QPalette palette = m_label->palette();
        bool changed = false;
        for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            QColor color = inheritedText(m_label, group);
            // Disabled text is already faint; fading it further would hide it.
            if (group != QPalette::Disabled) color.setAlphaF(color.alphaF() * m_opacity);
            if (palette.isBrushSet(group, QPalette::WindowText) &&
                palette.color(group, QPalette::WindowText) == color)
                continue;
            palette.setColor(group, QPalette::WindowText, color);
            changed = true;
        }
        if (changed) m_label->setPalette(palette);
    }

    QLabel* m_label;
    double m_opacity;
};

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
    return faded(widget, secondaryOpacity);
}

QColor tertiaryColor(const QWidget* widget)
{
    return faded(widget, tertiaryOpacity);
}

void setTextColor(QLabel* label, const QColor& color)
{
    // A fixed colour ends any fading that would replace it when the palette changes.
    delete FadedText::of(label);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

QLabel* label(const QString& text, TextStyle style, QWidget* parent, bool secondary)
{
    auto* result = new QLabel(text, parent);
    result->setFont(font(parent, style));
    if (secondary) makeSecondary(result);
    return result;
}

void fadeText(QLabel* label, double opacity)
{
    if (FadedText* existing = FadedText::of(label))
        existing->setOpacity(opacity);
    else
        new FadedText(label, opacity);
}

QLabel* makeSecondary(QLabel* label)
{
    fadeText(label, secondaryOpacity);
    return label;
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
