#pragma once

#include "platform/TextRecognition.h"

#include <QRectF>
#include <QString>
#include <QUrl>

#include <vector>

namespace snapkin {

// The words recognised in an image with their boxes, for selecting text on the canvas. Boxes
// are fractions of the image size, origin top left, y down. Words are in reading order: lines
// in the recogniser's reading order (rows top to bottom, each left to right), and each line's
// words as the engine read them. An analysis never changes once made; the editor shares it.
struct TextAnalysis {
    struct Word {
        QString text;
        QRectF box;
        int line = 0; // index into `lines`
        QUrl link;    // the web or e-mail address the word is (links::inWord), or empty
    };
    struct Line {
        QRectF box;
        int firstWord = 0;
        int wordCount = 0;
    };

    std::vector<Word> words;
    std::vector<Line> lines;

    bool hasText() const { return !words.empty(); }

    // The analysis of recognised lines (blank words and lines dropped), with each word's link.
    static TextAnalysis from(const std::vector<platform::RecognizedTextLine>& recognized);

    // The words `first` to `last` (inclusive, in reading order) as text: words of a line
    // joined by a space, lines on the same row by a space, rows by a newline.
    QString text(int first, int last) const;
    QString allText() const { return words.empty() ? QString() : text(0, int(words.size()) - 1); }
};

} // namespace snapkin
