#pragma once

#include <QFontMetrics>
#include <QImage>
#include <QString>
#include <QStringList>

namespace snapkin::bench {

// A 1920 x 1080 screen of text as a reader or an editor shows it: a title bar, an article of
// prose on the left, and a source file in a monospaced font on a tinted pane on the right,
// with what was drawn kept as the truth recognition is scored against.
struct TextPage {
    QImage image;
    QString prose; // the prose drawn, one line a line
    QString code;  // the code drawn, one line a line
};

// How the screen's text is drawn.
struct TextPageStyle {
    // 0: the article's paragraphs alternate between 16 px DejaVu Serif and 15 px DejaVu Sans;
    // else the article is a desktop's notices, messages and notes, all in DejaVu Sans of this
    // many pixels, as a desktop draws its text.
    int prosePixels = 0;
    int codePixels = 14;    // DejaVu Sans Mono
    QStringList paragraphs; // the article's instead of the page's own
    QStringList codeLines;  // the source file's instead of the page's own (empty: a gap)
    bool darkCode = false;  // the source file light grey on a near-black pane, as editors show
};

TextPage makeTextPage(const TextPageStyle& style = {});

// The share (0–1) of the words of `truth` found among the words of `recognised`, each word
// counted at most as often as it was recognised. Words are split at white space.
double wordAccuracy(const QString& recognised, const QString& truth);

// Breaks `paragraph` into lines no wider than `width` in the font of `metrics`, at spaces.
QStringList wrapLines(const QString& paragraph, const QFontMetrics& metrics, int width);

// The text of the file at `path` read as UTF-8; empty when it cannot be read.
QString readText(const QString& path);

// Writes `text` and a final newline to `path` as UTF-8; false when that fails.
bool writeText(const QString& path, const QString& text);

} // namespace snapkin::bench
