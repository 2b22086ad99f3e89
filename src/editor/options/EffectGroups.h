#pragma once

#include "model/AnnotationKinds.h"

#include <QPointer>
#include <QWidget>

#include <array>

class QAbstractButton;

namespace snapkin {

class AnnotationStore;
class OptionButton;
class OptionSlider;
class PercentMenu;

// The pixelate tool's row: one button per obscuring style and, for pixelate and blur only, the
// strength slider (0.4 … 3.0). Each control changes the store's setting for new regions and a
// selected pixelate region with it: a style click is one undo step when the region changes, a
// slider drag one step for the whole drag, opened only over a selected region.
class ObscureGroup : public QWidget {
    Q_OBJECT
public:
    static constexpr double minStrength = 0.4;
    static constexpr double maxStrength = 3.0;

    explicit ObscureGroup(AnnotationStore& store, QWidget* parent = nullptr);

    const std::array<OptionButton*, 4>& styleButtons() const { return m_buttons; }
    OptionSlider* strengthSlider() const { return m_slider; }
    // The divider, symbol and slider, shown only for pixelate and blur.
    QWidget* strengthGroup() const { return m_strength; }
    // "1.0×".
    static QString strengthText(double strength);

private:
    void refresh();

    QPointer<AnnotationStore> m_store;
    std::array<OptionButton*, 4> m_buttons{};
    QWidget* m_strength = nullptr;
    OptionSlider* m_slider = nullptr;
};

// The spotlight tool's row: the rectangle and ellipse shape buttons, a divider, then the
// dimming slider (20 … 90 %) and the dimming menu. The percentage shown is the dimming rounded
// to the nearest whole percent.
class SpotlightGroup : public QWidget {
    Q_OBJECT
public:
    static constexpr int minPercent = 20;
    static constexpr int maxPercent = 90;

    explicit SpotlightGroup(AnnotationStore& store, QWidget* parent = nullptr);

    OptionButton* rectangleButton() const { return m_rectangle; }
    OptionButton* ellipseButton() const { return m_ellipse; }
    OptionSlider* dimSlider() const { return m_slider; }
    PercentMenu* dimMenu() const { return m_menu; }
    // A dimming fraction as a whole percent, to the nearest.
    static int percent(double dim);

private:
    void refresh();
    void setPercent(double percent, bool recordingUndo);
    void beginDimChange();
    void rememberDim();

    QPointer<AnnotationStore> m_store;
    OptionButton* m_rectangle = nullptr;
    OptionButton* m_ellipse = nullptr;
    OptionSlider* m_slider = nullptr;
    PercentMenu* m_menu = nullptr;
};

// The sticker tool's row: one button per sticker, the current one on a brand tint.
class StickerGroup : public QWidget {
    Q_OBJECT
public:
    static const QStringList& emojis();

    explicit StickerGroup(AnnotationStore& store, QWidget* parent = nullptr);

    const QList<QAbstractButton*>& buttons() const { return m_buttons; }

private:
    void refresh();

    QPointer<AnnotationStore> m_store;
    QList<QAbstractButton*> m_buttons;
};

} // namespace snapkin
