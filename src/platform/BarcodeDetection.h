#pragma once

#include "platform/TextRecognition.h"

#include <QImage>
#include <QRectF>
#include <QString>

#include <expected>
#include <vector>

namespace snapkin::platform {

// One barcode found in an image: its payload as text, whether it is a QR or micro QR code,
// the symbology's name ("QRCode", "EAN13", …) and its box as fractions of the image size,
// origin top left, y down.
struct DetectedBarcode {
    QString payload;
    bool isQR = false;
    QString symbology;
    QRectF box;
    friend bool operator==(const DetectedBarcode&, const DetectedBarcode&) = default;
};

// Barcode detection over zxing-cpp: every symbology it reads, anywhere in the image, in the
// order the reader reports them. Codes whose payload is empty are left out.
class BarcodeDetection {
public:
    static std::expected<std::vector<DetectedBarcode>, RecognitionError>
    detect(const QImage& image, const CancelCheck& cancel = {});
};

} // namespace snapkin::platform
