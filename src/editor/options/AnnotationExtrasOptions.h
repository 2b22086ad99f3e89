#pragma once

#include "model/Tool.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <array>

class QToolButton;

namespace snapkin {

class AnnotationStore;
class OptionButton;

// The settings only two tools have, inside the style group: the arrow's curve toggle, and the
// magnifier's shape (circle or rounded rectangle) and magnification (2×, 3×, 4×). Each control
// writes the store's setting for new annotations and then carries it onto the selected
// annotation as one undo step, recording nothing when the annotation does not change. Turning
// a selected magnifier into a circle also squares it about its centre. Empty for other tools.
class AnnotationExtrasOptions : public QWidget {
    Q_OBJECT
public:
    static constexpr std::array<double, 3> zooms{2.0, 3.0, 4.0};

    AnnotationExtrasOptions(AnnotationStore& store, Tool tool, QWidget* parent = nullptr);

    // Whether the tool has any extras.
    static bool hasExtras(Tool tool) { return tool == Tool::arrow || tool == Tool::magnifier; }

    OptionButton* curveButton() const { return m_curve; }
    OptionButton* circleButton() const { return m_circle; }
    OptionButton* roundedRectangleButton() const { return m_square; }
    const QList<QToolButton*>& zoomButtons() const { return m_zoomButtons; }
    // "2×" for 2.0.
    static QString zoomText(double zoom);

private:
    void setRound(bool round);
    void refresh();

    QPointer<AnnotationStore> m_store;
    OptionButton* m_curve = nullptr;
    OptionButton* m_circle = nullptr;
    OptionButton* m_square = nullptr;
    QList<QToolButton*> m_zoomButtons;
};

} // namespace snapkin
