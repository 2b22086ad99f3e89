#include "platform/L10n.h"
#include "settings/HistoryPane.h"

#include <gtest/gtest.h>

using snapkin::HistoryPane;
using snapkin::platform::L10n;

TEST(HistorySummary, SizesAreDecimalUnitsWithOneDecimal)
{
    L10n::setLanguage("en");
    EXPECT_EQ(HistoryPane::summary(2, std::nullopt), "2");
    EXPECT_EQ(HistoryPane::summary(12, 2'000'000), QString::fromUtf8("12 · 2.0 MB"));
    EXPECT_EQ(HistoryPane::summary(3, 568'000), QString::fromUtf8("3 · 568.0 kB"));
    EXPECT_EQ(HistoryPane::summary(1, 1'940'000'000), QString::fromUtf8("1 · 1.9 GB"));
    L10n::setLanguage("de");
    EXPECT_EQ(HistoryPane::summary(3, 568'000), QString::fromUtf8("3 · 568,0 kB"));
    L10n::setLanguage("en");
}
