#include "platform/WordShape.h"

#include <QChar>
#include <QList>

#include <algorithm>
#include <iterator>

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

// Punctuation that stands in and around words: dashes, brackets, quotes of every script, '_',
// and the rest of Unicode's "other punctuation" (full stops, commas, colons, apostrophes,
// question marks, ellipses, slashes, '#', '@', '&', '*', the ideographic and Arabic marks).
// Not braces or the backslash, which prose does not use and noise often is, nor the per cent
// and per mille signs, which only close a word.
bool isProsePunctuation(char32_t c)
{
    if (c == U'{' || c == U'}') return false;
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

// Signs that close one: a share, a temperature or angle, "C++", "18+".
bool isTrailingSign(char32_t c)
{
    return c == U'%' || c == U'‰' || c == U'‱' || c == U'°' || c == U'+';
}

} // namespace

bool looksLikeText(QStringView word)
{
    const QList<uint> points = word.toUcs4();
    const auto first = std::find_if(points.cbegin(), points.cend(),
                                    [](uint c) { return isWordCharacter(char32_t(c)); });
    if (first == points.cend()) return false;
    const auto last = std::find_if(points.crbegin(), points.crend(), [](uint c) {
                          return isWordCharacter(char32_t(c));
                      }).base();
    for (auto it = points.cbegin(); it != points.cend(); ++it) {
        const auto c = char32_t(*it);
        if (isWordCharacter(c) || isProsePunctuation(c)) continue;
        if (it < first && isLeadingSign(c)) continue;
        if (it >= last && isTrailingSign(c)) continue;
        return false;
    }
    return true;
}

} // namespace snapkin::platform
