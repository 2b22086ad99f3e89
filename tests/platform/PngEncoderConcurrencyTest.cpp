// The encoder on several threads at once: bands on the pool inside each call, and the cache of
// compressed base images shared by every caller.
#include "platform/PngEncoder.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

using snapkin::platform::BaseImage;
using snapkin::platform::PngEncoder;

namespace {

QImage sample(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(20 * seed % 256, 40, 60, seed % 2 ? 128 : 255));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor(255, 0, 80));
    gradient.setColorAt(1, QColor(0, 120, 255));
    p.setBrush(gradient);
    p.drawEllipse(QRectF(width * 0.1, height * 0.1, width * 0.6, height * 0.7));
    return image;
}

} // namespace

// More images than the cache keeps, so entries are added and dropped while others read them.
TEST(PngEncoderConcurrency, EveryThreadGetsItsImagesOwnBytes)
{
    std::vector<BaseImage> images;
    std::vector<QByteArray> expected;
    for (int i = 0; i < 6; ++i) {
        images.emplace_back(sample(300 + 40 * i, 200, i));
        expected.push_back(*PngEncoder::encode(images.back().image()));
    }
    std::vector<std::thread> threads;
    std::vector<int> wrong(8, 0);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 12; ++round) {
                const int i = (t + round) % int(images.size());
                const auto png = PngEncoder::encode(images[size_t(i)]);
                if (!png || *png != expected[size_t(i)]) ++wrong[size_t(t)];
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(std::count(wrong.begin(), wrong.end(), 0), 8);
}
