#include "editor/options/WatermarkOptions.h"

#include "editor/options/OptionControls.h"
#include "editor/options/OptionSlider.h"
#include "editor/options/OptionSwitch.h"
#include "editor/options/OptionSymbols.h"
#include "model/AnnotationStore.h"
#include "model/Color.h"
#include "model/ColorName.h"
#include "output/Checkerboard.h"
#include "output/FrameSettings.h"
#include "platform/ImageReader.h"
#include "platform/L10n.h"
#include "platform/Symbols.h"
#include "ui/canvas/handlers/ImagePicker.h"
#include "ui/output/FlattenAlert.h"
#include "ui/output/PackageFileDialogs.h"

#include <QEvent>
#include <QFileDialog>
#include <QFocusEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace snapkin {

namespace {

using platform::L10n;

// Lets the user pick an image and imports it; on failure shows "Couldn't use this image as a
// watermark". Nothing when cancelled or failed.
std::optional<QByteArray> pickLogoFile(QWidget* parent)
{
    QFileDialog dialog(
        parent,
        platform::L10n::text("Choose an image for your watermark. Snapkin keeps its own copy."),
        QString(), imageFileFilter());
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    packagedialogs::startOutsidePackages(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    const QString path = dialog.selectedFiles().front();
    if (path.isEmpty()) return std::nullopt;
    auto imported = FrameSettings::importLogo(path);
    if (imported) return *imported;
    showAlert(platform::L10n::text("Couldn't use this image as a watermark"), QString(), parent);
    return std::nullopt;
}

QColor secondary(const QWidget* widget, double alpha = 0.55)
{
    QColor color = widget->palette().color(QPalette::WindowText);
    color.setAlphaF(float(alpha));
    return color;
}

// A round text-colour swatch: a 16-point dot inside a 22-point ring, brand-coloured while
// selected.
class ColorDot : public StateButton<QAbstractButton> {
public:
    ColorDot(const QString& hex, QWidget* parent) : StateButton(parent), m_hex(hex)
    {
        makeChoice(*this, ColorName::of(hex), {22, 22});
    }
    const QString& hex() const { return m_hex; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF dot(3, 3, 16, 16);
        QColor fill = Color::fromHex(m_hex);
        if (!isEnabled()) fill.setAlphaF(0.45f);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawEllipse(dot);
        painter.setPen(QPen(hairlineColor(), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(dot.adjusted(0.5, 0.5, -0.5, -0.5));
        if (isChecked()) {
            painter.setPen(QPen(Color::brand(), 2));
            painter.drawEllipse(QRectF(1, 1, 20, 20));
        }
    }

private:
    QString m_hex;
};

// One cell of the position grid: a small rounded rectangle, brand-filled while it is the
// watermark's position.
class PositionCell : public StateButton<QAbstractButton> {
public:
    PositionCell(WatermarkPosition position, QWidget* parent) : StateButton(parent)
    {
        makeChoice(*this, label(position), {22, 16});
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor fill = isChecked() ? Color::brand() : secondary(this, 0.25);
        if (!isEnabled()) fill.setAlphaF(fill.alphaF() * 0.5f);
        painter.setPen(hasFocus() ? QPen(palette().color(QPalette::Highlight), 1) : Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    }
};

// The logo in a 44 × 32 box over a checkerboard of 4-point cells; the "photo" symbol when
// there is no logo or its bytes are not an image.
class LogoPreview : public QWidget {
public:
    explicit LogoPreview(QWidget* parent) : QWidget(parent) { setFixedSize(44, 32); }

    void setImageData(const std::optional<QByteArray>& data)
    {
        if (data == m_data) return;
        m_data = data;
        m_image = QImage();
        if (data) {
            if (auto image = platform::readImage(*data)) m_image = std::move(*image);
        }
        update();
    }
    bool showsImage() const { return !m_image.isNull(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QRectF box = rect();
        QPainterPath rounded;
        rounded.addRoundedRect(box, 4, 4);
        painter.save();
        painter.setClipPath(rounded);
        Checkerboard{4}.paint(painter, box);
        if (!m_image.isNull()) {
            QSizeF size = m_image.size();
            size.scale(box.size(), Qt::KeepAspectRatio);
            QRectF target(QPointF(), size);
            target.moveCenter(box.center());
            painter.drawImage(target, m_image);
        } else {
            const QImage symbol = platform::Symbols::image(QStringLiteral("photo"), 16,
                                                           secondary(this), devicePixelRatioF());
            const QSizeF size = QSizeF(symbol.size()) / devicePixelRatioF();
            painter.drawImage(box.center() - QPointF(size.width(), size.height()) / 2, symbol);
        }
        painter.restore();
        painter.setPen(QPen(hairlineColor(), 1));
        painter.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 3.5, 3.5);
    }

private:
    std::optional<QByteArray> m_data;
    QImage m_image;
};

} // namespace

const QStringList& WatermarkOptions::textColors()
{
    static const QStringList colors{QStringLiteral("#FFFFFF"), QStringLiteral("#1C1C1E"),
                                    QStringLiteral("#FF3366")};
    return colors;
}

WatermarkOptions::WatermarkOptions(AnnotationStore& store, QWidget* parent)
    : QWidget(parent, Qt::Popup), m_store(&store), m_chooseLogo(pickLogoFile)
{
    setFixedWidth(popoverWidth);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::ClickFocus);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(12);

    m_switch = new OptionSwitch(L10n::text("Watermark"), true, this);
    QFont headline = m_switch->font();
    headline.setBold(true);
    m_switch->setFont(headline);
    column->addWidget(m_switch, 0, Qt::AlignLeft);
    connect(m_switch, &QAbstractButton::clicked, this, [this](bool on) {
        if (!m_store) return;
        std::optional<Watermark> watermark;
        if (on) watermark = m_store->watermark().value_or(FrameSettings::rememberedWatermark());
        m_store->setWatermark(watermark, true);
        showWatermark(m_store->watermark());
    });

    m_body = new QWidget(this);
    auto* body = new QVBoxLayout(m_body);
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(12);
    column->addWidget(m_body);

    // Text / Image segments.
    auto* segments = new QWidget(m_body);
    auto* segmentRow = rowLayout(segments, 0);
    const auto segment = [&](const QString& text, WatermarkKind kind) {
        auto* button = new StateButton<QToolButton>(segments);
        button->setText(text);
        button->setCheckable(true);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        segmentRow->addWidget(button);
        connect(button, &QAbstractButton::clicked, this,
                [this, kind] { edit([kind](Watermark& w) { w.kind = kind; }, true); });
        return button;
    };
    m_textKind = segment(L10n::text("Text"), WatermarkKind::text);
    m_imageKind = segment(L10n::text("Image"), WatermarkKind::image);
    body->addWidget(segments);

    // The row of the kind: text and colours, or the logo.
    m_kindRows = new QStackedWidget(m_body);
    auto* textRow = new QWidget(m_kindRows);
    auto* textLayout = rowLayout(textRow, 6);
    m_text = new QLineEdit(textRow);
    m_text->setPlaceholderText(L10n::text("Watermark text"));
    m_text->setAccessibleName(L10n::text("Watermark text"));
    m_text->installEventFilter(this);
    textLayout->addWidget(m_text, 1);
    connect(m_text, &QLineEdit::textEdited, this,
            [this](const QString& text) { edit([&text](Watermark& w) { w.text = text; }, false); });
    for (const QString& hex : textColors()) {
        auto* dot = new ColorDot(hex, textRow);
        textLayout->addWidget(dot);
        m_colors.append(dot);
        connect(dot, &QAbstractButton::clicked, this,
                [this, hex] { edit([&hex](Watermark& w) { w.colorHex = hex; }, true); });
    }
    m_kindRows->addWidget(textRow);

    auto* imageRow = new QWidget(m_kindRows);
    auto* imageLayout = rowLayout(imageRow, 10);
    m_logoPreview = new LogoPreview(imageRow);
    imageLayout->addWidget(m_logoPreview);
    m_chooseLogoButton = new QPushButton(L10n::text("Choose Logo…"), imageRow);
    imageLayout->addWidget(m_chooseLogoButton);
    imageLayout->addStretch(1);
    connect(m_chooseLogoButton, &QPushButton::clicked, this, &WatermarkOptions::chooseLogo);
    m_kindRows->addWidget(imageRow);
    body->addWidget(m_kindRows);

    // Position grid and tile on the left, the two sliders on the right.
    auto* placement = new QHBoxLayout;
    placement->setSpacing(14);
    auto* left = new QVBoxLayout;
    left->setSpacing(4);
    left->addWidget(secondaryLabel(L10n::text("Position"), -1.5, m_body));
    auto* grid = new QGridLayout;
    grid->setSpacing(3);
    for (std::size_t i = 0; i < watermarkPositionGrid.size(); ++i) {
        const WatermarkPosition position = watermarkPositionGrid[i];
        auto* cell = new PositionCell(position, m_body);
        grid->addWidget(cell, int(i / 3), int(i % 3), Qt::AlignCenter);
        m_cells.append(cell);
        connect(cell, &QAbstractButton::clicked, this, [this, position] {
            edit([position](Watermark& w) { w.position = position; }, true);
        });
    }
    left->addLayout(grid);
    m_tile = new StateButton<QToolButton>(m_body);
    m_tile->setCheckable(true);
    m_tile->setText(L10n::text("Tile"));
    m_tile->setAccessibleName(L10n::text("Tile"));
    m_tile->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_tile->setAutoRaise(true);
    connect(m_tile, &QAbstractButton::clicked, this,
            [this] { edit([](Watermark& w) { w.position = WatermarkPosition::tile; }, true); });
    left->addWidget(m_tile, 0, Qt::AlignLeft);
    left->addStretch(1);
    placement->addLayout(left);

    auto* right = new QVBoxLayout;
    right->setSpacing(8);
    const auto slider = [&](const QString& title, double minimum, double maximum,
                            double Watermark::*field) {
        auto* group = new QVBoxLayout;
        group->setSpacing(2);
        group->addWidget(secondaryLabel(title, -1.5, m_body));
        auto* s = new OptionSlider(minimum, maximum, m_body);
        s->setAccessibleName(title);
        s->onDragBegin = [this] {
            if (m_store) m_store->beginChange();
        };
        s->onEdit = [this, field](double value, bool recordingUndo) {
            edit([&](Watermark& w) { w.*field = value; }, recordingUndo);
        };
        group->addWidget(s);
        right->addLayout(group);
        return s;
    };
    m_opacity = slider(L10n::text("Opacity"), Watermark::minOpacity, 1.0, &Watermark::opacity);
    m_size = slider(L10n::text("Size"), Watermark::minSize, Watermark::maxSize, &Watermark::size);
    right->addStretch(1);
    placement->addLayout(right, 1);
    body->addLayout(placement);

    connect(&store, &AnnotationStore::watermarkChanged, this,
            [this](const std::optional<Watermark>& watermark) { showWatermark(watermark); });
    showWatermark(store.watermark());
}

bool WatermarkOptions::showsLogo() const
{
    return static_cast<LogoPreview*>(m_logoPreview)->showsImage();
}

void WatermarkOptions::edit(const std::function<void(Watermark&)>& change, bool recordingUndo)
{
    if (!m_store || !m_store->watermark()) return;
    Watermark watermark = *m_store->watermark();
    change(watermark);
    m_store->setWatermark(watermark, recordingUndo);
    // A choice that changed nothing still resets the controls it toggled.
    showWatermark(m_store->watermark());
}

void WatermarkOptions::showWatermark(const std::optional<Watermark>& current)
{
    const Watermark watermark = current.value_or(FrameSettings::rememberedWatermark());
    m_switch->setChecked(current.has_value());
    m_body->setEnabled(current.has_value());
    m_textKind->setChecked(watermark.kind == WatermarkKind::text);
    m_imageKind->setChecked(watermark.kind == WatermarkKind::image);
    m_kindRows->setCurrentIndex(watermark.kind == WatermarkKind::text ? 0 : 1);
    if (m_text->text() != watermark.text) m_text->setText(watermark.text);
    for (QAbstractButton* button : m_colors) {
        button->setChecked(static_cast<ColorDot*>(button)->hex().compare(watermark.colorHex,
                                                                         Qt::CaseInsensitive) == 0);
    }
    static_cast<LogoPreview*>(m_logoPreview)->setImageData(watermark.imageData);
    for (std::size_t i = 0; i < watermarkPositionGrid.size(); ++i)
        m_cells[qsizetype(i)]->setChecked(watermark.position == watermarkPositionGrid[i]);
    const bool tiled = watermark.position == WatermarkPosition::tile;
    m_tile->setChecked(tiled);
    const QColor tint = tiled ? Color::brand() : palette().color(QPalette::WindowText);
    m_tile->setIcon(tintedSymbol(QStringLiteral("square.grid.3x3"), 14, tint));
    QPalette tilePalette = m_tile->palette();
    tilePalette.setColor(QPalette::ButtonText, tint);
    m_tile->setPalette(tilePalette);
    m_opacity->showValue(watermark.opacity);
    m_size->showValue(watermark.size);
}

void WatermarkOptions::popUp(QWidget* anchor)
{
    m_anchor = anchor;
    adjustSize();
    QPoint at =
        anchor->mapToGlobal(QPoint(anchor->width() / 2 - width() / 2, anchor->height() + 4));
    if (const QScreen* screen = anchor->screen()) {
        const QRect available = screen->availableGeometry();
        at.setX(std::clamp(at.x(), available.left(),
                           std::max(available.left(), available.right() - width())));
    }
    move(at);
    QWidget::show();
    // The switch takes the keyboard, never the text field: focusing the field opens an undo
    // step, and merely opening the popover must not mark the document changed.
    m_switch->setFocus(Qt::PopupFocusReason);
}

void WatermarkOptions::chooseLogo()
{
    // The file dialog would close a popup around it and take the chosen logo with it: step
    // out of the way, let the bar own the dialog, then come back.
    const QPointer<WatermarkOptions> self(this);
    QWidget* owner = parentWidget() ? parentWidget() : this;
    const bool wasShown = isVisible();
    hide();
    const std::optional<QByteArray> data = m_chooseLogo ? m_chooseLogo(owner) : std::nullopt;
    if (!self) return;
    if (data) {
        edit(
            [&data](Watermark& w) {
                w.kind = WatermarkKind::image;
                w.imageData = *data;
            },
            true);
    }
    if (wasShown && m_anchor && m_anchor->isVisible()) popUp(m_anchor);
}

bool WatermarkOptions::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_text && event->type() == QEvent::FocusIn && m_store && m_store->watermark()) {
        // Typing from here until the field loses focus is one undo step. Only the user's own
        // focusing counts: the popup regaining the keyboard is not an edit.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
            reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason)
            m_store->beginChange();
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace snapkin
