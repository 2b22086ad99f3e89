#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QWidget;

namespace snapkin::sheetstyle {

// The text styles of the editor's sheets, relative to the widget's own font so they follow the
// desktop's font size: a larger semibold title, a bold headline, and the slightly smaller
// callout and caption.
enum class TextStyle { title, headline, body, callout, caption };

QFont font(const QWidget* widget, TextStyle style);
// The same size as `style`, in the desktop's fixed-pitch font.
QFont monospaceFont(const QWidget* widget, TextStyle style);

// Secondary and tertiary text: the palette's text colour, fainter.
QColor secondaryColor(const QWidget* widget);
QColor tertiaryColor(const QWidget* widget);

// A label in `style`; in the secondary colour when `secondary` is true.
QLabel* label(const QString& text, TextStyle style, QWidget* parent, bool secondary = false);
void setTextColor(QLabel* label, const QColor& color);

} // namespace snapkin::sheetstyle
