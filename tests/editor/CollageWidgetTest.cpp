#include "EditorWidgetTestSupport.h"

#include "editor/CollageService.h"
#include "editor/EditorWindowController.h"
#include "model/AnnotationStore.h"
#include "output/FrameSettings.h"
#include "platform/Defaults.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace snapkin;
using namespace snapkin::editortest;

namespace {

class CollageTest : public EditorWindowsTest {};

TEST_F(CollageTest, OpensAnEditorWithTheRememberedFrameAndTracksIt)
{
    auto& settings = platform::Defaults::standard();
    settings.setValue(keys::frameApplyAlways, true);
    settings.setValue(keys::frameLastOn, true);
    QFile junk(path("notes.png"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not an image");
    junk.close();
    const QStringList files = {writeImage("a.png", {80, 60}), path("notes.png"),
                               writeImage("b.png", {40, 30})};

    CollageService::createFromFiles(editors(), files, CollageLayout::sideBySide);
    const QList<EditorPage*> pages = editors().pages();
    ASSERT_EQ(pages.size(), 1);
    ASSERT_EQ(m_history.tracked.size(), 1);
    const AnnotationStore& store = *m_history.tracked.front().store;
    EXPECT_EQ(m_history.tracked.front().title, "Collage");
    EXPECT_EQ(store.image().pixelSize(), QSize(80 + 12 + 80, 60));
    EXPECT_TRUE(store.frame().has_value());
}

TEST_F(CollageTest, NothingThatOpensAlertsAndCancellingDoesNothing)
{
    CollageService::createFromFiles(editors(), {}, CollageLayout::stacked);
    EXPECT_TRUE(editors().pages().isEmpty());

    AlertAnswerer alerts;
    CollageService::createFromFiles(editors(), {path("missing.png")}, CollageLayout::stacked);
    ASSERT_EQ(alerts.seen().size(), 1);
    EXPECT_EQ(alerts.seen().front().text, "Couldn't create the collage");
    EXPECT_TRUE(editors().pages().isEmpty());
    EXPECT_TRUE(m_history.tracked.isEmpty());
}

} // namespace
