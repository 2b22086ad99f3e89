#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

namespace snapkin::bench {

// A 1920 x 1080 screen of text as a reader or an editor shows it: a title bar, an article of
// prose in two sizes on the left, and a source file in a monospaced font on a tinted pane on
// the right, with what was drawn kept as the truth recognition is scored against.
struct TextPage {
    QImage image;
    QString prose; // the prose drawn, one line a line
    QString code;  // the code drawn, one line a line
};

TextPage makeTextPage();

// The share (0–1) of the words of `truth` found among the words of `recognised`, each word
// counted at most as often as it was recognised. Words are split at white space.
double wordAccuracy(const QString& recognised, const QString& truth);

} // namespace snapkin::bench
