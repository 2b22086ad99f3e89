#pragma once

#include <QRandomGenerator>
#include <QString>

namespace snapkin::bench {

// `bytes` characters of recognised-looking text (words of screens and documents, accented ones
// among them, broken into lines of about 60), as the history keeps for a capture.
QString recognisedText(QRandomGenerator& random, int bytes);

} // namespace snapkin::bench
