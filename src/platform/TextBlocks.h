#pragma once

#include <QImage>
#include <QRect>

#include <algorithm>
#include <functional>
#include <vector>

namespace snapkin::platform {

// The middle value of `values` (the upper one of two); `values` is not empty. Heights of lines
// and words are measured by it.
template <typename T> T median(std::vector<T> values)
{
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// A part of an image that text recognition reads on its own: a few lines of one column, with
// the median height of those lines in pixels (ascenders to descenders).
struct TextBlock {
    QRect rect;
    int lineHeight = 0;
    friend bool operator==(const TextBlock&, const TextBlock&) = default;
};

// Splits a screen image into parts that can be recognised independently, so several engines
// can read one image at the same time and each part is scaled for its own text size.
//
// Ink is any pixel that differs clearly from its right or lower neighbour, so text is found
// on any background, light or dark, flat or tinted, while the edges of faint panels are not.
// The image is cut recursively, like a page into columns and paragraphs: at runs of blank rows
// taller than the lines beside them, and at runs of blank columns several lines wide. No cut
// goes through ink, so no glyph is split. Each resulting region is then divided at the blank
// rows between its lines into blocks of at most `maxLines` lines, and wherever the size of its
// text changes (a title, small print under it, body text), so each block is read at a scale
// that suits all its lines. Rules, frames and other marks too thin to hold text are left out;
// so are the long rules of frames and panel borders.
// Blocks come top to bottom, column by column. `cancel` is polled as the work goes on; once
// it answers true, no blocks are returned.
std::vector<TextBlock> findTextBlocks(const QImage& image, const std::function<bool()>& cancel = {},
                                      int maxLines = 8);

} // namespace snapkin::platform
