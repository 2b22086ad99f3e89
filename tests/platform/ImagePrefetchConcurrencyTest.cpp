// Decodes started, taken and dropped from several threads at once, as the start-up thread, the
// workers and the editor's opening share the list of pending decodes.
#include "platform/ImagePrefetch.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

using snapkin::platform::ImagePrefetch;

TEST(ImagePrefetchConcurrency, EveryThreadGetsItsOwnPicture)
{
    QTemporaryDir dir;
    constexpr int kThreads = 6;
    std::vector<QString> paths;
    for (int i = 0; i < kThreads; ++i) {
        QImage image(40 + i, 30, QImage::Format_RGB32);
        image.fill(qRgb(30 * i, 200 - 20 * i, 90));
        paths.push_back(dir.filePath(QStringLiteral("p%1.png").arg(i)));
        ASSERT_TRUE(image.save(paths.back(), "png"));
    }
    std::vector<int> widths(kThreads, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            ImagePrefetch::start(paths[size_t(i)]);
            ImagePrefetch::start(paths[size_t((i + 1) % kThreads)]); // one already under way
            const auto taken = ImagePrefetch::take(paths[size_t(i)]);
            if (taken && taken->has_value()) widths[size_t(i)] = (*taken)->image().width();
        });
    }
    for (std::thread& t : threads)
        t.join();
    ImagePrefetch::discard();
    for (int i = 0; i < kThreads; ++i)
        EXPECT_EQ(widths[size_t(i)], 40 + i) << i;
}
