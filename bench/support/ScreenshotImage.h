#pragma once

#include <QImage>

namespace snapkin::bench {

// A 3840 x 2160 capture of a desktop, made once and shared by the benchmarks: window chrome, a
// sidebar, toolbar buttons, lines of text in several sizes, a dark code pane and, unless asked
// otherwise, one photo-like region with grain. What a capture looks like, not noise.
const QImage& screenshot(bool withPhoto = true);

} // namespace snapkin::bench
