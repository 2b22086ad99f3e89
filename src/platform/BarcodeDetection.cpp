#include "platform/BarcodeDetection.h"

#include "platform/ImageFilters.h"

#include <ZXing/ReadBarcode.h>

#include <algorithm>
#include <exception>

namespace snapkin::platform {

std::expected<std::vector<DetectedBarcode>, RecognitionError>
BarcodeDetection::detect(const QImage& image, const CancelCheck& cancel)
{
    if (cancel && cancel()) return std::unexpected(RecognitionError::cancelled);
    if (image.isNull()) return std::vector<DetectedBarcode>{};
    if (qint64(image.width()) * image.height() > maxRecognitionPixels)
        return std::unexpected(RecognitionError::imageTooLarge);

    const QImage gray = ImageFilters::onWhite(image).convertToFormat(QImage::Format_Grayscale8);
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::Any);
    hints.setTryHarder(true);
    hints.setTryRotate(true);
    const ZXing::ImageView view(gray.constBits(), gray.width(), gray.height(),
                                ZXing::ImageFormat::Lum, int(gray.bytesPerLine()));
    // The reader cannot be interrupted; a large screenshot takes some tens of milliseconds.
    ZXing::Results results;
    try {
        results = ZXing::ReadBarcodes(view, hints);
    } catch (const std::exception&) {
        return std::unexpected(RecognitionError::engineFailed);
    }
    if (cancel && cancel()) return std::unexpected(RecognitionError::cancelled);

    std::vector<DetectedBarcode> codes;
    const double width = gray.width();
    const double height = gray.height();
    for (const ZXing::Result& result : results) {
        if (!result.isValid()) continue;
        const QString payload = QString::fromStdString(result.text());
        if (payload.isEmpty()) continue;
        const ZXing::Position& corners = result.position();
        int left = corners[0].x, right = corners[0].x;
        int top = corners[0].y, bottom = corners[0].y;
        for (const auto& corner : corners) {
            left = std::min(left, corner.x);
            right = std::max(right, corner.x);
            top = std::min(top, corner.y);
            bottom = std::max(bottom, corner.y);
        }
        // Corners are the outermost module pixels; the box includes them.
        const QRectF box(left / width, top / height, (right - left + 1) / width,
                         (bottom - top + 1) / height);
        const ZXing::BarcodeFormat format = result.format();
        codes.push_back(
            {payload,
             format == ZXing::BarcodeFormat::QRCode || format == ZXing::BarcodeFormat::MicroQRCode,
             QString::fromLatin1(ZXing::ToString(format)), box});
    }
    return codes;
}

} // namespace snapkin::platform
