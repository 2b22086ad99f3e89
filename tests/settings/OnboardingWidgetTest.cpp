#include "capture/hotkeys/CaptureHotKey.h"
#include "platform/Defaults.h"
#include "settings/OnboardingController.h"

#include <QLabel>
#include <QPromise>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

using namespace snapkin;
using Access = OnboardingView::Access;

namespace {

platform::Defaults& settings()
{
    return platform::Defaults::standard();
}

// A screen check whose answers the test gives, at once or later.
struct FakeCheck {
    int calls = 0;
    bool answer = true;
    bool holdAnswers = false;
    std::vector<std::shared_ptr<QPromise<bool>>> pending;

    OnboardingView::AccessCheck function()
    {
        return [this] {
            ++calls;
            auto promise = std::make_shared<QPromise<bool>>();
            promise->start();
            if (holdAnswers) {
                pending.push_back(promise);
            } else {
                promise->addResult(answer);
                promise->finish();
            }
            return promise->future();
        };
    }
    void release(size_t index, bool value)
    {
        pending.at(index)->addResult(value);
        pending.at(index)->finish();
    }
};

class Onboarding : public ::testing::Test {
protected:
    OnboardingController m_controller;

    void SetUp() override
    {
        settings().removeAllStored();
        controller().setAccessCheck(check.function());
        controller().setCaptureStarter([this] {
            ++captures;
            windowGoneAtCapture = !controller().window() && !anyVisibleWelcome();
        });
    }
    void TearDown() override
    {
        if (OnboardingWindow* window = controller().window()) {
            window->view()->startButton()->click(); // forgets the window
        }
        QTest::qWait(1);
        settings().removeAllStored();
    }

    OnboardingController& controller() { return m_controller; }
    static bool anyVisibleWelcome()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (dynamic_cast<OnboardingWindow*>(w) && w->isVisible()) return true;
        return false;
    }
    OnboardingView* openView()
    {
        controller().show();
        OnboardingWindow* window = controller().window();
        EXPECT_NE(window, nullptr);
        QTest::qWait(1); // the first check answers on the next turn
        return window ? window->view() : nullptr;
    }

    FakeCheck check;
    int captures = 0;
    bool windowGoneAtCapture = false;
};

} // namespace

TEST_F(Onboarding, AReadableScreenShowsReadyAndNoButtons)
{
    check.holdAnswers = true;
    OnboardingView* view = openView();
    EXPECT_EQ(view->access(), Access::checking);
    EXPECT_EQ(view->badge()->text(), "Checking screen capture…");
    check.release(0, true);
    QTest::qWait(1);
    EXPECT_EQ(view->access(), Access::ready);
    EXPECT_EQ(view->badge()->text(), "Ready to capture your screen");
    EXPECT_TRUE(view->recheckButton()->isHidden());
    EXPECT_TRUE(view->adviceLabel()->isHidden());
    EXPECT_TRUE(view->alternativeRow()->isHidden());
}

TEST_F(Onboarding, NoAccessShowsTheAdviceAndRecheckFindsItLater)
{
    check.answer = false;
    OnboardingView* view = openView();
    EXPECT_EQ(view->access(), Access::unavailable);
    EXPECT_EQ(view->badge()->text(), "Screen capture not available");
    EXPECT_FALSE(view->adviceLabel()->isHidden());
    EXPECT_TRUE(
        view->adviceLabel()->text().startsWith("Screen capture needs an X11 (Xorg) session"));
    EXPECT_FALSE(view->alternativeRow()->isHidden());
    const QString alternative = view->alternativeRow()->findChildren<QLabel*>().last()->text();
    EXPECT_TRUE(
        alternative.endsWith("paste a screenshot with " +
                             QKeySequence("Ctrl+Shift+N").toString(QKeySequence::NativeText) + "."))
        << alternative.toStdString();
    ASSERT_FALSE(view->recheckButton()->isHidden());

    check.answer = true;
    view->recheckButton()->click();
    QTest::qWait(1);
    EXPECT_EQ(view->access(), Access::ready);
    EXPECT_EQ(check.calls, 2);
}

TEST_F(Onboarding, TheLastCheckToEndDecides)
{
    check.answer = false;
    OnboardingView* view = openView();
    check.holdAnswers = true;
    view->recheckButton()->click();
    view->recheckButton()->click();
    check.release(1, true);
    check.release(0, false);
    QTest::qWait(1);
    EXPECT_EQ(view->access(), Access::unavailable);
}

TEST_F(Onboarding, TheTickWatchesOnlyAReadableScreen)
{
    OnboardingView* view = openView();
    ASSERT_EQ(view->access(), Access::ready);
    check.answer = false;
    // The next tick notices; waited for, as a loaded machine may run it late.
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->access() == Access::unavailable; },
                                OnboardingView::recheckIntervalMs + 10000));
    const int calls = check.calls;
    check.answer = true;
    QTest::qWait(OnboardingView::recheckIntervalMs + 300);
    EXPECT_EQ(check.calls, calls); // not available waits for Re-check
    EXPECT_EQ(view->access(), Access::unavailable);

    view->recheckButton()->click();
    QTest::qWait(1);
    ASSERT_EQ(view->access(), Access::ready);
    controller().window()->close(); // kept, but off the screen: no more checks
    const int hiddenCalls = check.calls;
    QTest::qWait(OnboardingView::recheckIntervalMs + 300);
    EXPECT_EQ(check.calls, hiddenCalls);
}

TEST_F(Onboarding, ReturnFollowsTheShownPageAndBackDoesNotCheckAgain)
{
    OnboardingView* view = openView();
    OnboardingWindow* window = controller().window();
    EXPECT_EQ(view->pageDots()->accessibleName(), "Step 1 of 2");
    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_EQ(view->step(), 1);
    EXPECT_EQ(captures, 0); // the hidden page's "Try it now" did not start a capture
    EXPECT_EQ(view->pageDots()->accessibleName(), "Step 2 of 2");
    EXPECT_TRUE(view->nextButton()->isHidden());
    EXPECT_FALSE(view->startButton()->isDefault());

    view->backButton()->click();
    QTest::qWait(1);
    EXPECT_EQ(view->step(), 0);
    EXPECT_EQ(check.calls, 1);
    EXPECT_TRUE(view->backButton()->isHidden());
}

TEST_F(Onboarding, TheSecondPageNamesTheStoredRegionShortcut)
{
    CaptureHotKey key = CaptureHotKey::builtIn(CaptureAction::region);
    key.modifiers = CaptureHotKey::ctrlMask | CaptureHotKey::shiftMask;
    key.save(CaptureAction::region);
    OnboardingView* view = openView();
    view->nextButton()->click();
    bool found = false;
    for (QLabel* label : view->findChildren<QLabel*>())
        if (label->text() == "Press " + key.displayString() + " anywhere to capture a region.")
            found = true;
    EXPECT_TRUE(found) << key.displayString().toStdString();
}

TEST_F(Onboarding, TryItNowClosesTheWindowBeforeTheCaptureStarts)
{
    OnboardingView* view = openView();
    view->nextButton()->click();
    QTest::keyClick(controller().window(), Qt::Key_Return);
    EXPECT_EQ(controller().window(), nullptr);
    EXPECT_EQ(captures, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return captures == 1; }, 2000));
    EXPECT_TRUE(windowGoneAtCapture);
}

TEST_F(Onboarding, ATitleBarCloseKeepsTheWindowAndStartBuildsANewOne)
{
    OnboardingView* view = openView();
    view->nextButton()->click();
    OnboardingWindow* first = controller().window();
    first->close();
    EXPECT_FALSE(first->isVisible());
    controller().show();
    EXPECT_EQ(controller().window(), first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->view()->step(), 1);
    EXPECT_EQ(check.calls, 1);

    controller().show(); // a second refused capture: still one window
    EXPECT_EQ(controller().window(), first);

    QPointer<OnboardingWindow> gone(first);
    first->view()->startButton()->click();
    EXPECT_EQ(controller().window(), nullptr);
    QTest::qWait(1);
    EXPECT_TRUE(gone.isNull());
    OnboardingView* fresh = openView();
    EXPECT_EQ(fresh->step(), 0);
    EXPECT_EQ(check.calls, 2);
}

TEST_F(Onboarding, LaunchRuleHonoursTheStoredChoice)
{
    struct Case {
        QVariant stored;
        bool didShow;
        bool opens;
    };
    const Case cases[] = {
        {QVariant(), false, true},
        {QVariant(), true, false},
        {QVariant(true), false, true},
        {QVariant(true), true, true},
        {QVariant(false), false, false},
        {QVariant(false), true, false},
        {QVariant(QStringLiteral("yes")), true, false}, // not a Bool: as if absent
    };
    for (const Case& c : cases)
        EXPECT_EQ(OnboardingController::opensAtLaunch(c.stored, c.didShow), c.opens)
            << c.stored.toString().toStdString() << " " << c.didShow;
}

TEST_F(Onboarding, LaunchesOpenTheWindowAsTheSettingSays)
{
    controller().showIfNeeded(); // first launch
    ASSERT_NE(controller().window(), nullptr);
    EXPECT_TRUE(settings().get(keys::didShowOnboarding));
    controller().window()->view()->startButton()->click();

    controller().showIfNeeded(); // second launch, setting absent
    EXPECT_EQ(controller().window(), nullptr);

    settings().setValue(keys::showOnboardingOnLaunch, true);
    controller().showIfNeeded();
    ASSERT_NE(controller().window(), nullptr);
    controller().window()->view()->startButton()->click();

    settings().removeAllStored();
    settings().setValue(keys::showOnboardingOnLaunch, false);
    controller().showIfNeeded();
    EXPECT_EQ(controller().window(), nullptr);
    controller().show(); // the menu still opens it, and that counts as shown
    EXPECT_NE(controller().window(), nullptr);
    EXPECT_TRUE(settings().get(keys::didShowOnboarding));
}
