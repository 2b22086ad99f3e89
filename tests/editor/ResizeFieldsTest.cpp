#include "editor/ResizeFields.h"

#include <gtest/gtest.h>

#include <limits>

using namespace snapkin;

TEST(ResizeFields, OpensAtTheOriginalWithTheLockOnAndNothingToApply)
{
    const ResizeFields fields({1920, 1080});
    EXPECT_EQ(fields.width(), 1920);
    EXPECT_EQ(fields.height(), 1080);
    EXPECT_TRUE(fields.lockRatio());
    EXPECT_FALSE(fields.canApply());
}

TEST(ResizeFields, LockedSideRoundsHalvesAwayFromZeroAndNeverFeedsBack)
{
    ResizeFields fields({1920, 1080});
    fields.typeWidth(1000);
    EXPECT_EQ(fields.height(), 563); // 562.5
    EXPECT_EQ(fields.width(), 1000);
    EXPECT_TRUE(fields.canApply());

    ResizeFields thin({1000, 3});
    thin.typeWidth(500);
    EXPECT_EQ(thin.height(), 2); // 1.5
    thin.typeHeight(1);
    EXPECT_EQ(thin.width(), 333); // 333.33, from the original's ratio
}

TEST(ResizeFields, ZeroOrNegativeSideDerivesOneAndCannotApply)
{
    ResizeFields fields({1920, 1080});
    fields.typeHeight(0);
    EXPECT_EQ(fields.width(), 1);
    EXPECT_FALSE(fields.canApply());
    fields.typeWidth(-40);
    EXPECT_EQ(fields.height(), 1);
    EXPECT_FALSE(fields.canApply());
}

TEST(ResizeFields, UnlockedSidesAreIndependentUntilTheLockRecomputesTheHeight)
{
    ResizeFields fields({1920, 1080});
    fields.setLockRatio(false);
    fields.typeWidth(1000);
    EXPECT_EQ(fields.height(), 1080);
    fields.typeHeight(200);
    EXPECT_EQ(fields.width(), 1000);
    fields.setLockRatio(true);
    EXPECT_EQ(fields.width(), 1000);
    EXPECT_EQ(fields.height(), 563);
}

TEST(ResizeFields, PercentagesTruncateFromTheOriginalWhateverTheLock)
{
    for (bool locked : {true, false}) {
        ResizeFields fields({1001, 3});
        fields.setLockRatio(locked);
        fields.typeWidth(77);
        fields.applyPercent(25);
        EXPECT_EQ(fields.width(), 250);
        EXPECT_EQ(fields.height(), 1); // 0.75 truncated, raised to 1
    }
    ResizeFields fields({1920, 1080});
    fields.applyPercent(75);
    EXPECT_EQ(fields.width(), 1440);
    EXPECT_EQ(fields.height(), 810);
    EXPECT_TRUE(fields.canApply());
    fields.applyPercent(100);
    EXPECT_EQ(fields.width(), 1920);
    EXPECT_EQ(fields.height(), 1080);
    EXPECT_FALSE(fields.canApply());
}

TEST(ResizeFields, TypingTheOriginalBackCannotApply)
{
    ResizeFields fields({1920, 1080});
    fields.setLockRatio(false);
    fields.typeWidth(1000);
    fields.typeHeight(500);
    fields.typeWidth(1920);
    fields.typeHeight(1080);
    EXPECT_FALSE(fields.canApply());
}

TEST(ResizeFields, SizesBeyondTheLargestImageCannotApply)
{
    ResizeFields fields({1920, 1080});
    fields.typeWidth(100000);
    EXPECT_EQ(fields.height(), 56250);
    EXPECT_TRUE(fields.isTooLarge());
    EXPECT_FALSE(fields.canApply());

    fields.setLockRatio(false);
    fields.typeWidth(32767);
    fields.typeHeight(1024); // 33,553,408 pixels
    EXPECT_FALSE(fields.isTooLarge());
    EXPECT_TRUE(fields.canApply());
    // More than the image budget lets the store make (and a document be opened with) is refused
    // here, though the finished image could still hold 268,435,456.
    fields.typeHeight(1025);
    EXPECT_TRUE(fields.isTooLarge());
    fields.typeWidth(8192);
    fields.typeHeight(4096);
    EXPECT_TRUE(fields.canApply());
    fields.typeHeight(4097);
    EXPECT_TRUE(fields.isTooLarge());
    fields.typeWidth(32768);
    fields.typeHeight(2);
    EXPECT_TRUE(fields.isTooLarge());
    // A huge negative side must not overflow the area check.
    fields.typeWidth(5);
    fields.typeHeight(std::numeric_limits<qint64>::min());
    EXPECT_FALSE(fields.canApply());
}

TEST(ResizeFields, AbsurdTypedNumbersDeriveAFinitePartner)
{
    ResizeFields tall({3, 1000});
    tall.typeWidth(std::numeric_limits<qint64>::max());
    EXPECT_GT(tall.height(), 0);
    EXPECT_FALSE(tall.canApply());
    tall.typeHeight(std::numeric_limits<qint64>::max());
    EXPECT_GT(tall.width(), 0);
}

TEST(ResizeFields, SidesBelowOnePointCannotApply)
{
    // Two pixels per point: one pixel is half a point, which the store refuses.
    ResizeFields fields({800, 600}, 2.0);
    fields.setLockRatio(false);
    fields.typeWidth(1);
    EXPECT_TRUE(fields.isTooSmall());
    EXPECT_FALSE(fields.canApply());
    fields.typeWidth(2);
    EXPECT_TRUE(fields.canApply());
}
