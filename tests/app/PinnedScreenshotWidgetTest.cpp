#include "AppTestSupport.h"

#include "output/ExportService.h"
#include "ui/output/ExportDialogs.h"

#include "app/PinnedScreenshotController.h"
#include "editor/EditorWindowController.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

using Pin = PinnedScreenshotWindow;

QImage picture(int width, int height, QColor color = Qt::darkGreen)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

class PinnedScreenshotTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        pins().closeAll();
        apptest::closeAllEditors(m_editors);
    }
    PinnedScreenshotController& pins() { return m_pins; }
    EditorWindowController m_editors;
    ExportService m_exports;
    ExportDialogs m_dialogs{m_exports};
    PinnedScreenshotController m_pins{m_editors, m_dialogs};
};

// The opacity items of a pin's context menu that carry a check mark.
QStringList checkedOpacities(Pin& pin)
{
    std::unique_ptr<QMenu> menu(pin.contextMenu());
    QStringList checked;
    for (QAction* action : menu->actions()) {
        if (!action->menu()) continue;
        for (QAction* item : action->menu()->actions())
            if (item->isChecked()) checked << item->text();
    }
    return checked;
}

bool clipboardHasImage()
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data && data->hasFormat("image/png");
}

void pressKey(QWidget& widget, int key, Qt::KeyboardModifiers modifiers, quint32 nativeMods = 0)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, 0, 0, nativeMods);
    QApplication::sendEvent(&widget, &press);
}

} // namespace

// Pins belong to their controller: when it goes, so do the pins still open, and a pin that
// closes afterwards reaches no controller.
TEST(PinnedScreenshotOwner, OpenPinsGoWithTheirController)
{
    QPointer<Pin> open;
    {
        ExportService exports;
        ExportDialogs dialogs(exports);
        EditorWindowController editors;
        PinnedScreenshotController pins(editors, dialogs);
        open = pins.pin(picture(120, 80));
        open->show();
        ASSERT_EQ(pins.count(), 1);
    }
    EXPECT_TRUE(open.isNull());
}

TEST_F(PinnedScreenshotTest, CountsFollowPinningLockingUnlockingAndClosing)
{
    QSignalSpy counts(&pins(), &PinnedScreenshotController::countChanged);
    Pin* a = pins().pin(picture(300, 200));
    Pin* b = pins().pin(picture(300, 200));
    Pin* c = pins().pin(picture(300, 200));
    EXPECT_EQ(pins().count(), 3);
    EXPECT_EQ(pins().windows(), (QList<Pin*>{a, b, c}));

    a->lock();
    b->lock();
    EXPECT_EQ(pins().lockedCount(), 2);
    EXPECT_TRUE(a->windowHandle()->flags() & Qt::WindowTransparentForInput);
    pins().unlockAll();
    EXPECT_EQ(pins().lockedCount(), 0);
    EXPECT_FALSE(a->windowHandle()->flags() & Qt::WindowTransparentForInput);

    b->closePin();
    EXPECT_EQ(pins().windows(), (QList<Pin*>{a, c}));
    // Closed by the window manager: it leaves the list too.
    c->close();
    EXPECT_EQ(pins().count(), 1);

    a->lock();
    pins().closeAll();
    EXPECT_EQ(pins().count(), 0);
    EXPECT_EQ(pins().lockedCount(), 0);
    EXPECT_EQ(counts.count(), 6); // 1, 2, 3, 2, 1, then 0 with closeAll
}

TEST_F(PinnedScreenshotTest, ANewPinShowsItsImageAtPointSizeWithinItsScreen)
{
    const QRect available(0, 0, 1500, 900);
    EXPECT_EQ(Pin::initialSize(QSizeF(400, 300), available), QSize(400, 300));
    // At most two thirds of the screen, keeping the aspect.
    EXPECT_EQ(Pin::initialSize(QSizeF(3000, 1000), available), QSize(1000, 333));
    EXPECT_EQ(Pin::initialSize(QSizeF(500, 1800), available), QSize(167, 600));
    // At least 80 × 80, also for a sliver or an empty image.
    EXPECT_EQ(Pin::initialSize(QSizeF(30, 10), available), QSize(80, 80));
    EXPECT_EQ(Pin::initialSize(QSizeF(600, 0), available), QSize(600, 80));

    // A 2x capture pins at its size in points, centred on the screen.
    QImage hidpi = picture(800, 400);
    hidpi.setDevicePixelRatio(2.0);
    Pin* pin = pins().pin(hidpi);
    EXPECT_EQ(pin->size(), QSize(400, 200));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((pin->geometry().center() - screen.center()).manhattanLength(), 2);
    EXPECT_TRUE(pin->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(pin->windowFlags() & Qt::FramelessWindowHint);
    pin->grab().save(apptest::picturePath("pinned-screenshot.png"));
}

TEST_F(PinnedScreenshotTest, APinchKeepsTheWidthBetweenTheMinimumAndTheScreen)
{
    const QSizeF image(400, 200);
    EXPECT_EQ(Pin::resizedSize(400, 1.5, image, 80, 1920), QSizeF(600, 300));
    EXPECT_EQ(Pin::resizedSize(400, 0.1, image, 80, 1920), QSizeF(80, 40));
    EXPECT_EQ(Pin::resizedSize(400, 10, image, 80, 1920), QSizeF(1920, 960));
    // A screen narrower than the minimum wins over it.
    EXPECT_EQ(Pin::resizedSize(400, 0.1, image, 80, 60), QSizeF(60, 30));
    // Without any screen the limit is 4000 points.
    EXPECT_EQ(Pin::screenLimit(nullptr) > 0, true);
    EXPECT_EQ(Pin::resizedSize(400, 100, image, 80, Pin::noScreenLimit), QSizeF(4000, 2000));
    // An image of height 0 counts as one point high.
    EXPECT_EQ(Pin::resizedSize(100, 2, QSizeF(300, 0), 80, 1920), QSizeF(200, 200.0 / 300.0));

    Pin* pin = pins().pin(picture(400, 200));
    const QPoint centre = pin->geometry().center();
    pin->resizeBy(1.5);
    EXPECT_EQ(pin->size(), QSize(600, 300));
    EXPECT_LE((pin->geometry().center() - centre).manhattanLength(), 2);
    pin->actualSize();
    EXPECT_EQ(pin->size(), QSize(400, 200));
}

TEST_F(PinnedScreenshotTest, TheWheelAndTheMenuSetTheOpacityWithMatchingCheckMarks)
{
    Pin* pin = pins().pin(picture(300, 200));
    EXPECT_EQ(checkedOpacities(*pin), QStringList{"100%"});

    // Wheel notches of 120 move 5 % each; touchpad pixels move 1/200 each.
    EXPECT_DOUBLE_EQ(Pin::scrolledOpacity(1.0, {}, QPoint(0, -120)), 0.95);
    EXPECT_DOUBLE_EQ(Pin::scrolledOpacity(0.5, QPoint(0, 20), QPoint(0, -120)), 0.6);
    EXPECT_DOUBLE_EQ(Pin::scrolledOpacity(0.25, {}, QPoint(0, -1200)), 0.2);
    EXPECT_DOUBLE_EQ(Pin::scrolledOpacity(0.9, QPoint(0, 400), {}), 1.0);

    QWheelEvent wheel(QPointF(10, 10), pin->mapToGlobal(QPointF(10, 10)), QPoint(),
                      QPoint(0, -120 * 5), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(pin, &wheel);
    EXPECT_NEAR(pin->windowOpacity(), 0.75, 0.01);
    EXPECT_EQ(checkedOpacities(*pin), QStringList{"75%"});

    pin->setWindowOpacity(0.43); // between the menu's values: no mark
    EXPECT_TRUE(checkedOpacities(*pin).isEmpty());

    std::unique_ptr<QMenu> menu(pin->contextMenu());
    menu->popup(QPoint(0, 0));
    menu->grab().save(apptest::picturePath("pin-context-menu.png"));
    menu->hide();
    QStringList titles;
    for (QAction* a : menu->actions())
        titles << (a->isSeparator() ? QStringLiteral("---") : a->text());
    EXPECT_EQ(titles, (QStringList{"Copy", "Save\u2026", "Open in Editor", "---", "Opacity",
                                   "Actual Size", "Let Clicks Pass Through", "---", "Close"}));
    for (QAction* item : menu->actions()[4]->menu()->actions())
        if (item->text() == "25%") item->trigger();
    EXPECT_NEAR(pin->windowOpacity(), 0.25, 0.01);
}

TEST_F(PinnedScreenshotTest, OnlyExactlyCtrlCAndCtrlWAreTaken)
{
    Pin* pin = pins().pin(picture(64, 48, Qt::magenta));
    QApplication::clipboard()->clear();

    pressKey(*pin, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(clipboardHasImage());
    pressKey(*pin, Qt::Key_C, Qt::ControlModifier, 0x4 | 0x2); // Caps Lock on
    EXPECT_FALSE(clipboardHasImage());
    pressKey(*pin, Qt::Key_C, Qt::ControlModifier, 0x4);
    ASSERT_TRUE(clipboardHasImage());
    EXPECT_EQ(QImage::fromData(QApplication::clipboard()->mimeData()->data("image/png")).size(),
              QSize(64, 48));

    pressKey(*pin, Qt::Key_W, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(pins().count(), 1);
    pressKey(*pin, Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(pins().count(), 0);
}

TEST_F(PinnedScreenshotTest, ADoubleClickOpensTheImageInAnEditorAndThePinStays)
{
    Pin* pin = pins().pin(picture(320, 240));
    QTest::mouseDClick(pin, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    ASSERT_EQ(m_editors.pages().size(), 1);
    EXPECT_EQ(pins().count(), 1);
}
