#include "text/RecognitionImagesSupport.h"

#include <QFont>
#include <QPainter>

#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>

namespace snapkin::testing {

QImage whitePage(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    return image;
}

void drawText(QImage& image, QPoint baseline, const QString& text, int pixelSize)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(QColor(25, 25, 25));
    painter.drawText(baseline, text);
}

QRect drawQRCode(QImage& image, const std::string& payload, QPoint origin, int module)
{
    const ZXing::BitMatrix matrix = ZXing::MultiFormatWriter(ZXing::BarcodeFormat::QRCode)
                                        .setMargin(0)
                                        .setEncoding(ZXing::CharacterSet::UTF8)
                                        .encode(payload, 0, 0);
    QPainter painter(&image);
    for (int y = 0; y < matrix.height(); ++y) {
        for (int x = 0; x < matrix.width(); ++x) {
            if (matrix.get(x, y))
                painter.fillRect(origin.x() + x * module, origin.y() + y * module, module, module,
                                 Qt::black);
        }
    }
    return QRect(origin, QSize(matrix.width() * module, matrix.height() * module));
}

} // namespace snapkin::testing
