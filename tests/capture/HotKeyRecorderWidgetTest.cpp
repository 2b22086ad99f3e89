#include "HotKeyTestSupport.h"

#include "capture/hotkeys/HotKeyRecorder.h"
#include "capture/hotkeys/HotkeyService.h"
#include "platform/Defaults.h"

#include "TestPaths.h"

#include <QAction>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

constexpr Qt::KeyboardModifiers ctrlAlt = Qt::ControlModifier | Qt::AltModifier;

class HotKeyRecorderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::Defaults::standard().removeAllStored();
        CaptureHotKey::registerDefaults();
        service.reload();
        auto* layout = new QVBoxLayout(&window);
        recorder = new HotKeyRecorder(CaptureAction::region, service);
        recorder->setOnChange([this](const CaptureHotKey& key) {
            changes.append(key);
            service.reload();
        });
        other = new QLineEdit;
        layout->addWidget(recorder, 0, Qt::AlignRight);
        layout->addWidget(other);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    void TearDown() override { platform::Defaults::standard().removeAllStored(); }

    void click()
    {
        QTest::mouseClick(recorder, Qt::LeftButton, {},
                          recorder->rect().topRight() + QPoint(-10, 5));
    }
    void press(int key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    }
    bool stored() const
    {
        return platform::Defaults::standard().hasStoredValue("captureHotKeyKeyCode");
    }

    test::FakeGrabber grabber;
    HotkeyService service{grabber};
    test::CaptureRecorder captures;
    QWidget window;
    HotKeyRecorder* recorder = nullptr;
    QLineEdit* other = nullptr;
    QList<CaptureHotKey> changes;
};

} // namespace

TEST_F(HotKeyRecorderTest, IdleShowsTheCombinationAndDescribesItself)
{
    EXPECT_EQ(recorder->text(), "Ctrl+Alt+4");
    EXPECT_EQ(recorder->toolTip(), "Click and press the new shortcut");
    EXPECT_EQ(recorder->accessibleName(), "Capture Region");
    EXPECT_TRUE(recorder->message().isEmpty());
    EXPECT_GE(recorder->sizeHint().width(), 72);
}

TEST_F(HotKeyRecorderTest, RecordingTakesTheKeyboardSuspendsShortcutsAndIgnoresKeysWithoutModifiers)
{
    click();
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_EQ(recorder->text(), "Press shortcut…");
    EXPECT_EQ(QWidget::keyboardGrabber(), recorder);
    EXPECT_TRUE(grabber.grabs.empty());

    press(Qt::Key_A);
    press(Qt::Key_A, Qt::ShiftModifier);
    press(Qt::Key_CapsLock);
    press(Qt::Key_Tab);
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_EQ(QApplication::focusWidget(), recorder); // Tab did not move on
    EXPECT_TRUE(other->text().isEmpty());
    EXPECT_FALSE(stored());
    EXPECT_TRUE(changes.isEmpty());
}

TEST_F(HotKeyRecorderTest, EscapeOrASecondClickEndsRecordingAndKeepsTheCombination)
{
    click();
    press(Qt::Key_Escape);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(recorder->text(), "Ctrl+Alt+4");
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
    EXPECT_EQ(grabber.grabs.size(), 6u);
    click();
    click();
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(grabber.grabs.size(), 6u);
    EXPECT_FALSE(stored());
    EXPECT_TRUE(changes.isEmpty());
}

TEST_F(HotKeyRecorderTest, AnotherActionsCombinationIsRefusedAndNamed)
{
    click();
    press(Qt::Key_5, ctrlAlt);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(recorder->conflict(), CaptureAction::window);
    EXPECT_EQ(recorder->message(), "Already used by Capture Window");
    EXPECT_EQ(recorder->text(), "Ctrl+Alt+4");
    EXPECT_FALSE(stored());
    EXPECT_TRUE(changes.isEmpty());
    EXPECT_TRUE(captures.runs.isEmpty());
    EXPECT_EQ(grabber.grabs.size(), 6u);
    // The message stays until recording starts again.
    click();
    EXPECT_TRUE(recorder->message().isEmpty());
}

TEST_F(HotKeyRecorderTest, ANewCombinationIsStoredReportedAndRegistered)
{
    // A window shortcut on the same keys must not take the press away.
    QAction shortcut(&window);
    shortcut.setShortcut(QKeySequence(ctrlAlt | Qt::Key_K));
    window.addAction(&shortcut);
    int triggered = 0;
    QObject::connect(&shortcut, &QAction::triggered, [&] { ++triggered; });

    click();
    press(Qt::Key_K, ctrlAlt);
    EXPECT_EQ(triggered, 0);
    EXPECT_FALSE(recorder->isRecording());
    const CaptureHotKey ctrlAltK{40, 0x900, "K"};
    EXPECT_EQ(recorder->hotKey(), ctrlAltK);
    EXPECT_EQ(recorder->text(), "Ctrl+Alt+K");
    EXPECT_EQ(CaptureHotKey::load(CaptureAction::region), ctrlAltK);
    EXPECT_EQ(changes, QList{ctrlAltK});
    EXPECT_TRUE(grabber.isGrabbed(ctrlAltK));
    EXPECT_FALSE(grabber.isGrabbed(CaptureHotKey::builtIn(CaptureAction::region)));
    EXPECT_EQ(grabber.grabs.size(), 6u);
}

TEST_F(HotKeyRecorderTest, TheActionsOwnCombinationIsAcceptedAgain)
{
    click();
    press(Qt::Key_4, ctrlAlt);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_FALSE(recorder->conflict());
    EXPECT_TRUE(stored());
    EXPECT_EQ(changes.size(), 1);
}

TEST_F(HotKeyRecorderTest, HidingOrLeavingTheFieldEndsRecordingAndGivesTheKeyboardBack)
{
    click();
    recorder->hide();
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
    EXPECT_EQ(grabber.grabs.size(), 6u);

    recorder->show();
    click();
    other->setFocus();
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
    EXPECT_EQ(grabber.grabs.size(), 6u);
    QTest::keyClicks(other, "ok");
    EXPECT_EQ(other->text(), "ok");
    EXPECT_FALSE(stored());
}

TEST_F(HotKeyRecorderTest, ACombinationAnotherApplicationHoldsIsShownUnderTheField)
{
    grabber.heldElsewhere = {CaptureHotKey::builtIn(CaptureAction::region)};
    service.reload();
    EXPECT_EQ(recorder->message(), "Another application uses this shortcut.");
    EXPECT_GT(recorder->sizeHint().height(), recorder->fontMetrics().height() * 2);
    // Recording something else that the desktop leaves free clears it.
    click();
    press(Qt::Key_K, ctrlAlt);
    EXPECT_TRUE(recorder->message().isEmpty());
}

TEST_F(HotKeyRecorderTest, PicturesOfEachState)
{
    // Written for a person to look at: idle, recording, a conflict and a refused shortcut.
    grabber.heldElsewhere = {CaptureHotKey::builtIn(CaptureAction::fullScreen)};
    service.reload();
    QWidget sheet;
    sheet.setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(&sheet);
    QList<HotKeyRecorder*> fields;
    for (CaptureAction action : {CaptureAction::window, CaptureAction::copyText,
                                 CaptureAction::lastRegion, CaptureAction::fullScreen}) {
        fields.append(new HotKeyRecorder(action, service));
        layout->addWidget(fields.back(), 0, Qt::AlignRight);
    }
    sheet.resize(280, 200);
    sheet.show();
    sheet.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&sheet));
    QTest::mouseClick(fields[1], Qt::LeftButton, {}, fields[1]->rect().topRight() + QPoint(-10, 5));
    QTest::mouseClick(fields[2], Qt::LeftButton, {}, fields[2]->rect().topRight() + QPoint(-10, 5));
    QTest::keyClick(fields[2], Qt::Key_5, ctrlAlt);
    QTest::mouseClick(fields[1], Qt::LeftButton, {}, fields[1]->rect().topRight() + QPoint(-10, 5));
    ASSERT_TRUE(fields[1]->isRecording());
    ASSERT_EQ(fields[2]->message(), "Already used by Capture Window");
    ASSERT_FALSE(fields[3]->message().isEmpty());
    layout->activate();
    const QImage shot = sheet.grab().toImage();
    EXPECT_TRUE(shot.save(SNAPKIN_BUILD_DIR "/hotkey-recorder-states.png"));
    // The recording field carries the brand colour somewhere in its frame.
    const QImage field = fields[1]->grab().toImage();
    bool brand = false;
    for (int x = 0; x < field.width() && !brand; ++x)
        brand = QColor(field.pixel(x, field.height() / 2)).red() > 200 &&
                QColor(field.pixel(x, field.height() / 2)).green() < 120;
    EXPECT_TRUE(brand);
}
