#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QStringList>

#include <optional>

class QWidget;

namespace snapkin {

class EditorWindowController;

enum class CollageLayout { sideBySide, stacked };

// Joins several images into one: scaled to a common height side by side, or a common width
// stacked, in the order given, 12 points apart on white. The common side is the largest
// image's, at most 1200 points; when the result would pass 16383 pixels on a side or about
// 100 million pixels in all, the common side shrinks until it fits.
class CollageService {
public:
    CollageService() = delete;

    static constexpr double gap = 12;
    static constexpr double maxCommonSide = 1200;
    static constexpr int maxCanvasSide = 16383;
    static constexpr double maxCanvasPixels = 100'000'000;

    // The user picks images in Qt's open dialog, then createFromFiles(). Cancelling does
    // nothing.
    static void createFromPanel(EditorWindowController& editors, CollageLayout layout,
                                QWidget* parent = nullptr);
    // The files that open as images are combined and the collage opens among `editors` in a new
    // editor titled "Collage" with the frame new captures get, and is handed to their history.
    // Files that don't open are skipped; when none opens, a file is refused for its size or for
    // memory that ran out, or the images cannot be combined within the size limits or the
    // memory there is, an alert says so and no collage is made. No files: nothing happens.
    static void createFromFiles(EditorWindowController& editors, const QStringList& files,
                                CollageLayout layout, QWidget* parent = nullptr);

    // The collage of the images with a positive size (sizes in points, one pixel per point in
    // the result); none when there is no such image or nothing fits within the limits, a null
    // image when the collage's memory couldn't be had.
    static std::optional<QImage> combine(const QList<QImage>& images, CollageLayout layout,
                                         double gap, const QColor& background);
};

} // namespace snapkin
