#include "CaptureFakes.h"

#include "capture/CaptureService.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

QMessageBox* openAlert()
{
    QCoreApplication::processEvents();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (box && box->isVisible()) return box;
    }
    return nullptr;
}

} // namespace

TEST(CaptureFailureAlert, ShowsTheReasonAndItsFirstButtonTurnsToTheDesktopsScreenshots)
{
    QStringList log;
    test::RecordingHooks hooks(&log);
    test::FakeEngine engine(&log);
    CaptureService service{hooks.router, hooks.watcher, hooks.hooks()};
    service.setEngine(&engine);

    service.handle(CaptureFailure::from(CaptureEngineError::noFrontWindow));
    QMessageBox* box = openAlert();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Couldn't capture the screen");
    EXPECT_TRUE(box->informativeText().endsWith("Detail: No front window was found."));
    // The default alert style: no warning icon.
    EXPECT_NE(box->icon(), QMessageBox::Warning);
    EXPECT_NE(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
    ASSERT_NE(box->defaultButton(), nullptr);
    EXPECT_EQ(box->defaultButton()->text(), "Use System Screenshots…");

    // Close only dismisses.
    QAbstractButton* close = nullptr;
    for (QAbstractButton* b : box->buttons()) {
        if (b->text() == "Close") close = b;
    }
    ASSERT_NE(close, nullptr);
    close->click();
    QCoreApplication::processEvents();
    EXPECT_TRUE(log.isEmpty());

    service.handle(CaptureFailure::from(CaptureEngineError::cropFailed));
    box = openAlert();
    ASSERT_NE(box, nullptr);
    box->defaultButton()->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(log, QStringList{"watcher"});
}
