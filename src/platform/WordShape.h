#pragma once

#include <QString>
#include <QStringView>

namespace snapkin::platform {

// Whether a word read off an image has the shape of a word of text, in any script: letters or
// digits (with their combining marks), joined and surrounded by the punctuation prose puts in
// and around words: quotes and apostrophes of every kind, brackets, full stops, commas,
// colons, semicolons, hyphens and dashes, question and exclamation marks, ellipses, slashes;
// backticks; currency signs, '+', '±', '§' and '№' before it, '%', '‰' and '+' after it, '°'
// after a digit, and a pair of angle brackets around it (an address, a header's name).
// Anything else (a word without a letter or digit, or with a symbol such as '|', '=', '~', a
// lone '<', '^', '©', '{' or '\') is not: what the engine makes of icons, rules and textures
// beside the text.
bool looksLikeText(QStringView word);

// `word` when it looks like text; else, when it is a word of text with one or two stray signs
// glued to its edges (the engine's reading of a mark, a rule or a cursor beside it, such as
// "specified~" or "|Licensor"), the word without them, if it has at least four letters or
// digits; else an empty string.
QString withoutStraySigns(QStringView word);

} // namespace snapkin::platform
