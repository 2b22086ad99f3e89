#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <optional>

class QScreen;

namespace snapkin {

namespace platform {
class BaseImage;
class Defaults;
} // namespace platform

// How big a new editor window is, where it goes and at which zoom it starts: pure functions of
// the canvas size, the screen and the settings, so they can be checked without a window.
//
// All sizes are in points. The content of a window is what lies inside its frame; the page
// spends 109 points of it across (sidebar and margins) and the chrome height down (toolbar,
// options bar, status bar) around the canvas.
namespace editorsizing {

inline constexpr double horizontalChrome = 109;
inline constexpr double chromeWithOptionsBar = 122;
inline constexpr double chromeWithoutOptionsBar = 77;
// Kept free between the window and the edges of the screen's available area.
inline constexpr int screenInset = 16;
// Kept free below the largest content height (room for the title bar's shadow and the like).
inline constexpr int heightAllowance = 24;
inline constexpr QSize minimumContent{800, 600};
// A fit at least this close to 1 starts at actual size.
inline constexpr double actualSizeThreshold = 0.995;

// 77 when keys::showOptionsBar holds the Boolean false; 122 otherwise (missing, true, or not a
// Boolean).
double chromeHeight(const platform::Defaults& settings);

// The content size that shows the canvas at actual size with the page's chrome around it.
QSizeF wantedContentSize(QSizeF canvasSize, double chromeHeight);

// The largest content a window may have on a screen whose available area is `available`,
// when the window manager puts `frame` around it.
QSize largestContentSize(QRect available, QMargins frame);

// Per axis: the wanted size, at least the minimum, at most the largest. Without a screen the
// wanted size is used as it is.
QSize contentSize(QSizeF wanted, std::optional<QSize> largest);

// Where the content goes so that the framed window is centred in the available area.
QRect centredContentGeometry(QSize content, QRect available, QMargins frame);

// The zoom a new page starts with: 1 when the canvas (nearly) fits the content at actual
// size, otherwise the fitting zoom, at least 0.1.
double initialZoom(QSizeF canvasSize, QSizeF contentSize, double chromeHeight);

// "1440 × 900 px": the image's pixel size, or its point size rounded when it has no pixels.
QString dimensionsText(const platform::BaseImage& image);
// "title — 1440 × 900 px": the window title, carrying the size the way a subtitle would.
QString windowTitle(const QString& title, const QString& dimensions);

// The screen a new window opens on: the one under the pointer, else the active window's, else
// the primary screen; none when there is no screen at all.
QScreen* targetScreen();

} // namespace editorsizing

} // namespace snapkin
