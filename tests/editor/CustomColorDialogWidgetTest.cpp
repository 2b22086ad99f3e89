#include "editor/options/CustomColorDialog.h"

#include <QColorDialog>
#include <QPointer>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

using snapkin::CustomColorDialog;

namespace {

// A colour well's owner inside a window of its own, with every pick noted.
struct WellInWindow {
    QWidget window;
    QWidget* owner = new QWidget(&window);
    QList<QColor> picked;
    CustomColorDialog colors{*owner, [this](const QColor& color) { picked.append(color); }};

    WellInWindow()
    {
        (new QVBoxLayout(&window))->addWidget(owner);
        window.show();
    }
};

} // namespace

TEST(CustomColorDialog, ReportsEachPickButNotTheColourItOpensOn)
{
    WellInWindow well;
    well.colors.open(QColor("#336699"));
    QPointer<QColorDialog> dialog = well.colors.dialog();
    ASSERT_FALSE(dialog.isNull());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isModal());
    EXPECT_EQ(dialog->currentColor(), QColor("#336699"));
    EXPECT_TRUE(well.picked.isEmpty());

    dialog->setCurrentColor(QColor("#808000"));
    ASSERT_EQ(well.picked.size(), 1);
    EXPECT_EQ(well.picked[0], QColor("#808000"));

    // Opening again reuses the dialog, on the colour asked for, and reports nothing.
    well.colors.open(QColor("#112233"));
    EXPECT_EQ(well.colors.dialog(), dialog.data());
    EXPECT_EQ(dialog->currentColor(), QColor("#112233"));
    EXPECT_EQ(well.picked.size(), 1);
}

TEST(CustomColorDialog, ClosingTheOwnersWindowClosesItForGood)
{
    WellInWindow well;
    well.colors.open(QColor("#336699"));
    QPointer<QColorDialog> dialog = well.colors.dialog();
    ASSERT_FALSE(dialog.isNull());

    well.window.close();
    EXPECT_EQ(well.colors.dialog(), nullptr);
    if (dialog) dialog->setCurrentColor(QColor("#808000"));
    EXPECT_TRUE(well.picked.isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.isNull(); }));
}

TEST(CustomColorDialog, FollowsItsOwnerIntoAnotherWindow)
{
    WellInWindow well;
    QWidget other;
    auto* otherLayout = new QVBoxLayout(&other);
    otherLayout->addWidget(well.owner);
    other.show();
    well.colors.open(QColor("#336699"));

    // The window it left closes: the dialog stays.
    well.window.close();
    ASSERT_NE(well.colors.dialog(), nullptr);

    other.close();
    EXPECT_EQ(well.colors.dialog(), nullptr);
}
