#include "ui/output/SaveOptionsAccessory.h"

#include "platform/Defaults.h"
#include "platform/L10n.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>

#include <cmath>

namespace snapkin {

using platform::L10n;

SaveOptionsAccessory::SaveOptionsAccessory(ExportFormat format, bool offersDocument,
                                           QWidget* parent)
    : QWidget(parent), m_format(format), m_quality(snapkin::quality(format)),
      m_offersDocument(offersDocument)
{
    m_popup = new QComboBox(this);
    for (ExportFormat f : allExportFormats)
        m_popup->addItem(label(f), toRaw(f));
    m_popup->setCurrentIndex(m_popup->findData(toRaw(m_format)));
    m_popup->setAccessibleName(L10n::text("Format"));
    // `activated` also fires when the chosen entry is picked again, which reloads its quality.
    connect(m_popup, &QComboBox::activated, this, &SaveOptionsAccessory::formatChosen);

    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setRange(minimumPercent / sliderStepPercent, 100 / sliderStepPercent);
    m_slider->setPageStep(2);
    m_slider->setTickPosition(QSlider::TicksBelow);
    m_slider->setTickInterval(1);
    m_slider->setFixedWidth(160);
    m_slider->setAccessibleName(L10n::text("Quality"));
    connect(m_slider, &QSlider::valueChanged, this, &SaveOptionsAccessory::qualityMoved);

    m_percent = new QLabel(this);
    m_percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_percent->setFixedWidth(44);

    m_qualityRow = new QWidget(this);
    auto* stack = new QHBoxLayout(m_qualityRow);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(8);
    stack->addWidget(m_slider);
    stack->addWidget(m_percent);

    m_documentCheckbox = new QCheckBox(L10n::text("Also save Snapkin document"), this);
    m_documentCheckbox->setChecked(
        platform::Defaults::standard().get(keys::alsoSaveSnapkinDocument));
    m_documentCheckbox->setToolTip(L10n::text(
        "Saves an .snapkin file next to the image, so you can reopen it later and keep editing "
        "the annotations."));
    connect(m_documentCheckbox, &QCheckBox::toggled, this, &SaveOptionsAccessory::documentToggled);

    auto* formatLabel = new QLabel(L10n::text("Format:"), this);
    formatLabel->setBuddy(m_popup);
    m_qualityLabel = new QLabel(L10n::text("Quality:"), this);
    m_qualityLabel->setBuddy(m_slider);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(10);
    grid->addWidget(formatLabel, 0, 0, Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(m_popup, 0, 1, Qt::AlignLeft | Qt::AlignVCenter);
    grid->addWidget(m_qualityLabel, 1, 0, Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(m_qualityRow, 1, 1, Qt::AlignLeft | Qt::AlignVCenter);
    grid->addWidget(m_documentCheckbox, 2, 1, Qt::AlignLeft | Qt::AlignVCenter);
    m_documentCheckbox->setVisible(m_offersDocument);

    // The grid sits centred, 12 points from the top and bottom and at least 20 from the sides.
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(20, 12, 20, 12);
    outer->addStretch(1);
    outer->addLayout(grid);
    outer->addStretch(1);

    setTabOrder(m_popup, m_slider);
    setTabOrder(m_slider, m_documentCheckbox);
    syncQualityRow();
}

bool SaveOptionsAccessory::savesDocument() const
{
    return m_offersDocument && m_documentCheckbox->isChecked();
}

bool SaveOptionsAccessory::isQualityRowShown() const
{
    return !m_qualityRow->isHidden();
}

bool SaveOptionsAccessory::isDocumentRowShown() const
{
    return !m_documentCheckbox->isHidden();
}

QString SaveOptionsAccessory::percentText(double quality)
{
    const double percent = std::isfinite(quality) ? std::round(quality * 100.0) : 0.0;
    return QString::number(qint64(percent)) + QLatin1Char('%');
}

void SaveOptionsAccessory::syncQualityRow()
{
    const bool lossy = isLossy(m_format);
    m_qualityLabel->setVisible(lossy);
    m_qualityRow->setVisible(lossy);
    {
        // Moving the slider to the quality is not a user's move.
        const QSignalBlocker block(m_slider);
        m_slider->setValue(int(std::lround(m_quality * 100.0 / sliderStepPercent)));
    }
    m_percent->setText(percentText(m_quality));
    m_slider->setToolTip(
        m_format == ExportFormat::webp
            ? L10n::text("Lower values produce smaller files but more compression artefacts. "
                         "100% is lossless.")
            : L10n::text("Lower values produce smaller files but more compression artefacts."));
}

void SaveOptionsAccessory::formatChosen(int index)
{
    const auto chosen = fromRaw<ExportFormat>(m_popup->itemData(index).toString());
    if (!chosen) return;
    m_format = *chosen;
    m_quality = snapkin::quality(m_format);
    syncQualityRow();
    if (onFormatChange) onFormatChange(m_format);
}

void SaveOptionsAccessory::qualityMoved(int position)
{
    m_quality = position * sliderStepPercent / 100.0;
    m_percent->setText(percentText(m_quality));
}

void SaveOptionsAccessory::documentToggled(bool on)
{
    platform::Defaults::standard().set(keys::alsoSaveSnapkinDocument, on);
}

} // namespace snapkin
