#include "LoopbackHttpSupport.h"

#include "capture/CaptureToast.h"
#include "editor/EditorPage.h"
#include "editor/EditorWindowController.h"
#include "model/AnnotationStore.h"
#include "platform/Defaults.h"
#include "settings/NewsletterPrompt.h"
#include "settings/NewsletterService.h"
#include "settings/NewsletterWindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

platform::Defaults& settings()
{
    return platform::Defaults::standard();
}

constexpr double now = 1'800'000'000;

class NewsletterForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings().removeAllStored();
        NewsletterPrompt::setClockForTesting([] { return now; });
        NewsletterService::setEndpointForTesting(QUrl(server.url()));
    }
    void TearDown() override
    {
        if (controller().window()) controller().close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        NewsletterPrompt::setClockForTesting({});
        NewsletterService::setEndpointForTesting(std::nullopt);
        settings().removeAllStored();
    }

    NewsletterWindowController& controller() { return m_controller; }
    EditorWindowController m_editors;
    NewsletterWindowController m_controller{nullptr, &m_editors};
    NewsletterWindow* open()
    {
        controller().show();
        return controller().window();
    }
    static void fill(NewsletterWindow* w, const QString& email, bool consent)
    {
        w->emailField()->setText(email);
        w->consentBox()->setChecked(consent);
    }
    double nextPrompt() { return settings().get(keys::newsletterNextPrompt); }

    LoopbackHttp server;
};

} // namespace

TEST(NewsletterAddress, LooksValidTable)
{
    struct Case {
        const char* text;
        bool valid;
    };
    const Case cases[] = {
        {"ada@example.com", true},
        {"ada@example", false},
        {"ada@example.com.", false},
        {"@example.com", false}, // nothing before the at sign
        {"a@b@c.d", false},
        {"ada@@example.com", true},
        {"ada@example.com@", true},
        {" ada@example.com ", true},
        {"", false},
        {"ada.example.com", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NewsletterWindow::emailLooksValid(c.text), c.valid) << c.text;
}

TEST_F(NewsletterForm, SubscribeNeedsAnAddressAndConsentAndReturnDoesNothingWithout)
{
    NewsletterWindow* w = open();
    fill(w, "ada@example.com", false);
    EXPECT_FALSE(w->subscribeButton()->isEnabled());
    QTest::keyClick(w->emailField(), Qt::Key_Return);
    QTest::qWait(50);
    EXPECT_TRUE(server.requests().isEmpty());
    fill(w, "ada@example", true);
    EXPECT_FALSE(w->subscribeButton()->isEnabled());
    fill(w, "  ada@example.com ", true);
    EXPECT_TRUE(w->subscribeButton()->isEnabled());
}

TEST_F(NewsletterForm, SendingLocksTheFormThenSuccessThanksAndSchedules)
{
    server.staySilent();
    NewsletterWindow* w = open();
    w->setRequestTimeout(400);
    fill(w, " ada@example.com ", true);
    QTest::keyClick(w->emailField(), Qt::Key_Return);
    EXPECT_TRUE(w->isSending());
    EXPECT_FALSE(w->emailField()->isEnabled());
    EXPECT_FALSE(w->consentBox()->isEnabled());
    EXPECT_FALSE(w->notNowButton()->isEnabled());
    EXPECT_FALSE(w->subscribeButton()->isEnabled());
    EXPECT_TRUE(w->subscribeButton()->text().isEmpty()); // the spinner stands in
    QTest::keyClick(w, Qt::Key_Escape);
    EXPECT_NE(controller().window(), nullptr);

    // The silent server times out: the network message, editable again.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w->isSending(); }, 5000));
    EXPECT_TRUE(w->errorText().startsWith("Couldn't reach 127.0.0.1."));
    EXPECT_EQ(settings().hasStoredValue(keys::newsletterNextPrompt), false);

    LoopbackHttp answering;
    NewsletterService::setEndpointForTesting(QUrl(answering.url()));
    w->subscribeButton()->click();
    EXPECT_TRUE(w->errorText().isEmpty()); // cleared as soon as it is pressed
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->isDone(); }, 5000));
    ASSERT_EQ(answering.requests().size(), 1);
    EXPECT_TRUE(answering.requests().first().body.contains(R"("email":"ada@example.com")"));
    EXPECT_EQ(w->emailField()->text(), " ada@example.com ");
    EXPECT_TRUE(settings().get(keys::newsletterSubscribed));
    EXPECT_EQ(nextPrompt(), now + 15724800);

    w->closeButton()->click(); // subscribed: the close writes no postponement
    EXPECT_EQ(controller().window(), nullptr);
    EXPECT_EQ(nextPrompt(), now + 15724800);
}

TEST_F(NewsletterForm, ARejectedAddressIsShownAndTheFormStays)
{
    server.answer(200, R"({"ok": false, "error": "invalid_email"})");
    NewsletterWindow* w = open();
    fill(w, "ada@example.com", true);
    w->subscribeButton()->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w->isSending(); }, 5000));
    EXPECT_EQ(w->errorText(), "That email address doesn't look right.");
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(settings().hasStoredValue(keys::newsletterNextPrompt));
}

TEST_F(NewsletterForm, NotNowPostponesThirtyDaysAndTheTitleBarCloseWritesNothing)
{
    NewsletterWindow* w = open();
    fill(w, "typed@exa", false);
    w->close();
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(settings().hasStoredValue(keys::newsletterNextPrompt));
    controller().show();
    EXPECT_EQ(controller().window(), w); // the same form, as it was left
    EXPECT_EQ(w->emailField()->text(), "typed@exa");

    QTest::keyClick(w, Qt::Key_Escape); // "Not now"
    EXPECT_EQ(controller().window(), nullptr);
    EXPECT_EQ(nextPrompt(), now + 2592000);
    QTest::qWait(1);
    EXPECT_EQ(open()->emailField()->text(), ""); // a fresh form
}

TEST_F(NewsletterForm, InterruptionsWaitForTheFormEditorsAndCaptures)
{
    EXPECT_TRUE(NewsletterPrompt::canInterrupt(controller()));
    open();
    EXPECT_TRUE(NewsletterPrompt::currentBlockers(controller()).invitationShown);
    EXPECT_FALSE(NewsletterPrompt::presentOnRequest(controller()));
    controller().window()->close();
    EXPECT_TRUE(NewsletterPrompt::canInterrupt(controller()));

    CaptureToast::show("Copied to clipboard", 1.3);
    EXPECT_TRUE(NewsletterPrompt::currentBlockers(controller()).captureUnderWay);
    CaptureToast::dismiss();

    AnnotationStore& store = m_editors.openBlank();
    EditorPage* page = m_editors.pageOf(store);
    ASSERT_NE(page, nullptr);
    page->window()->show();
    store.rotate(false);
    EXPECT_TRUE(store.hasUnsavedChanges());
    EXPECT_TRUE(NewsletterPrompt::currentBlockers(controller()).unsavedEditorVisible);
    page->window()->hide();
    EXPECT_FALSE(NewsletterPrompt::currentBlockers(controller()).unsavedEditorVisible);
    store.setHasUnsavedChanges(false);
    page->window()->close();
    EXPECT_TRUE(QTest::qWaitFor([this] { return m_editors.pages().isEmpty(); }, 5000));
}

TEST_F(NewsletterForm, ADueInvitationShowsOnlyWhenOffered)
{
    settings().setValue(keys::newsletterNextPrompt, now - 1);
    NewsletterService::setEndpointForTesting(QUrl());
    NewsletterPrompt::presentIfDue(controller());
    EXPECT_EQ(controller().window(), nullptr);
    NewsletterService::setEndpointForTesting(QUrl(server.url()));
    NewsletterPrompt::presentIfDue(controller());
    ASSERT_NE(controller().window(), nullptr);
    EXPECT_TRUE(controller().isVisible());
}
