#include "settings/NewsletterPrompt.h"
#include "platform/Defaults.h"
#include "settings/NewsletterService.h"
#include "settings/NewsletterWindow.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

platform::Defaults& settings()
{
    return platform::Defaults::standard();
}

constexpr double day = 86400;
constexpr double launch = 1'800'000'000; // the first launch in these tests

class InvitationSchedule : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings().removeAllStored();
        NewsletterPrompt::setClockForTesting([this] { return clock; });
        NewsletterService::setEndpointForTesting(QUrl("https://news.example.org/api/subscribe"));
    }
    void TearDown() override
    {
        NewsletterPrompt::setClockForTesting({});
        NewsletterService::setEndpointForTesting(std::nullopt);
        settings().removeAllStored();
    }

    bool dueAt(double elapsed, qint64 captures)
    {
        settings().setValue(keys::newsletterFirstLaunch, launch);
        settings().setValue(keys::newsletterCaptureCount, captures);
        clock = launch + elapsed;
        return NewsletterPrompt::isDue();
    }

    double clock = launch;
};

} // namespace

TEST_F(InvitationSchedule, FirstLaunchRuleCountsCapturesAndWholeSeconds)
{
    struct Case {
        double elapsed;
        qint64 captures;
        bool due;
    };
    const Case cases[] = {
        {259199, 5, false},   {259200, 5, true}, {259200, 4, false}, {432000, 4, true},
        {431999, 4, false},   {432000, 1, true}, {432000, 0, false}, {100 * day, 0, false},
        {-1 * day, 9, false}, // the clock was set back before the first launch
    };
    for (const Case& c : cases)
        EXPECT_EQ(dueAt(c.elapsed, c.captures), c.due) << c.elapsed << " s, " << c.captures;
}

TEST_F(InvitationSchedule, AbsentOrZeroFirstLaunchIsNeverDue)
{
    settings().setValue(keys::newsletterCaptureCount, 50);
    clock = launch + 400 * day;
    EXPECT_FALSE(NewsletterPrompt::isDue());
    settings().setValue(keys::newsletterFirstLaunch, 0.0);
    EXPECT_FALSE(NewsletterPrompt::isDue());
}

TEST_F(InvitationSchedule, ASetDateAloneDecidesFromItsSecondOn)
{
    settings().setValue(keys::newsletterNextPrompt, launch + 10);
    clock = launch + 9;
    EXPECT_FALSE(dueAt(9, 100)); // captures and first launch no longer count
    EXPECT_TRUE(dueAt(10, 0));   // now == next is due
    EXPECT_TRUE(dueAt(11, 0));
}

TEST_F(InvitationSchedule, SubscribingAndPostponingSetTheNextDate)
{
    clock = launch;
    NewsletterPrompt::markSubscribed();
    EXPECT_TRUE(settings().get(keys::newsletterSubscribed));
    EXPECT_EQ(settings().get(keys::newsletterNextPrompt), launch + 15724800);
    clock = launch + 15724800;
    EXPECT_TRUE(NewsletterPrompt::isDue()); // 182 days on, asked again

    NewsletterPrompt::postpone();
    EXPECT_EQ(settings().get(keys::newsletterNextPrompt), launch + 15724800 + 2592000);
    EXPECT_FALSE(NewsletterPrompt::isDue());
}

TEST_F(InvitationSchedule, LaunchesStoreTheFirstTimeOnlyAndKeepAStoredZero)
{
    clock = launch;
    NewsletterPrompt::registerLaunch();
    ReviewPrompt::registerLaunch();
    clock = launch + day;
    NewsletterPrompt::registerLaunch();
    ReviewPrompt::registerLaunch();
    EXPECT_EQ(settings().get(keys::newsletterFirstLaunch), launch);
    EXPECT_EQ(settings().get(keys::reviewFirstLaunch), launch);

    settings().setValue(keys::newsletterFirstLaunch, 0.0);
    NewsletterPrompt::registerLaunch();
    EXPECT_EQ(settings().get(keys::newsletterFirstLaunch), 0.0);
    EXPECT_TRUE(settings().isNumber(keys::newsletterFirstLaunch));
}

// The file recorded the first launches without this run seeing them (it could not be read at
// start, another instance wrote them meanwhile): this run's time never replaces them.
TEST_F(InvitationSchedule, ALaunchKeepsTheFirstLaunchesTheFileRecordedMeanwhile)
{
    QFile file(settings().filePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(QJsonObject{{"newsletterFirstLaunch", launch - 10 * day},
                                         {"reviewFirstLaunch", launch - 20 * day}})
                   .toJson());
    file.close();
    clock = launch;
    NewsletterPrompt::registerLaunch();
    ReviewPrompt::registerLaunch();
    EXPECT_EQ(settings().get(keys::newsletterFirstLaunch), launch - 10 * day);
    EXPECT_EQ(settings().get(keys::reviewFirstLaunch), launch - 20 * day);
    settings().reload(); // and on disk
    EXPECT_EQ(settings().get(keys::newsletterFirstLaunch), launch - 10 * day);
}

TEST_F(InvitationSchedule, EachBlockerAloneStopsAnInterruption)
{
    using B = NewsletterPrompt::Blockers;
    EXPECT_TRUE(NewsletterPrompt::canInterrupt(B{}));
    EXPECT_FALSE(NewsletterPrompt::canInterrupt(B{true, false, false}));
    EXPECT_FALSE(NewsletterPrompt::canInterrupt(B{false, true, false}));
    EXPECT_FALSE(NewsletterPrompt::canInterrupt(B{false, false, true}));
}

TEST_F(InvitationSchedule, WithoutAnEndpointNothingIsOffered)
{
    NewsletterService::setEndpointForTesting(QUrl());
    EXPECT_FALSE(NewsletterPrompt::isOffered());
    NewsletterWindowController window;
    EXPECT_FALSE(NewsletterPrompt::presentOnRequest(window));
    EXPECT_EQ(window.window(), nullptr);
}
