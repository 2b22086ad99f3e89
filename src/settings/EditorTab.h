#pragma once

#include "settings/SettingsForm.h"

#include <QColorDialog>
#include <QPointer>

class QComboBox;
class QPushButton;
class QSlider;

namespace snapkin {

// The drawing defaults of new editor windows: colour, line width, arrow head, text size,
// obscure style, spotlight shape and stamp. A new editor reads them once when it opens, so a
// change reaches the windows opened afterwards. While a key is absent the controls show the
// editor's own starting values (#FF3366, 20, tapered, 18, pixelate, ellipse, check).
class EditorTab : public SettingsForm {
    Q_OBJECT
public:
    explicit EditorTab(platform::Defaults& settings, QWidget* parent = nullptr);

    QPushButton* colorButton() const { return m_color; }
    QWidget* swatch() const { return m_swatch; }
    // The height the swatch paints its line at.
    double swatchLineHeight() const;
    QSlider* lineWidthSlider() const { return m_lineWidth; }
    QLabel* lineWidthText() const { return m_lineWidthText; }
    QComboBox* arrowPicker() const { return m_arrow; }
    QComboBox* textSizePicker() const { return m_textSize; }
    QComboBox* obscurePicker() const { return m_obscure; }
    QComboBox* spotlightPicker() const { return m_spotlight; }
    QComboBox* stampPicker() const { return m_stamp; }

    // Stores a colour as if chosen in the colour dialog.
    void applyColor(const QColor& color);
    // Opens the colour dialog (without alpha, not modal) on the stored colour, or brings the
    // open one forward. Each colour picked in it is stored at once; Cancel stores the colour
    // from before it opened again.
    void openColorDialog();
    // The open colour dialog, or null.
    QColorDialog* colorDialog() const { return m_colorDialog; }

private:
    QString storedColorHex() const;
    double storedLineWidth() const;
    void refreshColor();
    void refreshLineWidth();

    platform::Defaults& m_settings;
    QPushButton* m_color = nullptr;
    QWidget* m_swatch = nullptr;
    QSlider* m_lineWidth = nullptr;
    QLabel* m_lineWidthText = nullptr;
    QComboBox* m_arrow = nullptr;
    QComboBox* m_textSize = nullptr;
    QComboBox* m_obscure = nullptr;
    QComboBox* m_spotlight = nullptr;
    QComboBox* m_stamp = nullptr;
    QPointer<QColorDialog> m_colorDialog;
};

} // namespace snapkin
