#pragma once

#include <QStringView>

namespace snapkin::platform {

// Whether a word read off an image has the shape of a word of text, in any script: letters or
// digits (with their combining marks), joined and surrounded by the punctuation prose puts in
// and around words: quotes and apostrophes of every kind, brackets, full stops, commas,
// colons, semicolons, hyphens and dashes, question and exclamation marks, ellipses, slashes;
// currency signs, '+', '±', '§' and '№' before it, '%', '‰', '°' and '+' after it. Anything else
// (a word without a letter or digit, or with a symbol such as '|', '=', '~', '<', '^', '©',
// '{' or '\') is not: what the engine makes of icons, rules and textures beside the text.
bool looksLikeText(QStringView word);

} // namespace snapkin::platform
