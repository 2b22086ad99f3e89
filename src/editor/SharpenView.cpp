#include "editor/SharpenView.h"

#include "editor/DetailCrop.h"
#include "editor/SheetStyle.h"
#include "model/AnnotationStore.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace snapkin {

using platform::L10n;
using sheetstyle::TextStyle;

namespace {

constexpr double cornerRadius = 4;
const QColor previewGrey(142, 142, 147);

QColor grey(double opacity)
{
    QColor color = previewGrey;
    color.setAlphaF(opacity);
    return color;
}

constexpr const char* amountSliderName = "sharpenAmount";

// The Amount slider to assistive technology: a percentage from 1 to 100, its value read as the
// sheet shows it ("50 %"), not in the slider's hundredths of a percent.
class AmountAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AmountAccessible(QSlider* slider) : QAccessibleWidget(slider, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value) return SharpenView::percentText(percent());
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return percent(); }
    void setCurrentValue(const QVariant& value) override
    {
        const double wanted = std::clamp(value.toDouble(), 1.0, 100.0);
        slider()->setValue(int(std::round(wanted * SharpenView::sliderSteps)));
    }
    QVariant maximumValue() const override { return 100.0; }
    QVariant minimumValue() const override { return 1.0; }
    QVariant minimumStepSize() const override { return 1.0; }

private:
    QSlider* slider() const { return static_cast<QSlider*>(widget()); }
    double percent() const { return double(slider()->value()) / SharpenView::sliderSteps; }
};

QAccessibleInterface* amountFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("QSlider") &&
        object->objectName() == QLatin1String(amountSliderName))
        return new AmountAccessible(static_cast<QSlider*>(object));
    return nullptr;
}

} // namespace

SharpenPreview::SharpenPreview(QWidget* parent) : QWidget(parent)
{
    setFixedSize(boxSize);
}

void SharpenPreview::setImage(std::optional<platform::BaseImage> image)
{
    m_image = std::move(image);
    update();
}

void SharpenPreview::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath box;
    box.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.save();
    painter.setClipPath(box);
    if (m_image && !m_image->isNull()) {
        // At its own point size, centred: a small image keeps empty space around it.
        const QSizeF size = m_image->pointSize();
        const QRectF target(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2),
                            size);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, m_image->image());
    } else {
        painter.fillPath(box, grey(0.15));
    }
    painter.restore();
    // The edge, inside the box.
    painter.setPen(QPen(grey(0.35), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius - 0.5,
                            cornerRadius - 0.5);
}

double SharpenView::storedAmount()
{
    const double stored = platform::Defaults::standard().get(keys::sharpenAmount);
    // Missing reads 0. A value from outside the sheet is brought into the slider's range.
    if (!(stored > 0)) return 50;
    return std::clamp(stored, 1.0, 100.0);
}

QString SharpenView::percentText(double percent)
{
    // Not translated: a number and its sign.
    return QString::number(int(std::trunc(percent))) + QStringLiteral(" %");
}

int SharpenView::appliedPercent(double percent)
{
    return int(std::round(percent)); // halves away from zero
}

SharpenView::SharpenView(AnnotationStore& store, QWidget* parent)
    : QDialog(parent), m_store(store),
      m_region(detailCrop(store.image(), QSizeF(SharpenPreview::boxSize)))
{
    setWindowTitle(L10n::text("Sharpen Image"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(16);
    column->addWidget(sheetstyle::label(L10n::text("Sharpen Image"), TextStyle::headline, this));

    m_before = new SharpenPreview(this);
    m_before->setImage(m_region);
    m_after = new SharpenPreview(this);
    auto* previews = new QHBoxLayout;
    previews->setSpacing(12);
    previews->addWidget(previewColumn(m_before, L10n::text("Before")));
    previews->addWidget(previewColumn(m_after, L10n::text("After")));
    previews->addStretch(1);
    column->addLayout(previews);

    auto* amountRow = new QHBoxLayout;
    amountRow->setSpacing(10);
    QLabel* title = sheetstyle::label(L10n::text("Amount"), TextStyle::callout, this);
    amountRow->addWidget(title);
    [[maybe_unused]] static const bool accessible = [] {
        QAccessible::installFactory(amountFactory);
        return true;
    }();
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(QLatin1String(amountSliderName));
    m_slider->setRange(1 * sliderSteps, 100 * sliderSteps);
    m_slider->setAccessibleName(L10n::text("Amount"));
    title->setBuddy(m_slider);
    amountRow->addWidget(m_slider, 1);
    m_percent = new QLabel(this);
    m_percent->setFont(sheetstyle::monospaceFont(this, TextStyle::callout));
    m_percent->setFixedWidth(44);
    m_percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    amountRow->addWidget(m_percent);
    column->addLayout(amountRow);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_cancel = new QPushButton(L10n::text("Cancel"), this);
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_sharpen = new QPushButton(L10n::text("Sharpen"), this);
    m_sharpen->setDefault(true);
    connect(m_sharpen, &QPushButton::clicked, this, &SharpenView::sharpenImage);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_sharpen);
    column->addLayout(buttons);

    setAmount(storedAmount());
    connect(m_slider, &QSlider::valueChanged, this, &SharpenView::amountChanged);
    amountChanged();
    setFixedWidth(sheetWidth);
    m_slider->setFocus();
}

QWidget* SharpenView::previewColumn(SharpenPreview* preview, const QString& title)
{
    auto* box = new QWidget(this);
    auto* stack = new QVBoxLayout(box);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(4);
    preview->setParent(box);
    // The picture says nothing to assistive technology; the caption names it.
    preview->setAccessibleName(QString());
    stack->addWidget(preview);
    stack->addWidget(sheetstyle::label(title, TextStyle::caption, box, true));
    return box;
}

double SharpenView::amount() const
{
    return double(m_slider->value()) / sliderSteps;
}

void SharpenView::setAmount(double percent)
{
    m_slider->setValue(int(std::round(std::clamp(percent, 1.0, 100.0) * sliderSteps)));
}

void SharpenView::amountChanged()
{
    const QString text = percentText(amount());
    m_percent->setText(text);
    m_slider->setAccessibleDescription(text);
    // The After preview changes with the whole-percent part only.
    const int whole = int(std::trunc(amount()));
    if (m_afterPercent == whole) return;
    m_afterPercent = whole;
    if (!m_region) return;
    // The same radius and strength as "Sharpen" gives the whole image, on the region alone.
    m_after->setImage(AnnotationStore::sharpened(*m_region, appliedPercent(amount()) / 100.0));
}

void SharpenView::sharpenImage()
{
    const int percent = appliedPercent(amount());
    platform::Defaults::standard().set(keys::sharpenAmount, double(percent));
    m_store.sharpen(percent / 100.0);
    accept();
}

void SharpenView::done(int result)
{
    QDialog::done(result);
    if (m_store.isSharpening()) m_store.setIsSharpening(false);
}

} // namespace snapkin
