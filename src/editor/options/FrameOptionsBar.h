#pragma once

#include "editor/options/OptionGroups.h"
#include "model/FrameStyle.h"

#include <QPointer>
#include <QWidget>

#include <optional>

class QAbstractButton;
class QAction;
class QActionGroup;
class QCheckBox;
class QMenu;
class QToolButton;

namespace snapkin {

class AnnotationStore;
class FrameSwatches;
class OptionSlider;
class OptionSwitch;
class WatermarkOptions;

// The frame tool's row of the options bar: the "Background" switch, the background swatches,
// the Padding, Corner radius and Shadow sliders, the aspect menu, the watermark button with
// its popover, and "Apply to new captures" (a check box, or at overflow an item of "More
// Options" together with the aspect menu).
//
// The controls show the document's frame, or while it has none the remembered frame, and are
// then disabled (all but the switch and the swatches). Every edit writes a whole frame through
// the store: the switch, a swatch and an aspect item are one undo step each, a slider drag is
// one step, and keyboard or wheel runs on a slider are grouped by the second. "Apply to new
// captures" is one application setting, followed live by every window's bar.
class FrameOptionsBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int spacing = 12;
    static constexpr int separatorHeight = 20;

    FrameOptionsBar(AnnotationStore& store, OptionsDensity density, QWidget* parent = nullptr);

    OptionsDensity density() const { return m_density; }

    OptionSwitch* frameSwitch() const { return m_switch; }
    FrameSwatches* swatches() const { return m_swatches; }
    OptionSlider* paddingSlider() const { return m_padding; }
    OptionSlider* cornerRadiusSlider() const { return m_cornerRadius; }
    OptionSlider* shadowSlider() const { return m_shadow; }
    // Absent at overflow density.
    QToolButton* aspectButton() const { return m_aspectButton; }
    // The six aspect items of the aspect menu (or of "More Options" at overflow).
    const QList<QAction*>& aspectActions() const { return m_aspectActions; }
    QMenu* aspectMenu() const { return m_aspectMenu; }
    QAbstractButton* watermarkButton() const { return m_watermarkButton; }
    // Built when the watermark button is first pressed.
    WatermarkOptions* watermarkOptions() const;
    // Absent at overflow density.
    QCheckBox* applyAlwaysBox() const { return m_applyBox; }
    // Present only at overflow density.
    QToolButton* moreOptionsButton() const { return m_moreButton; }
    QAction* applyAlwaysAction() const { return m_applyAction; }

    void openWatermarkOptions();

private:
    void showFrame(const std::optional<FrameStyle>& frame);
    void showWatermarkState(bool hasWatermark);
    void showApplyAlways();
    OptionSlider* addSlider(const QString& label, const QString& symbol, double maximum,
                            double FrameStyle::*field, int width);

    QPointer<AnnotationStore> m_store;
    OptionsDensity m_density;
    OptionSwitch* m_switch = nullptr;
    FrameSwatches* m_swatches = nullptr;
    OptionSlider* m_padding = nullptr;
    OptionSlider* m_cornerRadius = nullptr;
    OptionSlider* m_shadow = nullptr;
    QList<QWidget*> m_sliderGroups;
    QToolButton* m_aspectButton = nullptr;
    QMenu* m_aspectMenu = nullptr;
    QActionGroup* m_aspectGroup = nullptr;
    QList<QAction*> m_aspectActions;
    QAbstractButton* m_watermarkButton = nullptr;
    QPointer<WatermarkOptions> m_watermarkOptions;
    QCheckBox* m_applyBox = nullptr;
    QToolButton* m_moreButton = nullptr;
    QAction* m_applyAction = nullptr;
};

} // namespace snapkin
