#pragma once

#include "model/FrameLayout.h"
#include "model/FrameStyle.h"
#include "model/Watermark.h"
#include "platform/BaseImage.h"

#include <QPainter>

#include <functional>
#include <optional>

namespace snapkin {

// One framed presentation of a document: the background around the image (gradient, solid or
// transparent), the image's drop shadow, the content (the image with its annotations) and the
// watermark over everything. The editor paints it around its live canvas and flattening
// paints it for every export, so both show the same; they differ only in three points:
//
//   - a transparent background shows a checkerboard in the editor and nothing in an export;
//   - an export clips the content to the rounded image outline; the editor does not, and
//     instead covers the four corner slivers with the background (checkerboard included).
//
// Everything is painted in canvas coordinates: points, origin at the canvas's top-left corner.
struct FrameComposition {
    FrameLayout layout;
    std::optional<FrameStyle> frame;
    std::optional<Watermark> watermark;
    // The document's base image; the shadow is cast from it.
    platform::BaseImage image;
    bool forEditor = false;

    // Paints the image with its annotations in the image's own coordinates: origin at the
    // image's top-left corner, the size of `layout.imageRect`.
    using Content = std::function<void(QPainter&)>;

    // The frame's corner radius in points (0 without a frame). Not scaled with the image:
    // the padding is relative, the radius absolute.
    double cornerRadius() const;
    // How far from each of the image's corners its rounded outline leaves the straight edges,
    // in points: the corners are continuous, so further than the radius.
    double cornerExtent() const;

    // Paints the four layers in order. False when a buffer could not be allocated; what was
    // painted is then incomplete.
    bool paint(QPainter& painter, const Content& content) const;

    // The layers one by one, for a host (the editor) that draws the content itself between
    // them. Each leaves the painter's state as it found it.
    bool paintBelowContent(QPainter& painter) const; // background and shadow
    bool paintContent(QPainter& painter, const Content& content) const;
    void paintAboveContent(QPainter& painter) const; // corner cover and watermark

    // Whether the layers are present.
    bool hasCornerCover() const;
    bool hasWatermark() const;
};

} // namespace snapkin
