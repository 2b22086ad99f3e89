#pragma once

#include "output/ExportFormat.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;

namespace snapkin {

// The options under the save dialog's file browser: the format, a quality slider for the lossy
// formats (JPEG and WebP) and, when the caller has an editable document, a checkbox for writing
// it next to the image.
//
// Holds the format and quality that the dialog's owner reads once the user confirms, and tells
// the owner of every format choice so the dialog can follow with its filter and file extension.
// Choosing a format, even the one already chosen, reloads that format's remembered quality, so
// a slider position that was never saved is dropped. Only the checkbox writes a setting
// (keys::alsoSaveSnapkinDocument, on every toggle); the owner stores the format and quality.
class SaveOptionsAccessory : public QWidget {
    Q_OBJECT
public:
    // Slider positions run from 30 % to 100 % in steps of 5 %.
    static constexpr int sliderStepPercent = 5;
    static constexpr int minimumPercent = 30;

    SaveOptionsAccessory(ExportFormat format, bool offersDocument, QWidget* parent = nullptr);

    ExportFormat format() const { return m_format; }
    // Encoder quality, 1 best; 0.3...1 once the slider has moved.
    double quality() const { return m_quality; }
    // On only when the document row is offered and its checkbox is on.
    bool offersDocument() const { return m_offersDocument; }
    bool savesDocument() const;

    // Called with the new format whenever the user picks one.
    std::function<void(ExportFormat)> onFormatChange;

    // The controls, for keyboard focus order and tests.
    QComboBox* formatPopup() const { return m_popup; }
    QSlider* qualitySlider() const { return m_slider; }
    QLabel* percentLabel() const { return m_percent; }
    QCheckBox* documentCheckbox() const { return m_documentCheckbox; }
    bool isQualityRowShown() const;
    bool isDocumentRowShown() const;

    // What the percent label shows for a quality: 0.92 -> "92%", halves rounded away from zero.
    static QString percentText(double quality);

private:
    void syncQualityRow();
    void formatChosen(int index);
    void qualityMoved(int position);
    void documentToggled(bool on);

    ExportFormat m_format;
    double m_quality;
    bool m_offersDocument;
    QComboBox* m_popup = nullptr;
    QSlider* m_slider = nullptr;
    QLabel* m_percent = nullptr;
    QLabel* m_qualityLabel = nullptr;
    QWidget* m_qualityRow = nullptr;
    QCheckBox* m_documentCheckbox = nullptr;
};

} // namespace snapkin
