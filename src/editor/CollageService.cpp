#include "editor/CollageService.h"

#include "editor/EditorWindowController.h"
#include "editor/HistoryTracking.h"
#include "platform/ImageBudget.h"
#include "platform/ImageReader.h"
#include "platform/L10n.h"
#include "platform/SrgbConversion.h"
#include "ui/output/PackageFileDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace snapkin {

namespace {

using platform::L10n;

QSizeF pointSize(const QImage& image)
{
    const double dpr = image.devicePixelRatio() > 0 ? image.devicePixelRatio() : 1;
    return QSizeF(image.size()) / dpr;
}

void failed(const QString& explanation, QWidget* parent)
{
    QMessageBox alert(QMessageBox::Warning, L10n::text("Couldn't create the collage"),
                      L10n::text("Couldn't create the collage"), QMessageBox::Ok,
                      parent ? parent->window() : nullptr);
    alert.setInformativeText(explanation);
    alert.exec();
}

} // namespace

std::optional<QImage> CollageService::combine(const QList<QImage>& images, CollageLayout layout,
                                              double gap, const QColor& background)
{
    QList<QImage> usable;
    QList<QSizeF> sizes;
    for (const QImage& image : images) {
        const QSizeF size = pointSize(image);
        if (image.isNull() || !(size.width() > 0) || !(size.height() > 0)) continue;
        usable.append(image);
        sizes.append(size);
    }
    if (usable.isEmpty()) return std::nullopt;
    const bool sideBySide = layout == CollageLayout::sideBySide;
    const auto common = [&](const QSizeF& s) { return sideBySide ? s.height() : s.width(); };
    const auto along = [&](const QSizeF& s) { return sideBySide ? s.width() : s.height(); };

    double side = 0;
    double aspects = 0; // the length along the row per point of common side
    for (const QSizeF& size : sizes) {
        side = std::max(side, common(size));
        aspects += along(size) / common(size);
    }
    side = std::min(side, maxCommonSide);
    const double gaps = gap * double(usable.size() - 1);
    // Within the limits: the row's length, the common side itself, and the area.
    side = std::min(side, (maxCanvasSide - gaps) / aspects);
    side = std::min(side, double(maxCanvasSide));
    const double areaSide =
        (-gaps + std::sqrt(gaps * gaps + 4 * aspects * maxCanvasPixels)) / (2 * aspects);
    side = std::min(side, areaSide);
    if (!(side >= 1)) return std::nullopt;

    const double length = side * aspects + gaps;
    const QSize canvas = sideBySide ? QSize(int(std::ceil(length)), int(std::ceil(side)))
                                    : QSize(int(std::ceil(side)), int(std::ceil(length)));
    if (canvas.width() > maxCanvasSide || canvas.height() > maxCanvasSide) return std::nullopt;
    QImage result(canvas, QImage::Format_ARGB32_Premultiplied);
    if (result.isNull()) return result; // its memory couldn't be had
    result.fill(background);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    double at = 0;
    for (qsizetype i = 0; i < usable.size(); ++i) {
        const double extent = along(sizes[i]) * side / common(sizes[i]);
        const QRectF cell = sideBySide ? QRectF(at, 0, extent, side) : QRectF(0, at, side, extent);
        painter.drawImage(cell, usable[i]);
        at += extent + gap;
    }
    painter.end();
    return result;
}

void CollageService::createFromPanel(EditorWindowController& editors, CollageLayout layout,
                                     QWidget* parent)
{
    if (parent) {
        parent->window()->raise();
        parent->window()->activateWindow();
    }
    // The chosen files in the order picked; none when cancelled.
    QFileDialog dialog(parent, QString(), QString(),
                       L10n::text("Images") +
                           QStringLiteral(" (*.png *.jpg *.jpeg *.webp *.tif *.tiff *.gif *.bmp)"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    packagedialogs::startOutsidePackages(dialog);
    if (dialog.exec() != QDialog::Accepted) return;
    createFromFiles(editors, dialog.selectedFiles(), layout, parent);
}

void CollageService::createFromFiles(EditorWindowController& editors, const QStringList& files,
                                     CollageLayout layout, QWidget* parent)
{
    if (files.isEmpty()) return;
    QList<QImage> images;
    for (const QString& file : files) {
        auto image = platform::readImage(file);
        // A file refused for the memory it would take stops the collage in words, rather than
        // leaving a picture out unsaid; one that isn't an image is skipped.
        if (!image && platform::refusedForMemory(image.error())) {
            failed(platform::userMessage(image.error(), QFileInfo(file).fileName()), parent);
            return;
        }
        if (!image) continue;
        // Drawn into one new picture, which carries no profile: each in sRGB first, which
        // fails only for want of memory.
        if (!platform::convertToSrgb(*image)) {
            failed(platform::userMessage(platform::ImageReadError::outOfMemory,
                                         QFileInfo(file).fileName()),
                   parent);
            return;
        }
        images.append(*image);
    }
    if (images.isEmpty()) {
        failed(L10n::text("None of the chosen files could be opened as an image."), parent);
        return;
    }
    const std::optional<QImage> collage = combine(images, layout, gap, Qt::white);
    // Held to the image budget like any picture an editor opens; a collage or a conversion
    // whose memory couldn't be had is null, and refused for that.
    const auto image = collage ? platform::ImageBudget::accept(*collage)
                               : std::unexpected(platform::ImageReadError::tooLarge);
    if (!image) {
        failed(image.error() == platform::ImageReadError::outOfMemory
                   ? L10n::text("There isn't enough memory to combine the chosen images.")
                   : L10n::text("The chosen images are too large to be combined into one "
                                "picture."),
               parent);
        return;
    }
    const QString title = L10n::text("Collage");
    AnnotationStore& store = editors.open(*image, title);
    editors.history().track(store, title, std::nullopt, false);
}

} // namespace snapkin
