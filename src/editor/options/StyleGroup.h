#pragma once

#include "editor/options/ChangeCoalescer.h"
#include "editor/options/CustomColorDialog.h"
#include "editor/options/OptionControls.h"
#include "editor/options/OptionGroups.h"
#include "model/Tool.h"

#include <QPointer>
#include <QWidget>

#include <array>

class QColorDialog;
class QFontComboBox;
class QMenu;
class QToolButton;

namespace snapkin {

class AnnotationExtrasOptions;
class AnnotationStore;
class SavedStyles;
class OptionButton;
class OptionSlider;
class PercentMenu;
class SavedStyleMenu;

// One colour of the style group: a filled circle with a thin outline, ringed in the brand
// colour while it is the current colour. The custom well is the same button showing a colour
// wheel around the current colour.
class StyleSwatch : public StateButton<QAbstractButton> {
    Q_OBJECT
public:
    static constexpr int side = 22;
    StyleSwatch(const QString& hex, const QString& label, bool well, QWidget* parent = nullptr);

    const QString& hex() const { return m_hex; }
    // The well shows the current colour in its middle.
    void setHex(const QString& hex);

    QSize sizeHint() const override { return {side, side}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_hex;
    bool m_well;
};

// The style group of the drawing tools. What a tool shows, at full density:
// - arrow: colours, line widths, head styles and double head, curve, saved styles;
// - text: colours, text size, bold, italic, font, saved styles;
// - rectangle and ellipse: colours, line widths, filled, saved styles;
// - line and pen: colours, line widths;
// - highlight: opacity (new highlights always take the highlighter's colour);
// - stamp: colours, stamp kinds;
// - magnifier: colours (its rim), shape and magnification.
// The crop tool outside crop mode shows nothing. Every group ends with "More Options", a menu
// holding all of the tool's settings; below full density the row drops what that menu
// holds: `compact` drops the width presets and the font box, `overflow` also the palette
// swatches (the custom well stays, showing the current colour), head styles and stamp kinds.
//
// Every control writes the store's setting for new annotations and carries it onto a selected
// annotation that uses it as one undo step (nothing is recorded when it does not change).
// Colour and line width reach the selection directly, as the store's style transfer leaves
// them out. The custom colour dialog belongs to the row: colours picked in it less than a
// second apart form one step, and none reaches a store once the row or its window is gone.
class StyleGroup : public QWidget {
    Q_OBJECT
public:
    static const QStringList& palette();
    static constexpr std::array<double, 5> widths{2, 4, 8, 14, 22};
    static constexpr std::array<int, 19> widthChoices{1,  2,  3,  4,  6,  8,  10, 12, 14, 16,
                                                      18, 20, 22, 26, 30, 36, 40, 50, 60};
    static constexpr std::array<int, 9> textSizes{12, 14, 16, 18, 24, 32, 48, 64, 96};
    static constexpr int minHighlightOpacity = 10;
    static constexpr int maxHighlightOpacity = 100;

    // `library` holds the styles the style menu lists and saves to; it must outlive the group.
    StyleGroup(AnnotationStore& store, Tool tool, OptionsDensity density, SavedStyles& library,
               QWidget* parent = nullptr);

    // Whether `tool` shows anything at all.
    static bool hasGroup(Tool tool);
    static bool usesColor(Tool tool);
    static bool usesWidth(Tool tool);

    Tool tool() const { return m_tool; }
    const QList<StyleSwatch*>& swatches() const { return m_swatches; }
    StyleSwatch* customWell() const { return m_well; }
    const QList<OptionButton*>& widthButtons() const { return m_widthButtons; }
    QToolButton* widthMenuButton() const { return m_widthMenu; }
    OptionButton* doubleHeadButton() const { return m_doubleHead; }
    QToolButton* textSizeButton() const { return m_textSize; }
    OptionButton* boldButton() const { return m_bold; }
    QFontComboBox* fontBox() const { return m_fontBox; }
    OptionSlider* opacitySlider() const { return m_opacity; }
    PercentMenu* opacityMenu() const { return m_opacityMenu; }
    const QList<OptionButton*>& stampButtons() const { return m_stampButtons; }
    AnnotationExtrasOptions* extras() const { return m_extras; }
    SavedStyleMenu* styleMenu() const { return m_styleMenu; }
    QToolButton* moreButton() const { return m_more; }
    QMenu* moreMenu() const { return m_moreMenu; }
    QColorDialog* colorDialog() const { return m_colors.dialog(); }
    void setClock(ChangeCoalescer::Clock clock) { m_coalescer = ChangeCoalescer(std::move(clock)); }

    // What the controls do, also reachable from tests.
    void chooseColor(const QString& hex, bool recordingUndo = true);
    void chooseWidth(double width);
    // Applies a colour as if picked in the dialog.
    void applyCustomColor(const QColor& color);
    void openColorDialog();

private:
    void addColors(bool swatchesShown);
    void addWidths(bool presetsShown);
    void addArrowControls(bool headsShown);
    void addTextControls(bool fontShown);
    void addHighlightControls();
    void addStampControls();
    void buildMoreMenu();
    void fillMoreMenu();
    void divider();
    void refresh();
    // Sets one tool setting and carries the settings onto the selection as one step.
    void applying(const std::function<void(AnnotationStore&)>& set);

    QPointer<AnnotationStore> m_store;
    Tool m_tool;
    OptionsDensity m_density;
    QList<StyleSwatch*> m_swatches;
    StyleSwatch* m_well = nullptr;
    QList<OptionButton*> m_widthButtons;
    QToolButton* m_widthMenu = nullptr;
    QList<OptionButton*> m_headButtons;
    OptionButton* m_doubleHead = nullptr;
    QToolButton* m_textSize = nullptr;
    OptionButton* m_bold = nullptr;
    OptionButton* m_italic = nullptr;
    QFontComboBox* m_fontBox = nullptr;
    OptionButton* m_filled = nullptr;
    OptionSlider* m_opacity = nullptr;
    PercentMenu* m_opacityMenu = nullptr;
    QList<OptionButton*> m_stampButtons;
    AnnotationExtrasOptions* m_extras = nullptr;
    SavedStyleMenu* m_styleMenu = nullptr;
    QToolButton* m_more = nullptr;
    QMenu* m_moreMenu = nullptr;
    CustomColorDialog m_colors{*this, [this](const QColor& color) { applyCustomColor(color); }};
    ChangeCoalescer m_coalescer;
    bool m_anyControl = false;
};

} // namespace snapkin
