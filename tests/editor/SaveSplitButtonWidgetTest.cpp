#include "editor/SaveSplitButton.h"

#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include "TestPaths.h"

using namespace snapkin;

TEST(SaveSplitButton, SavesFromOneHalfAndOpensTheFormatsFromTheOther)
{
    SaveSplitButton button;
    button.formatMenu()->addAction("PNG");
    QSignalSpy saves(&button, &SaveSplitButton::saveRequested);
    QTest::mouseClick(button.saveButton(), Qt::LeftButton);
    EXPECT_EQ(saves.count(), 1);
    EXPECT_EQ(button.saveButton()->text(), "Save");
    EXPECT_EQ(button.formatButton()->accessibleName(), "Save format");
    EXPECT_EQ(button.formatButton()->menu(), button.formatMenu());
    EXPECT_EQ(button.formatButton()->popupMode(), QToolButton::InstantPopup);
    EXPECT_TRUE(button.formatButton()->focusPolicy() & Qt::TabFocus);
    button.grab().save(QStringLiteral(SNAPKIN_BUILD_DIR "/save-split-button.png"));
}
