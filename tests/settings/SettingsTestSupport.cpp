#include "SettingsTestSupport.h"

#include "TestPaths.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QWidget>

namespace snapkin::test {

void FakeHistorySource::finishWrites()
{
    const auto callbacks = std::exchange(pending, {});
    for (const auto& callback : callbacks)
        callback();
}

std::optional<QFont> proportionalDigitsFont()
{
    // The one with the widest gap, so that a digit moved by it lands on other pixels. Measured
    // in a run of digits as text is laid out, which is not always glyph by glyph.
    std::optional<QFont> found;
    double widestGap = 0.5;
    for (const QString& family : QFontDatabase::families()) {
        QFont font(family);
        font.setPointSize(11);
        const QFontMetricsF metrics(font);
        const double gap = (metrics.horizontalAdvance(QStringLiteral("18888")) -
                            metrics.horizontalAdvance(QStringLiteral("11111"))) /
                           4;
        if (QFontInfo(font).family() == family && gap > widestGap) {
            widestGap = gap;
            found = font;
        }
    }
    return found;
}

QList<QFont> tabularDigitsFonts(const QWidget& widget, const QFont& proportional)
{
    QFont large = widget.font();
    large.setPointSizeF(large.pointSizeF() * 2);
    return {widget.font(), proportional, large};
}

QImage drawn(QLabel* label, const QString& text)
{
    label->setText(text);
    label->resize(label->sizeHint());
    QImage image(label->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    label->render(&image);
    return image;
}

int pixelsOf(QWidget* widget, const QColor& color)
{
    QImage image(widget->size(), QImage::Format_ARGB32);
    image.fill(widget->palette().color(QPalette::Window));
    widget->render(&image, {}, {}, QWidget::DrawChildren);
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - color.red()) + std::abs(pixel.green() - color.green()) +
                    std::abs(pixel.blue() - color.blue()) <=
                12)
                ++count;
        }
    }
    return count;
}

void saveScreenshot(QWidget& widget, const QString& name)
{
    widget.grab().save(QStringLiteral(SNAPKIN_BUILD_DIR "/") + name);
}

} // namespace snapkin::test
