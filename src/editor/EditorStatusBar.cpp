#include "editor/EditorStatusBar.h"

#include "editor/EditorCommands.h"
#include "editor/EditorZoom.h"
#include "editor/IconButton.h"
#include "editor/SheetStyle.h"
#include "model/AnnotationStore.h"
#include "platform/L10n.h"
#include "platform/Observable.h"
#include "platform/Symbols.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QToolButton>

#include <cmath>

namespace snapkin {

using platform::L10n;

namespace {

constexpr QSize iconButtonSize{22, 22};

// The zoom menu's label: the percentage with a small chevron, no frame, no Qt menu arrow.
class ZoomMenuButton : public QToolButton {
public:
    using QToolButton::QToolButton;

    QSize sizeHint() const override
    {
        const int text = std::max(34, fontMetrics().horizontalAdvance(this->text()));
        // 4 points each side, the text, 2 points, the 7-point chevron.
        return {4 + text + 2 + 7 + 4, 22};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        HoverBackground{false, underMouse() || isDown(), HoverBackground::buttonCornerRadius}.paint(
            painter, rect());
        const QRectF textBox(4, 0, width() - 4 - 2 - 7 - 4, height());
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(textBox, Qt::AlignRight | Qt::AlignVCenter, text());
        const QImage chevron = platform::Symbols::image(
            "chevron.down", 7, sheetstyle::faded(this, 0.45), devicePixelRatioF());
        if (!chevron.isNull()) {
            const QSizeF size = QSizeF(chevron.size()) / devicePixelRatioF();
            painter.drawImage(QPointF(textBox.right() + 2, (height() - size.height()) / 2),
                              chevron);
        }
    }
};

} // namespace

QString EditorStatusBar::percentText(double scale)
{
    return QString::number(std::lround(scale * 100)) + QLatin1Char('%');
}

QString EditorStatusBar::presetTitle(double preset)
{
    return QString::number(static_cast<long long>(std::trunc(preset * 100))) + QLatin1Char('%');
}

EditorStatusBar::EditorStatusBar(AnnotationStore& store, EditorZoom& zoom, QWidget* parent)
    : QWidget(parent), m_store(store), m_zoom(zoom)
{
    setFixedHeight(barHeight);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 0, 10, 0);
    row->setSpacing(8);
    const auto iconButton = [this](const char* symbol, const char* help, auto action) {
        auto* button = new IconButton(symbol, L10n::text(help), iconButtonSize,
                                      HoverBackground::buttonCornerRadius, this);
        connect(button, &QToolButton::clicked, this, action);
        return button;
    };
    const auto resizeImage = [this] { editorcommands::resizeImage(m_store); };

    // Zoom out, the menu and zoom in sit together without spacing.
    auto* zoomControls = new QHBoxLayout;
    zoomControls->setSpacing(0);
    m_zoomOut = iconButton("minus.magnifyingglass", "Zoom out", [this] { m_zoom.zoomOut(); });
    zoomControls->addWidget(m_zoomOut);

    m_zoomButton = new ZoomMenuButton(this);
    m_zoomButton->setFont(sheetstyle::font(this, sheetstyle::TextStyle::caption));
    m_zoomButton->setToolTip(L10n::text("Zoom level"));
    m_zoomButton->setPopupMode(QToolButton::InstantPopup);
    m_zoomButton->setAttribute(Qt::WA_Hover);
    m_zoomMenu = new QMenu(m_zoomButton);
    m_zoomButton->setMenu(m_zoomMenu);
    connect(m_zoomMenu, &QMenu::aboutToShow, this, &EditorStatusBar::fillZoomMenu);
    zoomControls->addWidget(m_zoomButton);

    m_zoomIn = iconButton("plus.magnifyingglass", "Zoom in", [this] { m_zoom.zoomIn(); });
    zoomControls->addWidget(m_zoomIn);
    row->addLayout(zoomControls);

    QFrame* separator = sheetstyle::rule(Qt::Vertical, this);
    separator->setFixedHeight(14);
    row->addWidget(separator);

    m_readout = new QToolButton(this);
    m_readout->setAutoRaise(true);
    m_readout->setFont(sheetstyle::font(this, sheetstyle::TextStyle::caption));
    m_readout->setStyleSheet("QToolButton { border: none; padding: 0px; }");
    QPalette secondary = m_readout->palette();
    secondary.setColor(QPalette::ButtonText, secondary.color(QPalette::PlaceholderText));
    m_readout->setPalette(secondary);
    m_readout->setToolTip(L10n::text(
        "Document size in real pixels and its resolution. HiDPI captures are 2× (144 dpi) and "
        "some apps paste them at half size — turn on “Copy to clipboard at full size” in "
        "Settings ▸ Capture to always paste at 1×."));
    connect(m_readout, &QToolButton::clicked, this, resizeImage);
    row->addWidget(m_readout);

    m_resize = iconButton("arrow.up.left.and.arrow.down.right", "Resize Image…", resizeImage);
    row->addWidget(m_resize);
    row->addStretch(1);

    platform::subscribe(&m_zoom, &EditorZoom::scale, &EditorZoom::scaleChanged, this,
                        [this](const double& scale) {
                            m_zoomButton->setText(percentText(scale));
                            m_zoomButton->updateGeometry();
                            m_zoomButton->update();
                        });
    m_dimensionsRefresh.setSingleShot(true);
    connect(&m_dimensionsRefresh, &QTimer::timeout, this, &EditorStatusBar::showDimensions);
    connect(&m_store, &AnnotationStore::imageChanged, &m_dimensionsRefresh,
            qOverload<>(&QTimer::start));
    showDimensions();
}

void EditorStatusBar::showDimensions()
{
    const QSize pixels = m_store.pixelDimensions();
    const int dpi = m_store.dpi();
    m_readout->setText(
        L10n::format("%lld × %lld px · %lld dpi", pixels.width(), pixels.height(), dpi));
    m_readout->setAccessibleName(
        L10n::format("%lld by %lld pixels, %lld dpi", pixels.width(), pixels.height(), dpi));
}

void EditorStatusBar::fillZoomMenu()
{
    m_zoomMenu->clear();
    const double scale = m_zoom.scale();
    for (double preset : EditorZoom::presets) {
        QAction* item = m_zoomMenu->addAction(presetTitle(preset));
        item->setCheckable(true);
        item->setChecked(EditorZoom::matchesPreset(preset, scale));
        // Choosing the item that is already on sets the same scale again.
        connect(item, &QAction::triggered, this, [this, preset] { m_zoom.choosePreset(preset); });
    }
    m_zoomMenu->addSeparator();
    connect(m_zoomMenu->addAction(L10n::text("Actual size")), &QAction::triggered, this,
            [this] { m_zoom.actualSize(); });
    connect(m_zoomMenu->addAction(L10n::text("Fit to window")), &QAction::triggered, this,
            [this] { m_zoom.zoomToFit(m_store); });
}

} // namespace snapkin
