#include "platform/ColorQuantizer.h"

#include "platform/Argb32View.h"

#include <algorithm>
#include <array>
#include <limits>

namespace snapkin::platform {

namespace {

constexpr std::uint32_t kEmpty = 0xffffffffu; // no 24-bit colour has this value

// The straight 24-bit colour of a pixel that counts as opaque, or kEmpty for a transparent one.
inline std::uint32_t opaqueColor(QRgb p, bool premultiplied)
{
    const int a = qAlpha(p);
    if (a < 128) return kEmpty;
    return (a == 255 || !premultiplied ? p : qUnpremultiply(p)) & 0xffffffu;
}

inline bool isPremultiplied(const QImage& image)
{
    return image.format() != QImage::Format_ARGB32;
}

// Keeps every colour when there are at most `limit` opaque ones (plus transparency); false
// as soon as there are more.
bool quantizeExactly(const QImage& image, int maxColors, ColorQuantizer::Result& result)
{
    const bool premultiplied = isPremultiplied(image);
    std::array<std::uint32_t, 1024> keys;
    std::array<std::uint8_t, 1024> slotIndex{};
    keys.fill(kEmpty);
    QList<QRgb> palette;
    bool anyTransparent = false;
    std::uint32_t lastColor = kEmpty;
    std::uint8_t lastIndex = 0;
    const int w = image.width();
    result.indices.resize(size_t(w) * size_t(image.height()));
    std::vector<bool> transparent; // filled in only when a transparent pixel shows up
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        std::uint8_t* out = result.indices.data() + size_t(y) * size_t(w);
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = opaqueColor(row[x], premultiplied);
            if (c == kEmpty) {
                anyTransparent = true;
                out[x] = 0xff; // patched below, once the transparent index is known
                if (transparent.empty()) transparent.resize(result.indices.size(), false);
                transparent[size_t(y) * size_t(w) + size_t(x)] = true;
                continue;
            }
            if (c != lastColor) {
                std::uint32_t h = (c * 2654435761u) >> 22;
                while (keys[h] != kEmpty && keys[h] != c)
                    h = (h + 1) & 1023u;
                if (keys[h] == kEmpty) {
                    if (palette.size() >= maxColors) return false;
                    keys[h] = c;
                    slotIndex[h] = std::uint8_t(palette.size());
                    palette.append(0xff000000u | c);
                }
                lastColor = c;
                lastIndex = slotIndex[h];
            }
            out[x] = lastIndex;
        }
    }
    if (anyTransparent) {
        if (palette.size() >= maxColors) return false;
        result.transparentIndex = int(palette.size());
        palette.append(0u);
        for (size_t i = 0; i < transparent.size(); ++i)
            if (transparent[i]) result.indices[i] = std::uint8_t(result.transparentIndex);
    }
    if (palette.isEmpty()) palette.append(0xff000000u); // a palette needs an entry
    result.palette = palette;
    result.exact = true;
    return true;
}

// One occupied cell of the 5-bit-per-channel histogram; its colour is the exact mean of the
// pixels that fell into it.
struct Cell {
    double c[3];
    double count;
    int bin;
    int index = 0;
};

struct Box {
    int begin, end;
    double error; // weighted squared deviation from the mean
    int axis;     // channel of largest spread
    std::array<double, 3> mean;
};

inline int binOf(std::uint32_t c)
{
    return int(((c >> 19) & 31) << 10 | ((c >> 11) & 31) << 5 | ((c >> 3) & 31));
}

Box measure(std::vector<Cell>& cells, int begin, int end)
{
    double n = 0, sum[3] = {0, 0, 0}, sq[3] = {0, 0, 0};
    for (int i = begin; i < end; ++i) {
        const Cell& cell = cells[size_t(i)];
        n += cell.count;
        for (int k = 0; k < 3; ++k) {
            sum[k] += cell.c[k] * cell.count;
            sq[k] += cell.c[k] * cell.c[k] * cell.count;
        }
    }
    Box box{begin, end, 0, 0, {}};
    double best = -1;
    for (int k = 0; k < 3; ++k) {
        box.mean[size_t(k)] = n > 0 ? sum[k] / n : 0;
        const double var = n > 0 ? sq[k] - sum[k] * sum[k] / n : 0;
        box.error += var;
        if (var > best) {
            best = var;
            box.axis = k;
        }
    }
    if (end - begin < 2) box.error = 0;
    return box;
}

int nearest(const std::vector<std::array<double, 3>>& palette, const double* c)
{
    int best = 0;
    double bestDistance = std::numeric_limits<double>::max();
    for (size_t i = 0; i < palette.size(); ++i) {
        const double dr = palette[i][0] - c[0];
        double d = dr * dr;
        if (d >= bestDistance) continue;
        const double dg = palette[i][1] - c[1];
        d += dg * dg;
        if (d >= bestDistance) continue;
        const double db = palette[i][2] - c[2];
        d += db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = int(i);
        }
    }
    return best;
}

void quantizeByMedianCut(const QImage& image, int maxColors, ColorQuantizer::Result& result)
{
    const bool premultiplied = isPremultiplied(image);
    struct Sum {
        std::uint64_t n = 0, r = 0, g = 0, b = 0;
    };
    std::vector<Sum> histogram(32768);
    bool anyTransparent = false;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0, w = image.width(); x < w; ++x) {
            const std::uint32_t c = opaqueColor(row[x], premultiplied);
            if (c == kEmpty) {
                anyTransparent = true;
                continue;
            }
            Sum& s = histogram[size_t(binOf(c))];
            ++s.n;
            s.r += (c >> 16) & 0xff;
            s.g += (c >> 8) & 0xff;
            s.b += c & 0xff;
        }
    }
    std::vector<Cell> cells;
    for (int bin = 0; bin < 32768; ++bin) {
        const Sum& s = histogram[size_t(bin)];
        if (s.n == 0) continue;
        const double n = double(s.n);
        cells.push_back({{double(s.r) / n, double(s.g) / n, double(s.b) / n}, n, bin});
    }
    const int colors = std::max(1, maxColors - (anyTransparent ? 1 : 0));

    std::vector<Box> boxes;
    if (!cells.empty()) boxes.push_back(measure(cells, 0, int(cells.size())));
    while (int(boxes.size()) < colors) {
        auto worst = std::max_element(boxes.begin(), boxes.end(),
                                      [](const Box& a, const Box& b) { return a.error < b.error; });
        if (worst == boxes.end() || worst->error <= 0) break;
        const Box box = *worst;
        const int axis = box.axis;
        std::sort(cells.begin() + box.begin, cells.begin() + box.end,
                  [axis](const Cell& a, const Cell& b) { return a.c[axis] < b.c[axis]; });
        double total = 0;
        for (int i = box.begin; i < box.end; ++i)
            total += cells[size_t(i)].count;
        double running = 0;
        int split = box.begin + 1;
        for (int i = box.begin; i < box.end - 1; ++i) {
            running += cells[size_t(i)].count;
            split = i + 1;
            if (running >= total / 2) break;
        }
        *worst = measure(cells, box.begin, split);
        boxes.push_back(measure(cells, split, box.end));
    }

    std::vector<std::array<double, 3>> palette;
    for (const Box& box : boxes)
        palette.push_back(box.mean);

    // Nearest-mean rounds move each colour to the centre of the cells that chose it.
    constexpr int kRefinements = 3;
    for (int round = 0; round <= kRefinements && !palette.empty(); ++round) {
        for (Cell& cell : cells)
            cell.index = nearest(palette, cell.c);
        if (round == kRefinements) break;
        std::vector<std::array<double, 4>> sums(palette.size(), {0, 0, 0, 0});
        for (const Cell& cell : cells) {
            auto& s = sums[size_t(cell.index)];
            for (int k = 0; k < 3; ++k)
                s[size_t(k)] += cell.c[k] * cell.count;
            s[3] += cell.count;
        }
        for (size_t i = 0; i < palette.size(); ++i) {
            if (sums[i][3] > 0)
                palette[i] = {sums[i][0] / sums[i][3], sums[i][1] / sums[i][3],
                              sums[i][2] / sums[i][3]};
        }
    }

    std::vector<std::uint8_t> indexOfBin(32768, 0);
    for (const Cell& cell : cells)
        indexOfBin[size_t(cell.bin)] = std::uint8_t(cell.index);
    for (const auto& c : palette) {
        auto channel = [](double v) { return std::clamp(int(v + 0.5), 0, 255); };
        result.palette.append(qRgb(channel(c[0]), channel(c[1]), channel(c[2])));
    }
    if (result.palette.isEmpty()) result.palette.append(0xff000000u);
    if (anyTransparent) {
        result.transparentIndex = int(result.palette.size());
        result.palette.append(0u);
    }

    const int w = image.width();
    result.indices.resize(size_t(w) * size_t(image.height()));
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        std::uint8_t* out = result.indices.data() + size_t(y) * size_t(w);
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = opaqueColor(row[x], premultiplied);
            out[x] =
                c == kEmpty ? std::uint8_t(result.transparentIndex) : indexOfBin[size_t(binOf(c))];
        }
    }
}

} // namespace

ColorQuantizer::Result ColorQuantizer::quantize(const QImage& source, int maxColors)
{
    Result result;
    if (source.isNull()) return result;
    const QImage image = argb32View(source);
    if (image.isNull()) return result;
    maxColors = std::clamp(maxColors, 2, 256);
    if (quantizeExactly(image, maxColors, result)) return result;
    result = Result{};
    quantizeByMedianCut(image, maxColors, result);
    return result;
}

} // namespace snapkin::platform
