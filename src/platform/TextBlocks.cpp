#include "platform/TextBlocks.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace snapkin::platform {

namespace {

// The sum of the three channels' differences above which two neighbouring pixels are an edge:
// anti-aliased text on its background differs by hundreds, the borders of tinted panels by a
// few tens.
constexpr int inkContrast = 64;
// Regions thinner than this in either direction hold no readable text.
constexpr int minTextExtent = 4;
// Columns are cut only at gaps this many line heights wide, so the spaces of a line of code
// keep it whole.
constexpr int columnGapLines = 3;
// Vertical runs of ink at least this long are rules, not strokes of text; so are horizontal
// runs at least maxRuleWidth long.
constexpr int maxStrokeLength = 80;
constexpr int maxRuleWidth = 400;
// The width of the strips lines are measured in.
constexpr int lineStripWidth = 96;
// Rows of the image between two looks at the cancel check.
constexpr int cancelRows = 128;
// A line whose text size (see InkMap::textSize) and height both differ, the same way, by these
// factors or more from those of the lines before it starts a block of its own, scaled for its
// own size: small print under a title is lost or misread at the title's scale. Lines of one
// size differ in one of the two or in opposite ways: a line without descenders is lower, one of
// capitals and digits has a larger text size.
constexpr double textSizeRatio = 1.3;
constexpr double lineHeightRatio = 1.15;
// Lines narrower than this many times their height are too short for their text size to be
// measured (a lone brace, a word or two): they stay with the lines around them.
constexpr int minMeasuredWidth = 4;
// Runs of ink lower than this are not lines of their own: the underscores of a line of
// capitals, or the dots and accents of a line, that a blank row parts from its letters.
constexpr int minLineRun = 2 * minTextExtent;

struct Run {
    int begin; // first index
    int end;   // one past the last
    int size() const { return end - begin; }
};

// The runs of indices 0…count-1 for which `isInk(i)` holds.
template <typename IsInk> std::vector<Run> runsOf(int count, const IsInk& isInk)
{
    std::vector<Run> runs;
    int start = -1;
    for (int i = 0; i <= count; ++i) {
        const bool ink = i < count && isInk(i);
        if (ink && start < 0) start = i;
        if (!ink && start >= 0) {
            runs.push_back({start, i});
            start = -1;
        }
    }
    return runs;
}

// The runs of non-zero entries.
std::vector<Run> inkRuns(const std::vector<int>& profile)
{
    return runsOf(int(profile.size()), [&](int i) { return profile[std::size_t(i)] != 0; });
}

// One byte per pixel: 1 where ink.
class InkMap {
public:
    InkMap(const QImage& image, const std::function<bool()>& cancel)
        : m_width(image.width()), m_height(image.height()),
          m_ink(std::size_t(m_width) * m_height, 0)
    {
        const QImage rgb = image.format() == QImage::Format_RGB888
                               ? image
                               : image.convertToFormat(QImage::Format_RGB888);
        for (int y = 0; y < m_height; ++y) {
            if (y % cancelRows == 0 && cancel && cancel()) {
                m_cancelled = true;
                return;
            }
            const uchar* row = rgb.constScanLine(y);
            const uchar* below = y + 1 < m_height ? rgb.constScanLine(y + 1) : nullptr;
            unsigned char* out = &m_ink[std::size_t(y) * m_width];
            for (int x = 0; x < m_width; ++x) {
                const uchar* p = row + 3 * x;
                const auto differenceTo = [p](const uchar* q) {
                    return std::abs(p[0] - q[0]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[2]);
                };
                int contrast = x + 1 < m_width ? differenceTo(p + 3) : 0;
                if (below) contrast = std::max(contrast, differenceTo(below + 3 * x));
                if (contrast > inkContrast) out[x] = 1;
            }
        }
        clearRules();
    }

    bool cancelled() const { return m_cancelled; }

    // Ink pixels per row (vertical = false) or per column (true) inside `rect`.
    std::vector<int> profile(const QRect& rect, bool columns) const
    {
        std::vector<int> counts(std::size_t(columns ? rect.width() : rect.height()), 0);
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            const unsigned char* row = &m_ink[std::size_t(y) * m_width];
            for (int x = rect.left(); x <= rect.right(); ++x) {
                if (!row[x]) continue;
                ++counts[std::size_t(columns ? x - rect.left() : y - rect.top())];
            }
        }
        return counts;
    }

    // The median height of the lines in `rect`, measured in strips a few words wide, so lines
    // of columns side by side do not merge into one tall line; 0 without ink.
    int lineHeight(const QRect& rect) const
    {
        std::vector<int> sizes;
        for (int left = rect.left(); left <= rect.right(); left += lineStripWidth) {
            const QRect strip(left, rect.top(), std::min(lineStripWidth, rect.right() - left + 1),
                              rect.height());
            for (const Run& line : inkRuns(profile(strip, false)))
                sizes.push_back(line.size());
        }
        return sizes.empty() ? 0 : median(std::move(sizes));
    }

    // The height of the band of `line` (a rectangle around one line of text) where its ink is
    // dense: the height of lowercase letters, or of capitals and digits where they fill the
    // line. Unlike the line's full height it does not depend on which letters reach above or
    // below, so it compares the sizes of lines of text; 0 without ink.
    int textSize(const QRect& line) const
    {
        const std::vector<int> rows = profile(line, false);
        const int densest = rows.empty() ? 0 : *std::max_element(rows.begin(), rows.end());
        if (densest == 0) return 0;
        return int(std::count_if(rows.begin(), rows.end(),
                                 [densest](int count) { return 2 * count >= densest; }));
    }

private:
    // Rules, panel borders and frames are runs of ink longer than any stroke of text; left in,
    // a border down the page would join everything beside it into one block.
    void clearRules()
    {
        for (int x = 0; x < m_width; ++x) {
            for (const Run& run : runsOf(m_height, [&](int y) { return at(x, y) != 0; })) {
                if (run.size() >= maxStrokeLength) {
                    for (int y = run.begin; y < run.end; ++y)
                        at(x, y) = 0;
                }
            }
        }
        for (int y = 0; y < m_height; ++y) {
            for (const Run& run : runsOf(m_width, [&](int x) { return at(x, y) != 0; })) {
                if (run.size() >= maxRuleWidth)
                    std::fill(&at(run.begin, y), &at(run.end - 1, y) + 1, 0);
            }
        }
    }

    unsigned char& at(int x, int y) { return m_ink[std::size_t(y) * m_width + x]; }

    int m_width;
    int m_height;
    std::vector<unsigned char> m_ink;
    bool m_cancelled = false;
};

// Runs merged across gaps narrower than `minGap`: the groups a cut at wide gaps leaves.
std::vector<Run> groups(const std::vector<Run>& runs, int minGap)
{
    std::vector<Run> merged;
    for (const Run& run : runs) {
        if (!merged.empty() && run.begin - merged.back().end < minGap)
            merged.back().end = run.end;
        else
            merged.push_back(run);
    }
    return merged;
}

class Cutter {
public:
    Cutter(const InkMap& ink, int maxLines, const std::function<bool()>& cancel,
           std::vector<TextBlock>& out)
        : m_ink(ink), m_maxLines(maxLines), m_cancel(cancel), m_out(out)
    {
    }

    bool cancelled() const { return m_cancelled; }

    void cut(const QRect& rect)
    {
        if (rect.width() < minTextExtent || rect.height() < minTextExtent) return;
        if (m_cancelled || (m_cancel && m_cancel())) {
            m_cancelled = true;
            return;
        }
        const std::vector<Run> lines = inkRuns(m_ink.profile(rect, false));
        if (lines.empty()) return;
        const int lineHeight = std::max(1, m_ink.lineHeight(rect));

        // Paragraphs: cut at blank bands at least as tall as a line.
        const std::vector<Run> bands = groups(lines, std::max(minTextExtent, lineHeight));
        if (bands.size() > 1) {
            for (const Run& band : bands)
                cut(QRect(rect.left(), rect.top() + band.begin, rect.width(), band.size()));
            return;
        }
        const QRect tight(rect.left(), rect.top() + bands.front().begin, rect.width(),
                          bands.front().size());

        // Columns: cut at blank bands several lines wide.
        const std::vector<Run> inkColumns = inkRuns(m_ink.profile(tight, true));
        const std::vector<Run> columns =
            groups(inkColumns, std::max(2 * minTextExtent, columnGapLines * lineHeight));
        if (columns.size() > 1) {
            for (const Run& column : columns)
                cut(QRect(tight.left() + column.begin, tight.top(), column.size(), tight.height()));
            return;
        }
        const QRect leaf(tight.left() + columns.front().begin, tight.top(), columns.front().size(),
                         tight.height());
        if (leaf.width() < minTextExtent || leaf.height() < minTextExtent) return;
        emitBlocks(leaf, lines, rect.top());
    }

private:
    // The leaf in blocks of at most m_maxLines of its lines, split at the gaps between lines and
    // wherever the size of the text changes.
    void emitBlocks(const QRect& leaf, const std::vector<Run>& lines, int linesOrigin)
    {
        std::vector<Run> inside;
        for (const Run& line : lines) {
            const int top = linesOrigin + line.begin;
            if (top >= leaf.top() && top <= leaf.bottom())
                inside.push_back({top, linesOrigin + line.end});
        }
        inside = withMarksJoined(inside);
        std::size_t first = 0;
        // The heights and text sizes of the measured lines from `first` on.
        std::vector<int> heights;
        std::vector<int> sizes;
        for (std::size_t i = 0; i < inside.size(); ++i) {
            const int size = measuredSize(leaf, inside[i]);
            if (size == 0) continue;
            const int height = inside[i].size();
            const int larger = sizes.empty() ? 0 : differ(size, median(sizes), textSizeRatio);
            if (larger != 0 && differ(height, median(heights), lineHeightRatio) == larger) {
                emitLines(leaf, inside, first, i);
                first = i;
                heights.clear();
                sizes.clear();
            }
            heights.push_back(height);
            sizes.push_back(size);
        }
        emitLines(leaf, inside, first, inside.size());
    }

    // `lines` with each run lower than minLineRun joined to the nearer of the lines above and
    // below it (above when as near), so that no block starts or ends between a line and its
    // underscores or dots.
    static std::vector<Run> withMarksJoined(const std::vector<Run>& lines)
    {
        std::vector<Run> joined;
        std::vector<bool> mark; // whether each entry of `joined` is a mark not joined yet
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const Run& run = lines[i];
            const bool thin = run.size() < minLineRun;
            const bool lineAbove = !joined.empty() && !mark.back();
            if (thin && lineAbove) {
                const int above = run.begin - joined.back().end;
                const bool lineBelow = i + 1 < lines.size() && lines[i + 1].size() >= minLineRun;
                if (!lineBelow || above <= lines[i + 1].begin - run.end) {
                    joined.back().end = run.end;
                    continue;
                }
            }
            if (!thin && !joined.empty() && mark.back()) {
                // A mark nearer to this line than to the one above it.
                joined.back().end = run.end;
                mark.back() = false;
                continue;
            }
            joined.push_back(run);
            mark.push_back(thin);
        }
        return joined;
    }

    // 1 when `a` is larger than `b` by `ratio` or more, -1 when smaller by as much, else 0.
    static int differ(int a, int b, double ratio)
    {
        if (a >= ratio * b) return 1;
        if (b >= ratio * a) return -1;
        return 0;
    }

    // The text size of one line of the leaf; 0 when the line is too short to measure it.
    int measuredSize(const QRect& leaf, const Run& line) const
    {
        if (line.size() < minLineRun) return 0;
        const QRect rect(leaf.left(), line.begin, leaf.width(), line.size());
        const std::vector<Run> columns = inkRuns(m_ink.profile(rect, true));
        if (columns.empty()) return 0;
        const int width = columns.back().end - columns.front().begin;
        if (width < minMeasuredWidth * line.size()) return 0;
        return m_ink.textSize(rect);
    }

    // Lines [begin, end) of the leaf in blocks of at most m_maxLines.
    void emitLines(const QRect& leaf, const std::vector<Run>& lines, std::size_t begin,
                   std::size_t end)
    {
        for (std::size_t first = begin; first < end; first += std::size_t(m_maxLines)) {
            const std::size_t last = std::min(end, first + std::size_t(m_maxLines)) - 1;
            const QRect rect(leaf.left(), lines[first].begin, leaf.width(),
                             lines[last].end - lines[first].begin);
            if (rect.height() < minTextExtent) continue;
            m_out.push_back({rect, std::max(1, m_ink.lineHeight(rect))});
        }
    }

    const InkMap& m_ink;
    int m_maxLines;
    const std::function<bool()>& m_cancel;
    std::vector<TextBlock>& m_out;
    bool m_cancelled = false;
};

} // namespace

std::vector<TextBlock> findTextBlocks(const QImage& image, const std::function<bool()>& cancel,
                                      int maxLines)
{
    std::vector<TextBlock> blocks;
    if (image.isNull()) return blocks;
    const InkMap ink(image, cancel);
    if (ink.cancelled()) return {};
    Cutter cutter(ink, std::max(1, maxLines), cancel, blocks);
    cutter.cut(image.rect());
    if (cutter.cancelled()) return {};
    return blocks;
}

} // namespace snapkin::platform
