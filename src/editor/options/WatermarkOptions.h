#pragma once

#include "model/Watermark.h"

#include <QAbstractButton>
#include <QByteArray>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QLineEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;

namespace snapkin {

class AnnotationStore;
class OptionSlider;
class OptionSwitch;

// The watermark popover of the frame tool's bar: a 320-point panel that pops up under the
// watermark button and closes on any click outside it. From top to bottom: the "Watermark"
// switch; Text/Image segments; the text field with three colour swatches, or the logo
// preview with "Choose Logo…"; the 3 × 3 position cells with "Tile"; the Opacity and Size
// sliders. Below the switch everything is disabled while the document has no watermark, and
// then shows the remembered watermark.
//
// It keeps no copy of the watermark: every control shows the document's watermark (or the
// remembered one) and every edit writes a whole new value through the store. Discrete
// choices are one undo step each; typing after the user focuses the text field is one step,
// and so is a slider drag (keyboard and wheel runs on a slider are grouped by the second).
// Opening the popover never focuses the text field, so it never marks the document changed.
class WatermarkOptions : public QWidget {
    Q_OBJECT
public:
    static constexpr int popoverWidth = 320;
    static const QStringList& textColors();

    // Runs the logo picker; the default is a file dialog whose image FrameSettings::importLogo
    // takes.
    using LogoChooser = std::function<std::optional<QByteArray>(QWidget* parent)>;

    // A popup owned by `parent` (the bar), shown with popUp().
    WatermarkOptions(AnnotationStore& store, QWidget* parent);

    // Shows the popover centred under `anchor`.
    void popUp(QWidget* anchor);
    void setLogoChooser(LogoChooser chooser) { m_chooseLogo = std::move(chooser); }

    OptionSwitch* watermarkSwitch() const { return m_switch; }
    QWidget* body() const { return m_body; }
    QAbstractButton* kindButton(WatermarkKind kind) const
    {
        return kind == WatermarkKind::text ? m_textKind : m_imageKind;
    }
    QLineEdit* textField() const { return m_text; }
    const QList<QAbstractButton*>& colorSwatches() const { return m_colors; }
    QPushButton* chooseLogoButton() const { return m_chooseLogoButton; }
    const QList<QAbstractButton*>& positionCells() const { return m_cells; }
    QAbstractButton* tileButton() const { return m_tile; }
    OptionSlider* opacitySlider() const { return m_opacity; }
    // Whether the logo preview shows an image (else the "photo" symbol).
    bool showsLogo() const;

    // Runs "Choose Logo…".
    void chooseLogo();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void edit(const std::function<void(Watermark&)>& change, bool recordingUndo);
    void showWatermark(const std::optional<Watermark>& watermark);

    QPointer<AnnotationStore> m_store;
    QPointer<QWidget> m_anchor;
    LogoChooser m_chooseLogo;
    OptionSwitch* m_switch = nullptr;
    QWidget* m_body = nullptr;
    QAbstractButton* m_textKind = nullptr;
    QAbstractButton* m_imageKind = nullptr;
    QStackedWidget* m_kindRows = nullptr;
    QLineEdit* m_text = nullptr;
    QList<QAbstractButton*> m_colors;
    QWidget* m_logoPreview = nullptr;
    QPushButton* m_chooseLogoButton = nullptr;
    QList<QAbstractButton*> m_cells;
    QToolButton* m_tile = nullptr;
    OptionSlider* m_opacity = nullptr;
    OptionSlider* m_size = nullptr;
};

} // namespace snapkin
