#include "editor/EditorWindowSizing.h"

#include "platform/BaseImage.h"
#include "platform/Defaults.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace snapkin::editorsizing {

double chromeHeight(const platform::Defaults& settings)
{
    return !settings.getOrDefault(keys::showOptionsBar) ? chromeWithoutOptionsBar
                                                        : chromeWithOptionsBar;
}

QSizeF wantedContentSize(QSizeF canvasSize, double chromeHeight)
{
    return {canvasSize.width() + horizontalChrome, canvasSize.height() + chromeHeight};
}

QSize largestContentSize(QRect available, QMargins frame)
{
    const QRect inset = available.adjusted(screenInset, screenInset, -screenInset, -screenInset);
    return {std::max(1, inset.width() - frame.left() - frame.right()),
            std::max(1, inset.height() - frame.top() - frame.bottom() - heightAllowance)};
}

namespace {

int roundedSide(double value)
{
    if (!std::isfinite(value)) return 1;
    return int(std::clamp(std::round(value), 1.0, double(QWIDGETSIZE_MAX)));
}

} // namespace

QSize contentSize(QSizeF wanted, std::optional<QSize> largest)
{
    const QSize size(roundedSide(wanted.width()), roundedSide(wanted.height()));
    if (!largest) return size;
    return {std::min(largest->width(), std::max(minimumContent.width(), size.width())),
            std::min(largest->height(), std::max(minimumContent.height(), size.height()))};
}

QRect centredContentGeometry(QSize content, QRect available, QMargins frame)
{
    const QSize framed(content.width() + frame.left() + frame.right(),
                       content.height() + frame.top() + frame.bottom());
    const QPoint origin(available.x() + (available.width() - framed.width()) / 2,
                        available.y() + (available.height() - framed.height()) / 2);
    return {origin + QPoint(frame.left(), frame.top()), content};
}

double initialZoom(QSizeF canvasSize, QSizeF contentSize, double chromeHeight)
{
    if (!(canvasSize.width() > 0 && canvasSize.height() > 0)) return 1.0;
    const double fit =
        std::min(std::max(contentSize.width() - horizontalChrome, 1.0) / canvasSize.width(),
                 std::max(contentSize.height() - chromeHeight, 1.0) / canvasSize.height());
    if (fit >= actualSizeThreshold) return 1.0;
    return std::max(fit, 0.1);
}

QString dimensionsText(const platform::BaseImage& image)
{
    qint64 width = image.pixelSize().width();
    qint64 height = image.pixelSize().height();
    if (width <= 0 || height <= 0) {
        // Halves away from zero, as std::llround does.
        width = std::llround(image.pointSize().width());
        height = std::llround(image.pointSize().height());
    }
    return QStringLiteral("%1 \u00D7 %2 px").arg(width).arg(height);
}

QString windowTitle(const QString& title, const QString& dimensions)
{
    return QStringLiteral("%1 \u2014 %2").arg(title, dimensions);
}

QScreen* targetScreen()
{
    if (QScreen* screen = QGuiApplication::screenAt(QCursor::pos())) return screen;
    if (QWidget* active = QApplication::activeWindow()) {
        if (QScreen* screen = active->screen()) return screen;
    }
    return QGuiApplication::primaryScreen();
}

} // namespace snapkin::editorsizing
