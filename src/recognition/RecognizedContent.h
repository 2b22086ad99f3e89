#pragma once

#include <QRectF>
#include <QString>
#include <QUrl>

#include <optional>
#include <vector>

namespace snapkin {

// What recognition found in an image: its lines of text in reading order and its barcodes,
// top to bottom then left to right. Every box is a fraction of the image size, x and width of
// its width, y and height of its height, with the origin at the top-left corner and y down.
struct RecognizedContent {
    struct Line {
        QString text; // trimmed, never empty
        QRectF boundingBox;
        friend bool operator==(const Line& a, const Line& b);
    };

    struct Code {
        QString payload;   // as decoded, never empty
        bool isQR = false; // QR or micro QR
        QRectF boundingBox;

        // The payload as a web link: an http or https URL with a host, surrounding blanks
        // ignored; nullopt for anything else.
        std::optional<QUrl> webURL() const;
        friend bool operator==(const Code& a, const Code& b);
    };

    std::vector<Line> lines;
    std::vector<Code> codes;

    // The lines as one text: lines on the same row joined by a space, rows by a newline.
    // Codes are not part of it.
    QString text() const;

    // Whether two boxes sit on the same row: they overlap vertically by more than half the
    // lower box's height.
    static bool onSameRow(const QRectF& a, const QRectF& b);

    friend bool operator==(const RecognizedContent&, const RecognizedContent&) = default;
};

} // namespace snapkin
