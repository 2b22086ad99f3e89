#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrl>

#include <expected>
#include <functional>
#include <optional>

class QObject;

namespace snapkin {

// The application's only network traffic: one JSON POST that subscribes an address to the
// newsletter, and the reading of its answer into success or a message the user can act on.
//
// The endpoint is configured at build time and may be empty; then nothing is ever sent and the
// newsletter is not offered at all.
class NewsletterService {
public:
    NewsletterService() = delete;

    static constexpr int timeoutMs = 20000;

    struct Failure {
        enum class Kind {
            rejected, // the server (or the missing consent) refused; `code` says why
            network,  // no HTTP answer came back: unreachable, refused, timed out
        };
        Kind kind = Kind::network;
        QString code; // the server's "error" string; empty when it sent none

        static Failure rejected(QString code) { return {Kind::rejected, std::move(code)}; }
        static Failure network() { return {Kind::network, {}}; }
        // One of four fixed messages; the network one names the host.
        QString userMessage() const;
        bool operator==(const Failure&) const = default;
    };
    using Result = std::expected<void, Failure>;

    // The configured endpoint (empty when none), or the one a test set.
    static QUrl endpoint();
    // A configured address is used only over HTTPS with a host: an address is personal data,
    // never sent in the clear. Anything else counts as none.
    static QUrl usableEndpoint(const QUrl& configured);
    static void setEndpointForTesting(std::optional<QUrl> endpoint);
    static bool isConfigured() { return !endpoint().isEmpty(); }
    // The host the address goes to, as shown to the user.
    static QString host();
    // The language the interface runs in ("en", "de", …).
    static QString currentLanguage();

    // The request body: "email", "lang", "source" "app", "consent" true and "consent_ts", the
    // moment `now` in UTC to whole seconds ending in "Z".
    static QByteArray body(const QString& email, const QDateTime& now);

    // Sends one request and calls `done` on the GUI thread with the outcome (not when `context`
    // is gone by then). Without consent it fails at once with "consent_required" and opens no
    // connection. Success needs a 2xx status and a JSON object whose "ok" is the boolean true;
    // any other HTTP answer is `rejected` with its "error" string.
    static void subscribe(const QString& email, bool acceptedPrivacyPolicy, QObject* context,
                          std::function<void(Result)> done, int timeout = timeoutMs);
};

} // namespace snapkin
