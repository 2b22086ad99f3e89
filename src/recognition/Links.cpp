#include "recognition/Links.h"

#include <QRegularExpression>

namespace snapkin::links {

namespace {

// What a sentence puts around an address: quotes and brackets before it; those and the end of
// the sentence after it.
const QString leading = QStringLiteral("\"'([{<\u201C\u2018\u00AB");
const QString trailing = QStringLiteral("\"')]}>.,;:!?\u201D\u2019\u00BB");

QString withoutPunctuation(QString word)
{
    word = word.trimmed();
    qsizetype start = 0;
    qsizetype end = word.size();
    while (start < end && leading.contains(word[start]))
        ++start;
    while (end > start && trailing.contains(word[end - 1]))
        --end;
    return word.mid(start, end - start);
}

bool isEmailAddress(const QString& text)
{
    static const QRegularExpression address(QStringLiteral(
        R"(^[A-Za-z0-9._%+-]+@[A-Za-z0-9](?:[A-Za-z0-9-]*[A-Za-z0-9])?(?:\.[A-Za-z0-9](?:[A-Za-z0-9-]*[A-Za-z0-9])?)*\.[A-Za-z]{2,}$)"));
    return address.match(text).hasMatch();
}

} // namespace

std::optional<QUrl> webURL(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return std::nullopt;
    const QUrl url(trimmed, QUrl::StrictMode);
    if (!url.isValid()) return std::nullopt;
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) return std::nullopt;
    if (url.host().isEmpty()) return std::nullopt;
    return url;
}

std::optional<QUrl> inWord(const QString& word)
{
    const QString text = withoutPunctuation(word);
    if (text.isEmpty()) return std::nullopt;
    if (std::optional<QUrl> url = webURL(text)) return url;
    if (text.startsWith(QLatin1String("www."), Qt::CaseInsensitive) && text.size() > 4) {
        // "www." alone or followed by a dot-less name is no address.
        const std::optional<QUrl> url = webURL(QStringLiteral("http://") + text);
        if (url && url->host().count(QLatin1Char('.')) >= 2) return url;
        return std::nullopt;
    }
    QString address = text;
    if (address.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive)) address.remove(0, 7);
    if (isEmailAddress(address)) return QUrl(QStringLiteral("mailto:") + address);
    return std::nullopt;
}

} // namespace snapkin::links
