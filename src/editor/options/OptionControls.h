#pragma once

#include "editor/IconButton.h"

#include <QHBoxLayout>
#include <QList>
#include <QObject>
#include <QToolButton>

#include <functional>

class QConicalGradient;
class QLabel;
class QMenu;

namespace snapkin {

class AnnotationStore;

// A `Button` whose checked state is set from the store, never toggled by a click.
template <class Button> class StateButton : public Button {
public:
    using Button::Button;

protected:
    void nextCheckState() override {}
};

// Makes `button` a checkable choice of a fixed `size` that Tab reaches, with `label` as its
// tooltip and accessible name.
void makeChoice(QAbstractButton& button, const QString& label, QSize size);

// The options bar's icon button: a 30 × 30 IconButton showing a 14-point glyph, tinted with the
// brand colour and outlined while it stands for the current setting. Whether it is active
// comes from the store (setActive), never from a click; active is also its accessible
// "checked" state. The help text is its tooltip and accessible name.
class OptionButton : public StateButton<IconButton> {
    Q_OBJECT
public:
    static constexpr QSize buttonSize{30, 30};
    static constexpr double glyphPoints = 14;

    OptionButton(const QString& symbol, const QString& help, QWidget* parent = nullptr);

    void setActive(bool active) { setChecked(active); }
    bool isActive() const { return isChecked(); }

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A pull-down titled with a percentage ("50 %") holding one checkable item per choice; the
// item equal to the value is checked. Choosing any item, the checked one included, calls
// `onChoose` with it. Borderless, kept at its ideal size; the accessible value is the title.
class PercentMenu : public QToolButton {
    Q_OBJECT
public:
    // The choices run from `from` to `to` in steps of ten.
    PercentMenu(int from, int to, const QString& label, QWidget* parent = nullptr);

    std::function<void(int)> onChoose;

    void showValue(int percent);
    const QList<QAction*>& items() const { return m_items; }
    static QString percentText(int percent);

private:
    QList<int> m_choices;
    QList<QAction*> m_items;
    int m_value = 0;
};

// A label `sizeDelta` points larger than the default font, in the secondary text colour.
QLabel* secondaryLabel(const QString& text, double sizeDelta, QWidget* parent);

// A horizontal layout of `widget` without margins, `spacing` points between its items.
QHBoxLayout* rowLayout(QWidget* widget, int spacing);

// The grey hairline around colour swatches and previews.
QColor hairlineColor();

// The colour wheel of the custom colour wells, around `center`.
QConicalGradient colorWheel(QPointF center);

// A vertical rule `height` points high with `padding` points of room on each side.
QWidget* optionDivider(int height, int padding, QWidget* parent);

// Calls `refresh` now, and then once after the store has published one or more changes: the
// store signals before it stores, so reading it at once would see the old values. Parented to
// `owner`.
void followStore(AnnotationStore& store, QObject* owner, std::function<void()> refresh);

} // namespace snapkin
