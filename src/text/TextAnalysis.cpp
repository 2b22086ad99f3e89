#include "text/TextAnalysis.h"

#include "recognition/Links.h"
#include "recognition/RecognizedContent.h"
#include "recognition/TextRecognizer.h"

#include <algorithm>

namespace snapkin {

TextAnalysis TextAnalysis::from(const std::vector<platform::RecognizedTextLine>& recognized)
{
    // The lines go through the recogniser's own reading order; their index rides along as the
    // text, so each finds its words again.
    std::vector<RecognizedContent::Line> order;
    for (std::size_t i = 0; i < recognized.size(); ++i) {
        if (!recognized[i].words.empty()) order.push_back({QString::number(i), recognized[i].box});
    }
    order = TextRecognizer::readingOrder(std::move(order));

    TextAnalysis analysis;
    for (const RecognizedContent::Line& entry : order) {
        const platform::RecognizedTextLine& source = recognized[entry.text.toULongLong()];
        Line line{source.box, int(analysis.words.size()), 0};
        for (const platform::RecognizedTextWord& word : source.words) {
            const QString text = word.text.trimmed();
            if (text.isEmpty()) continue;
            analysis.words.push_back(
                {text, word.box, int(analysis.lines.size()), links::inWord(text).value_or(QUrl())});
            ++line.wordCount;
        }
        if (line.wordCount > 0) analysis.lines.push_back(line);
    }
    return analysis;
}

QString TextAnalysis::text(int first, int last) const
{
    first = std::max(first, 0);
    last = std::min(last, int(words.size()) - 1);
    QString result;
    for (int i = first; i <= last; ++i) {
        if (i > first) {
            const Word& before = words[i - 1];
            const bool sameLine = before.line == words[i].line;
            const bool sameRow = sameLine || RecognizedContent::onSameRow(lines[before.line].box,
                                                                          lines[words[i].line].box);
            result += sameRow ? QLatin1Char(' ') : QLatin1Char('\n');
        }
        result += words[i].text;
    }
    return result;
}

} // namespace snapkin
