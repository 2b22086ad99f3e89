#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QFrame;
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

// The palette's text colour at `opacity`; secondary and tertiary text are fainter text.
// Secondary text is body text: at 0.64 it reads at 4.5:1 or more on either look's window.
inline constexpr double secondaryOpacity = 0.64;
inline constexpr double tertiaryOpacity = 0.42;
QColor faded(const QWidget* widget, double opacity);
QColor secondaryColor(const QWidget* widget);
QColor tertiaryColor(const QWidget* widget);

// A label in `style`; in the secondary colour when `secondary` is true.
QLabel* label(const QString& text, TextStyle style, QWidget* parent, bool secondary = false);
// A fixed text colour (one that does not come from the palette, such as an alert's red).
void setTextColor(QLabel* label, const QColor& color);
// Draws `label`'s text at `opacity` of the text colour it would otherwise inherit, and keeps it
// so: the colour is worked out again whenever the label's palette changes (a live switch of the
// appearance) or it moves to another parent, so faded text made in one look never keeps that
// look's colour in the next.
void fadeText(QLabel* label, double opacity);
// Fades `label` to the secondary colour, in step with the palette; returns it.
QLabel* makeSecondary(QLabel* label);

// A 1-point rule across (horizontal) or down (vertical), in the palette's mid colour.
QFrame* rule(Qt::Orientation orientation, QWidget* parent);

// A warning over `parent`'s window, with one "OK", also read out by assistive technology. It
// is window-modal and does not wait for the answer.
void openWarning(QWidget* parent, const QString& text, const QString& informative);

} // namespace snapkin::sheetstyle
