#include "platform/WordShape.h"

#include <QChar>
#include <QList>

#include <algorithm>
#include <iterator>
#include <utility>

namespace snapkin::platform {

namespace {

// A letter or digit of any script, or a mark combined with one (the vowel signs of Indic
// scripts and Thai, Hebrew and Arabic points are marks, not letters).
bool isWordCharacter(char32_t c)
{
    if (QChar::isLetterOrNumber(c)) return true;
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return true;
    default:
        return false;
    }
}

// Stray signs cut from a word's edges: at most this many, leaving at least this many letters
// or digits. A glued sign beside a word is the engine's misreading of what stands beside it; a
// short remainder is more likely noise than a word.
constexpr int maxStraySigns = 2;
constexpr int minWordAfterStraySigns = 4;

// Punctuation that stands in and around words: dashes, brackets, quotes of every script, '_',
// and the rest of Unicode's "other punctuation" (full stops, commas, colons, apostrophes,
// question marks, ellipses, slashes, '#', '@', '&', '*', the ideographic and Arabic marks).
// Not braces or the backslash, which prose does not use and noise often is, nor the per cent
// and per mille signs, which only close a word.
bool isProsePunctuation(char32_t c)
{
    if (c == U'{' || c == U'}') return false;
    // Backticks quote code and terms in plain text (``NaN``, `make`).
    if (c == U'`') return true;
    switch (QChar::category(c)) {
    case QChar::Punctuation_Dash:
    case QChar::Punctuation_Open:
    case QChar::Punctuation_Close:
    case QChar::Punctuation_InitialQuote:
    case QChar::Punctuation_FinalQuote:
    case QChar::Punctuation_Connector:
        return true;
    case QChar::Punctuation_Other:
        return c != U'\\' && c != U'%' && c != U'‰' && c != U'‱';
    default:
        return false;
    }
}

// Signs that open a word of text: an amount, a number, a section.
bool isLeadingSign(char32_t c)
{
    return QChar::category(c) == QChar::Symbol_Currency || c == U'+' || c == U'±' || c == U'−' ||
           c == U'§' || c == U'№';
}

// Signs that close one: a share, "C++", "18+". The degree sign follows a number only, closing
// it or before a unit ("25°", "25°C").
bool isTrailingSign(char32_t c)
{
    return c == U'%' || c == U'‰' || c == U'‱' || c == U'+';
}

bool isDegreeOfNumber(QList<uint>::const_iterator it, QList<uint>::const_iterator begin)
{
    return *it == U'°' && it != begin && QChar::isDigit(char32_t(*(it - 1)));
}

// Whether the code point at `it` may stand where it stands in a word of text whose first and
// last letters or digits are at `first` and `last - 1`.
bool fitsInWord(QList<uint>::const_iterator it, QList<uint>::const_iterator begin,
                QList<uint>::const_iterator first, QList<uint>::const_iterator last)
{
    const auto c = char32_t(*it);
    return isWordCharacter(c) || isProsePunctuation(c) || isDegreeOfNumber(it, begin) ||
           (it < first && isLeadingSign(c)) || (it >= last && isTrailingSign(c));
}

// The first letter or digit of `points` and the end of the last: where a word's signs stop
// leading it and start trailing it. Both are points.cend() without a letter or digit.
std::pair<QList<uint>::const_iterator, QList<uint>::const_iterator>
letterSpan(const QList<uint>& points)
{
    const auto isLetter = [](uint c) { return isWordCharacter(char32_t(c)); };
    const auto first = std::find_if(points.cbegin(), points.cend(), isLetter);
    if (first == points.cend()) return {first, first};
    return {first, std::find_if(points.crbegin(), points.crend(), isLetter).base()};
}

} // namespace

bool looksLikeText(QStringView word)
{
    const QList<uint> points = word.toUcs4();
    const auto [first, last] = letterSpan(points);
    if (first == points.cend()) return false;
    // An address, a header or a placeholder in angle brackets: one '<' before the word, one
    // '>' after it.
    const auto opening = std::find(points.cbegin(), first, uint(U'<'));
    const auto closing = std::find(last, points.cend(), uint(U'>'));
    const bool angled = opening != first && closing != points.cend();
    for (auto it = points.cbegin(); it != points.cend(); ++it) {
        if (fitsInWord(it, points.cbegin(), first, last)) continue;
        if (angled && (it == opening || it == closing)) continue;
        return false;
    }
    return true;
}

QString withoutStraySigns(QStringView word)
{
    if (looksLikeText(word)) return word.toString();
    const QList<uint> points = word.toUcs4();
    const auto [first, last] = letterSpan(points);
    if (first == points.cend()) return {};
    // Only the edges lose signs: a sign among the letters makes the word noise.
    QList<uint> kept;
    for (auto it = points.cbegin(); it != points.cend(); ++it) {
        const bool edge = it < first || it >= last;
        if (!edge || fitsInWord(it, points.cbegin(), first, last)) kept.append(*it);
    }
    const auto cut = points.size() - kept.size();
    const auto letters =
        std::count_if(first, last, [](uint c) { return isWordCharacter(char32_t(c)); });
    if (cut > maxStraySigns || letters < minWordAfterStraySigns) return {};
    const QString rest =
        QString::fromUcs4(reinterpret_cast<const char32_t*>(kept.constData()), kept.size());
    return looksLikeText(rest) ? rest : QString();
}

} // namespace snapkin::platform
