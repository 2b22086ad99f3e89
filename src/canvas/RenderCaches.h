#pragma once

#include "canvas/ImageEffects.h"
#include "canvas/PenStroke.h"
#include "canvas/StrokePictures.h"
#include "model/Annotation.h"

#include <QCache>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QSizeF>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <memory>

namespace snapkin {

// What the annotation renderer keeps between paints of one view: decoded placed images, small
// costly pictures (emoji, lens shadows), pictures of curved marks at the device's scale, the
// pieces of long pen strokes and pictures of very long ones (made on a worker of its own), and
// obscured regions. Each view owns one and hands it to every AnnotationRenderer it paints
// with; a flatten (on any thread) paints without one, so it never shares what a view keeps.
//
// Not thread-safe: one owner, one thread. Every table is bounded by memory.
class RenderCaches {
public:
    RenderCaches();
    ~RenderCaches();
    RenderCaches(const RenderCaches&) = delete;
    RenderCaches& operator=(const RenderCaches&) = delete;

    // Placed images, decoded once per id and byte count.
    struct OverlayKey {
        QUuid id;
        qsizetype bytes;
        friend bool operator==(const OverlayKey&, const OverlayKey&) = default;
    };
    // Emoji glyphs and lens shadows, by text (or none), pixel size and variant.
    struct PictureKey {
        QString text;
        int width, height, variant;
        friend bool operator==(const PictureKey&, const PictureKey&) = default;
    };
    // Pictures of marks as last drawn, per annotation, device scale and sub-pixel offset.
    struct RasterKey {
        QUuid id;
        double scaleX, scaleY, fractionX, fractionY;
        friend bool operator==(const RasterKey&, const RasterKey&) = default;
    };
    // What a mark's picture was drawn from: any change makes a new picture.
    struct RasterSource {
        Annotation annotation;
        QList<Annotation> context;     // a lens: the annotations it shows
        std::uint64_t imageSerial = 0; // a lens: the image it shows
        QSizeF imageSize;
        bool operator==(const RasterSource&) const = default;
    };
    struct RasterEntry {
        RasterSource source;
        QImage picture;
        QPoint origin; // device position relative to the transform's whole-pixel offset
    };

    // The pieces of a pen stroke, per annotation and merge scale (PenStroke).
    struct StrokeKey {
        QUuid id;
        int scaleBucket;
        friend bool operator==(const StrokeKey&, const StrokeKey&) = default;
    };
    using StrokePieces = std::shared_ptr<const PenStroke::Pieces>;

    QCache<OverlayKey, QImage>& overlays() { return m_overlays; }
    QCache<PictureKey, QImage>& pictures() { return m_pictures; }
    QCache<RasterKey, RasterEntry>& rasters() { return m_rasters; }
    QCache<StrokeKey, StrokePieces>& strokes() { return m_strokes; }
    ImageEffects::Cache& effects() { return m_effects; }
    StrokePictures& strokePictures() { return m_strokePictures; }
    const StrokePictures& strokePictures() const { return m_strokePictures; }

    // Budgets, in kilobytes.
    static constexpr int overlayKilobytes = 512 * 1024;
    static constexpr int pictureKilobytes = 64 * 1024;
    static constexpr int rasterKilobytes = 96 * 1024;
    static constexpr int strokeKilobytes = 192 * 1024;

private:
    QCache<OverlayKey, QImage> m_overlays{overlayKilobytes};
    QCache<PictureKey, QImage> m_pictures{pictureKilobytes};
    QCache<RasterKey, RasterEntry> m_rasters{rasterKilobytes};
    QCache<StrokeKey, StrokePieces> m_strokes{strokeKilobytes};
    ImageEffects::Cache m_effects;
    StrokePictures m_strokePictures;
};

size_t qHash(const RenderCaches::OverlayKey& key, size_t seed = 0);
size_t qHash(const RenderCaches::PictureKey& key, size_t seed = 0);
size_t qHash(const RenderCaches::RasterKey& key, size_t seed = 0);
size_t qHash(const RenderCaches::StrokeKey& key, size_t seed = 0);

} // namespace snapkin
