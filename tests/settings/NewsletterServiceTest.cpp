#include "LoopbackHttpSupport.h"

#include "settings/NewsletterService.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;
using Failure = NewsletterService::Failure;

namespace {

class NewsletterRequest : public ::testing::Test {
protected:
    void SetUp() override { NewsletterService::setEndpointForTesting(QUrl(server.url())); }
    void TearDown() override { NewsletterService::setEndpointForTesting(std::nullopt); }

    // Sends one request and waits for its outcome.
    NewsletterService::Result send(bool consent = true, int timeoutMs = 5000,
                                   const QString& email = QStringLiteral("ada@example.com"))
    {
        std::optional<NewsletterService::Result> outcome;
        QObject context;
        NewsletterService::subscribe(
            email, consent, &context, [&](NewsletterService::Result r) { outcome = r; }, timeoutMs);
        EXPECT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 10000));
        return outcome.value_or(std::unexpected(Failure::rejected(QStringLiteral("timeout"))));
    }

    QString messageFor(int status, const QByteArray& body,
                       const QByteArray& type = "application/json")
    {
        server.answer(status, body, type);
        const auto result = send();
        return result ? QStringLiteral("success") : result.error().userMessage();
    }

    LoopbackHttp server;
};

const QString general = QStringLiteral("The subscription couldn't be completed. Try again later.");

} // namespace

TEST_F(NewsletterRequest, PostsTheJsonBodyWithConsentTimeInWholeUtcSeconds)
{
    ASSERT_TRUE(send(true, 5000, QStringLiteral("ada@example.com")));
    ASSERT_EQ(server.requests().size(), 1);
    const auto& request = server.requests().first();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/api/subscribe");
    EXPECT_EQ(request.header("Content-Type"), "application/json");
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    EXPECT_EQ(body.value("email").toString(), "ada@example.com");
    EXPECT_EQ(body.value("source").toString(), "app");
    EXPECT_EQ(body.value("lang").toString(), NewsletterService::currentLanguage());
    EXPECT_TRUE(body.value("consent").isBool() && body.value("consent").toBool());
    const QString stamp = body.value("consent_ts").toString();
    EXPECT_TRUE(QRegularExpression(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$)").match(stamp).hasMatch())
        << stamp.toStdString();
}

TEST_F(NewsletterRequest, BodyStampIsUtcWhateverTheZoneOfTheClock)
{
    const QDateTime local(QDate(2026, 1, 31), QTime(10, 5, 0, 789), QTimeZone(3600));
    const QJsonObject body =
        QJsonDocument::fromJson(NewsletterService::body("a@b.c", local)).object();
    EXPECT_EQ(body.value("consent_ts").toString(), "2026-01-31T09:05:00Z");
}

TEST_F(NewsletterRequest, SucceedsForEvery2xxWithOkTrue)
{
    for (int status : {200, 201, 299}) {
        server.answer(status, R"({"ok": true})");
        EXPECT_TRUE(send()) << status;
    }
}

TEST_F(NewsletterRequest, ServerCodesGetTheirOwnMessagesWhateverTheStatus)
{
    EXPECT_EQ(messageFor(200, R"({"ok": false, "error": "invalid_email"})"),
              "That email address doesn't look right.");
    EXPECT_EQ(messageFor(400, R"({"error": "consent_required"})"),
              "You need to accept the privacy policy first.");
    EXPECT_EQ(messageFor(422, R"({"error": "Invalid_Email"})"), general); // codes are exact
}

TEST_F(NewsletterRequest, AnswersThatAreNotAClearYesGiveTheGeneralMessage)
{
    EXPECT_EQ(messageFor(200, ""), general);
    EXPECT_EQ(messageFor(200, R"({"ok": "true"})"), general);
    EXPECT_EQ(messageFor(200, R"([{"ok": true}])"), general);
    EXPECT_EQ(messageFor(500, "<html><body>Internal error</body></html>", "text/html"), general);
    EXPECT_EQ(messageFor(302, R"({"ok": true})"), general);
}

TEST_F(NewsletterRequest, NoAnswerAtAllIsTheNetworkMessageNamingTheHost)
{
    NewsletterService::setEndpointForTesting(
        QUrl(QStringLiteral("http://127.0.0.1:%1/api/subscribe").arg(LoopbackHttp::closedPort())));
    const auto refused = send();
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error(), Failure::network());
    EXPECT_EQ(refused.error().userMessage(),
              "Couldn't reach 127.0.0.1. Check your connection and try again.");

    NewsletterService::setEndpointForTesting(QUrl(server.url()));
    server.staySilent();
    const auto silent = send(true, 300);
    ASSERT_FALSE(silent);
    EXPECT_EQ(silent.error(), Failure::network());
    EXPECT_EQ(server.requests().size(), 1);
}

TEST_F(NewsletterRequest, WithoutConsentNothingIsSent)
{
    const auto result = send(false);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), Failure::rejected("consent_required"));
    EXPECT_EQ(result.error().userMessage(), "You need to accept the privacy policy first.");
    QTest::qWait(50);
    EXPECT_EQ(server.connections(), 0);
}

TEST_F(NewsletterRequest, NoEndpointSendsNothing)
{
    NewsletterService::setEndpointForTesting(QUrl());
    EXPECT_FALSE(NewsletterService::isConfigured());
    EXPECT_FALSE(send());
    EXPECT_EQ(server.connections(), 0);
}

TEST(NewsletterEndpoint, OnlyAnHttpsAddressWithAHostIsUsed)
{
    const QUrl good("https://news.example.org/api/subscribe");
    EXPECT_EQ(NewsletterService::usableEndpoint(good), good);
    EXPECT_TRUE(NewsletterService::usableEndpoint(QUrl("http://news.example.org/api")).isEmpty());
    EXPECT_TRUE(NewsletterService::usableEndpoint(QUrl("news.example.org/api")).isEmpty());
    EXPECT_TRUE(NewsletterService::usableEndpoint(QUrl("https:///api")).isEmpty());
    EXPECT_TRUE(NewsletterService::usableEndpoint(QUrl()).isEmpty());
}
