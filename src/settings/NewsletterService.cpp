#include "settings/NewsletterService.h"

#include "platform/BuildInfo.h"
#include "platform/L10n.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>

namespace snapkin {

using platform::L10n;

namespace {

std::optional<QUrl> endpointOverride;

QNetworkAccessManager& network()
{
    static auto* manager = new QNetworkAccessManager;
    return *manager;
}

NewsletterService::Result readAnswer(QNetworkReply& reply)
{
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // Qt reports 4xx and 5xx as errors too: only a reply without any status is a network
    // failure; every HTTP answer is read.
    if (!status.isValid()) return std::unexpected(NewsletterService::Failure::network());
    const int code = status.toInt();
    const QJsonDocument json = QJsonDocument::fromJson(reply.readAll());
    const QJsonObject object = json.isObject() ? json.object() : QJsonObject();
    const QJsonValue ok = object.value(QLatin1String("ok"));
    if (code >= 200 && code <= 299 && ok.isBool() && ok.toBool()) return {};
    const QJsonValue error = object.value(QLatin1String("error"));
    return std::unexpected(
        NewsletterService::Failure::rejected(error.isString() ? error.toString() : QString()));
}

} // namespace

QString NewsletterService::Failure::userMessage() const
{
    if (kind == Kind::network)
        return L10n::format("Couldn't reach %@. Check your connection and try again.", host());
    if (code == QLatin1String("invalid_email"))
        return L10n::text("That email address doesn't look right.");
    if (code == QLatin1String("consent_required"))
        return L10n::text("You need to accept the privacy policy first.");
    return L10n::text("The subscription couldn't be completed. Try again later.");
}

QUrl NewsletterService::endpoint()
{
    if (endpointOverride) return *endpointOverride;
    static const QUrl configured = usableEndpoint(QUrl(platform::BuildInfo::newsletterEndpoint()));
    return configured;
}

QUrl NewsletterService::usableEndpoint(const QUrl& configured)
{
    if (!configured.isValid() || configured.scheme() != QLatin1String("https") ||
        configured.host().isEmpty())
        return {};
    return configured;
}

void NewsletterService::setEndpointForTesting(std::optional<QUrl> endpoint)
{
    endpointOverride = std::move(endpoint);
}

QString NewsletterService::host()
{
    return endpoint().host();
}

QString NewsletterService::currentLanguage()
{
    const QString language = L10n::language();
    return language.isEmpty() ? QStringLiteral("en") : language;
}

QByteArray NewsletterService::body(const QString& email, const QDateTime& now)
{
    QJsonObject object{
        {QStringLiteral("email"), email},
        {QStringLiteral("lang"), currentLanguage()},
        {QStringLiteral("source"), QStringLiteral("app")},
        {QStringLiteral("consent"), true},
        // Whole seconds, "Z" for UTC: 2026-01-31T09:05:00Z.
        {QStringLiteral("consent_ts"),
         now.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + u'Z'},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

void NewsletterService::subscribe(const QString& email, bool acceptedPrivacyPolicy,
                                  QObject* context, std::function<void(Result)> done, int timeout)
{
    QPointer<QObject> guard(context);
    auto finish = [guard, done = std::move(done)](Result result) {
        if (guard && done) done(std::move(result));
    };
    if (!acceptedPrivacyPolicy || endpoint().isEmpty()) {
        const Result refused = std::unexpected(
            acceptedPrivacyPolicy ? Failure::network()
                                  : Failure::rejected(QStringLiteral("consent_required")));
        // Answered on the next turn of the loop, as a sent request would be.
        QTimer::singleShot(0, context, [finish, refused] { finish(refused); });
        return;
    }
    QNetworkRequest request(endpoint());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setTransferTimeout(timeout);
    QNetworkReply* reply = network().post(request, body(email, QDateTime::currentDateTimeUtc()));
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, finish] {
        reply->deleteLater();
        finish(readAnswer(*reply));
    });
}

} // namespace snapkin
