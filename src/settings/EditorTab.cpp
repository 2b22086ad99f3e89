#include "settings/EditorTab.h"

#include "editor/options/StyleGroup.h"
#include "model/AnnotationKinds.h"
#include "model/Color.h"
#include "model/ColorName.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"
#include "platform/Symbols.h"
#include "settings/ChoicePicker.h"
#include "settings/TabularDigitsLabel.h"

#include <QColorDialog>
#include <QComboBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSlider>

#include <cmath>

namespace snapkin {

using platform::L10n;

namespace {

constexpr double fallbackLineWidth = 20;
constexpr double fallbackTextSize = 18;
constexpr int maximumLineWidth = 60;
constexpr int swatchWidth = 32;

// The colour of the setting, painted as a rounded rectangle; its height follows the width.
class LineSwatch : public QWidget {
public:
    explicit LineSwatch(QWidget* parent = nullptr) : QWidget(parent)
    {
        setFixedSize(swatchWidth, 22);
    }
    void set(const QColor& color, double height)
    {
        m_color = color;
        m_height = height;
        update();
    }
    double lineHeight() const { return m_height; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        const QRectF rect(0, (height() - m_height) / 2, width(), m_height);
        path.addRoundedRect(rect, std::min(2.0, m_height / 2), std::min(2.0, m_height / 2));
        painter.fillPath(path, m_color);
    }

private:
    QColor m_color;
    double m_height = 1;
};

// The colour control: a well of the stored colour beside its hex text.
class ColorWell : public QPushButton {
public:
    explicit ColorWell(QWidget* parent = nullptr) : QPushButton(parent) {}
    void setColor(const QColor& color, const QString& hex)
    {
        m_color = color;
        setText(hex);
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPushButton::paintEvent(event);
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const int side = height() - 12;
        const QRectF well(8, 6, side, side);
        painter.setPen(QPen(palette().color(QPalette::Mid), 1));
        painter.setBrush(m_color);
        painter.drawRoundedRect(well, 3, 3);
    }
    QSize sizeHint() const override
    {
        const QSize base = QPushButton::sizeHint();
        return {base.width() + base.height(), base.height()};
    }

private:
    QColor m_color;
};

template <typename E>
QComboBox* enumPicker(platform::Defaults& settings, const platform::Setting<QString>& storedKey,
                      E fallback, const char* (*symbol)(E) = nullptr)
{
    auto* picker = new ChoicePicker;
    for (const E value : allCases<E>) {
        const QIcon icon =
            symbol ? platform::Symbols::icon(QString::fromLatin1(symbol(value))) : QIcon();
        picker->addItem(icon, label(value), toRaw(value));
    }
    const QVariant stored = settings.object(storedKey);
    picker->setCurrentIndex(
        picker->findData(stored.isValid() ? stored.toString() : toRaw(fallback)));
    QObject::connect(picker, &QComboBox::activated, picker, [picker, &settings, storedKey](int i) {
        if (i >= 0) settings.setValue(storedKey, picker->itemData(i));
    });
    return picker;
}

const char* stampSymbol(StampKind kind)
{
    switch (kind) {
    case StampKind::check:
        return "checkmark";
    case StampKind::cross:
        return "xmark";
    case StampKind::exclamation:
        return "exclamationmark";
    case StampKind::question:
        return "questionmark";
    case StampKind::star:
        return "star.fill";
    case StampKind::dot:
        return "circle.fill";
    case StampKind::number:
        return "1.circle.fill";
    }
    return "";
}

// The editor's palette entry equal to `hex` ignoring case, or nothing.
std::optional<QString> paletteHex(const QString& hex)
{
    for (const QString& entry : StyleGroup::palette()) {
        if (entry.compare(hex, Qt::CaseInsensitive) == 0) return entry;
    }
    return std::nullopt;
}

// The height of the line-width swatch: the width clamped to 1…22 points.
double swatchHeight(double lineWidth)
{
    if (!std::isfinite(lineWidth)) return 1;
    return std::clamp(lineWidth, 1.0, 22.0);
}

} // namespace

EditorTab::EditorTab(platform::Defaults& settings, QWidget* parent)
    : SettingsForm(parent), m_settings(settings)
{
    auto* drawing = addSection(L10n::text("Drawing defaults"));
    auto* well = new ColorWell;
    m_color = well;
    connect(m_color, &QPushButton::clicked, this, &EditorTab::openColorDialog);
    drawing->addRow(QStringLiteral("paintpalette"), L10n::text("Default color"), m_color);

    m_swatch = new LineSwatch;
    m_lineWidth = new QSlider(Qt::Horizontal);
    m_lineWidth->setRange(1, maximumLineWidth);
    m_lineWidth->setSingleStep(1);
    m_lineWidth->setMaximumWidth(160);
    m_lineWidth->setMinimumWidth(120);
    m_lineWidth->setAccessibleName(L10n::text("Default line width"));
    auto* lineWidthText = new TabularDigitsLabel;
    // As wide as the widest width the slider sets, so the slider beside it stays put.
    lineWidthText->reserveWidthFor(L10n::format("%lld px", qint64(maximumLineWidth)));
    m_lineWidthText = lineWidthText;
    m_lineWidthText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(m_lineWidth, &QSlider::valueChanged, this, [this](int value) {
        m_settings.set(keys::defaultLineWidth, double(value));
        refreshLineWidth();
    });
    drawing->addRow(QStringLiteral("lineweight"), L10n::text("Default line width"),
                    controlRow(10, {m_swatch, m_lineWidth, m_lineWidthText}));

    m_arrow = enumPicker(settings, keys::defaultArrowHead, ArrowHeadStyle::tapered);
    drawing->addRow(QStringLiteral("arrow.up.right"), L10n::text("Default arrow style"), m_arrow);

    auto* text = addSection(L10n::text("Text"));
    m_textSize = new ChoicePicker;
    for (const int size : {10, 12, 14, 18, 24, 36, 48})
        m_textSize->addItem(L10n::format("%lld px", size), double(size));
    const QVariant storedSize = settings.object(keys::defaultTextSize);
    m_textSize->setCurrentIndex(
        m_textSize->findData(storedSize.isValid() ? storedSize.toDouble() : fallbackTextSize));
    connect(m_textSize, &QComboBox::activated, this, [this](int i) {
        if (i >= 0) m_settings.set(keys::defaultTextSize, m_textSize->itemData(i).toDouble());
    });
    text->addRow(QStringLiteral("textformat.size"), L10n::text("Default text size"), m_textSize);

    auto* tools = addSection(L10n::text("Tool defaults"));
    m_obscure = enumPicker(settings, keys::defaultObscureStyle, ObscureStyle::pixelate);
    tools->addRow(QStringLiteral("eye.slash"), L10n::text("Obscure style"), m_obscure);
    m_spotlight = new ChoicePicker;
    m_spotlight->addItem(L10n::text("Ellipse"), true);
    m_spotlight->addItem(L10n::text("Rectangle"), false);
    const QVariant ellipse = settings.object(keys::defaultSpotlightEllipse);
    m_spotlight->setCurrentIndex(
        m_spotlight->findData(ellipse.typeId() == QMetaType::Bool ? ellipse.toBool() : true));
    connect(m_spotlight, &QComboBox::activated, this, [this](int i) {
        if (i >= 0)
            m_settings.set(keys::defaultSpotlightEllipse, m_spotlight->itemData(i).toBool());
    });
    tools->addRow(QStringLiteral("viewfinder"), L10n::text("Spotlight shape"), m_spotlight);
    m_stamp = enumPicker(settings, keys::defaultStampKind, StampKind::check, &stampSymbol);
    tools->addRow(QStringLiteral("checkmark.seal"), L10n::text("Stamp"), m_stamp);

    refreshColor();
    refreshLineWidth();
}

double EditorTab::swatchLineHeight() const
{
    return static_cast<LineSwatch*>(m_swatch)->lineHeight();
}

QString EditorTab::storedColorHex() const
{
    const QString stored = m_settings.get(keys::defaultColor);
    return stored.isEmpty() ? QString::fromLatin1(Color::brandHex) : stored;
}

double EditorTab::storedLineWidth() const
{
    return m_settings.isNumber(keys::defaultLineWidth) ? m_settings.get(keys::defaultLineWidth)
                                                       : fallbackLineWidth;
}

void EditorTab::refreshColor()
{
    const QString hex = storedColorHex();
    const QColor color = Color::fromHex(hex);
    static_cast<ColorWell*>(m_color)->setColor(color, Color::toHex(color));
    // Screen readers name palette colours; a custom colour is read as its hex text.
    const auto entry = paletteHex(hex);
    m_color->setAccessibleDescription(entry ? ColorName::of(*entry) : QString());
    refreshLineWidth();
}

void EditorTab::refreshLineWidth()
{
    const double width = storedLineWidth();
    {
        const QSignalBlocker block(m_lineWidth);
        m_lineWidth->setValue(
            std::isfinite(width) ? int(std::clamp(width, 1.0, double(maximumLineWidth))) : 1);
    }
    const bool whole = std::isfinite(width) && std::abs(width) < 1e9;
    m_lineWidthText->setText(L10n::format("%lld px", whole ? qint64(std::trunc(width)) : 0));
    static_cast<LineSwatch*>(m_swatch)->set(Color::fromHex(storedColorHex()), swatchHeight(width));
}

void EditorTab::applyColor(const QColor& color)
{
    if (!color.isValid()) return;
    m_settings.set(keys::defaultColor, Color::toHex(color));
    refreshColor();
}

void EditorTab::openColorDialog()
{
    if (m_colorDialog) {
        m_colorDialog->raise();
        m_colorDialog->activateWindow();
        return;
    }
    // What Cancel puts back: the stored text as it was, or no stored value at all.
    const auto& storedKey = keys::defaultColor;
    const std::optional<QVariant> before = m_settings.hasStoredValue(storedKey)
                                               ? std::optional(m_settings.object(storedKey))
                                               : std::nullopt;
    auto* dialog = new QColorDialog(Color::fromHex(storedColorHex()), this);
    m_colorDialog = dialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QColorDialog::ShowAlphaChannel, false);
    dialog->setOption(QColorDialog::DontUseNativeDialog, true);
    dialog->setWindowTitle(L10n::text("Default color"));
    // Every colour picked is stored at once, so the well and the swatch follow the dialog.
    connect(dialog, &QColorDialog::currentColorChanged, this, &EditorTab::applyColor);
    connect(dialog, &QDialog::rejected, this, [this, storedKey, before] {
        if (before)
            m_settings.setValue(storedKey, *before);
        else
            m_settings.removeObject(storedKey);
        refreshColor();
    });
    // Closed one way or another, the next click opens a new dialog on the stored colour.
    connect(dialog, &QDialog::finished, this, [this] { m_colorDialog = nullptr; });
    dialog->setModal(false);
    dialog->show();
}

} // namespace snapkin
