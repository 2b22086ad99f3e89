#pragma once

#include "editor/options/ChangeCoalescer.h"
#include "editor/options/CustomColorDialog.h"
#include "editor/options/OptionControls.h"
#include "model/FrameStyle.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QColorDialog;

namespace snapkin {

class AnnotationStore;

// One swatch of the frame background row: an 18 × 18 fill with rounded corners and a hairline
// border, inside a ring that is brand-coloured while the swatch is the frame's background. The
// whole 24 × 24 square takes clicks. The selected state is set from the document, never by a
// click; it is also the accessible "checked" state. The custom colour well is the same button
// with a colour wheel and no ring.
class FrameSwatch : public StateButton<QAbstractButton> {
    Q_OBJECT
public:
    static constexpr int side = 24;
    static constexpr int fillSide = 18;
    using Fill = std::function<void(QPainter& painter, const QRectF& area)>;

    FrameSwatch(const QString& label, Fill fill, bool selectable, QWidget* parent = nullptr);

    QSize sizeHint() const override { return {side, side}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Fill m_fill;
};

// The frame background row: the six gradient presets, the three solid colours, "Transparent"
// and the custom colour well, in that order. A click gives the document's frame (or, without
// one, the remembered frame) that background as one undo step; the other fields stay.
//
// The custom well opens a colour dialog that belongs to this row alone: every colour picked in
// it becomes the frame's solid background, a run of colours less than a second apart forming
// one undo step. The dialog closes with the row, and colours never reach a store that is gone.
class FrameSwatches : public QWidget {
    Q_OBJECT
public:
    static constexpr int spacing = 5;
    static const QStringList& solidColors();

    explicit FrameSwatches(AnnotationStore& store, QWidget* parent = nullptr);

    // The eleven swatches in display order; the last is the custom colour well.
    const QList<FrameSwatch*>& swatches() const { return m_swatches; }
    FrameSwatch* customWell() const { return m_swatches.last(); }
    // The open colour dialog, or null.
    QColorDialog* colorDialog() const { return m_colors.dialog(); }
    void setClock(ChangeCoalescer::Clock clock) { m_coalescer = ChangeCoalescer(std::move(clock)); }

    // Applies a colour as if picked in the dialog.
    void applyCustomColor(const QColor& color);
    void openColorDialog();
    // Closes the colour dialog for good: no colour picked in it reaches the store any more.
    void closeColorDialog() { m_colors.close(); }

private:
    void choose(const std::function<void(FrameStyle&)>& change);
    void showSelection(const std::optional<FrameStyle>& frame);

    QPointer<AnnotationStore> m_store;
    QList<FrameSwatch*> m_swatches;
    CustomColorDialog m_colors{*this, [this](const QColor& color) { applyCustomColor(color); }};
    ChangeCoalescer m_coalescer;
};

} // namespace snapkin
