#pragma once

#include "platform/BaseImage.h"

#include <QDialog>
#include <QWidget>

#include <optional>

class QLabel;
class QPushButton;
class QSlider;

namespace snapkin {

class AnnotationStore;

// One preview of the Sharpen Image sheet: the picture at its own point size (never scaled),
// centred in a fixed box with rounded corners and a faint edge; a faint grey fill without one.
class SharpenPreview : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize boxSize{150, 120};

    explicit SharpenPreview(QWidget* parent = nullptr);
    void setImage(std::optional<platform::BaseImage> image);
    const std::optional<platform::BaseImage>& image() const { return m_image; }
    QSize sizeHint() const override { return boxSize; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<platform::BaseImage> m_image;
};

// The "Sharpen Image" sheet of an editor page. It sharpens the whole base image with an unsharp
// mask of the chosen strength, 1 to 100 %, as one undo step; before that it shows the region
// with the most fine detail as it is ("Before") and sharpened ("After").
//
// The slider moves in hundredths of a percent. The shown percentage truncates, while the
// applied and remembered one rounds ("49 %" at 49.6 applies and stores 50). The After preview is
// made from the small Before region only, and only when the whole-percent part changes. The
// strength is remembered under keys::sharpenAmount by "Sharpen" only; a missing or non-positive
// value opens at 50. Closing the sheet, however it happens, clears the store's sharpen request.
class SharpenView : public QDialog {
    Q_OBJECT
public:
    static constexpr int sheetWidth = 360;
    // The slider's steps per percent.
    static constexpr int sliderSteps = 100;

    // `store` must outlive the sheet.
    explicit SharpenView(AnnotationStore& store, QWidget* parent = nullptr);

    // In percent.
    double amount() const;
    void setAmount(double percent);
    // "49 %".
    static QString percentText(double percent);
    // The whole percentage that "Sharpen" applies and stores.
    static int appliedPercent(double percent);
    // The amount the sheet opens with, from the setting.
    static double storedAmount();

    SharpenPreview* beforePreview() const { return m_before; }
    SharpenPreview* afterPreview() const { return m_after; }
    QSlider* slider() const { return m_slider; }
    QLabel* percentLabel() const { return m_percent; }
    QPushButton* cancelButton() const { return m_cancel; }
    QPushButton* sharpenButton() const { return m_sharpen; }

    void done(int result) override;

private:
    QWidget* previewColumn(SharpenPreview* preview, const QString& title);
    void amountChanged();
    void sharpenImage();

    AnnotationStore& m_store;
    std::optional<platform::BaseImage> m_region;
    SharpenPreview* m_before = nullptr;
    SharpenPreview* m_after = nullptr;
    QSlider* m_slider = nullptr;
    QLabel* m_percent = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_sharpen = nullptr;
    // The whole percent the After preview was made for; none before the first.
    std::optional<int> m_afterPercent;
};

} // namespace snapkin
