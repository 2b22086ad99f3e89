// The font list read on a worker while the GUI thread measures text, as at start-up: the first
// window's texts measure as they do once the list is read, and the reading ends with its owner.
#include "platform/FontWarmUp.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

using snapkin::platform::FontWarmUp;

TEST(FontWarmUpConcurrency, TextMeasuredWhileTheFontsAreReadMeasuresAsAfterwards)
{
    const QString text = QStringLiteral("Snapkin opens 3840 × 2160");
    int during = 0;
    std::vector<int> others(3, 0);
    {
        const FontWarmUp warmUp;
        // Other threads measure too, as the renderer does off the GUI thread.
        std::vector<std::thread> threads;
        for (size_t i = 0; i < others.size(); ++i)
            threads.emplace_back([&, i] {
                others[i] = QFontMetrics(QGuiApplication::font()).horizontalAdvance(text);
            });
        during = QFontMetrics(QGuiApplication::font()).horizontalAdvance(text);
        for (std::thread& t : threads)
            t.join();
    }
    EXPECT_FALSE(QFontDatabase::families().isEmpty());
    const int after = QFontMetrics(QGuiApplication::font()).horizontalAdvance(text);
    EXPECT_GT(after, 0);
    EXPECT_EQ(during, after);
    for (int width : others)
        EXPECT_EQ(width, after);
}
