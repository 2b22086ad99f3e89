#include "recognition/RecognizedContent.h"

#include "recognition/Links.h"

#include <QStringList>

#include <algorithm>

namespace snapkin {

namespace {

// Boxes compare exactly; QRectF's own == is fuzzy.
bool sameBox(const QRectF& a, const QRectF& b)
{
    return a.x() == b.x() && a.y() == b.y() && a.width() == b.width() && a.height() == b.height();
}

} // namespace

bool operator==(const RecognizedContent::Line& a, const RecognizedContent::Line& b)
{
    return a.text == b.text && sameBox(a.boundingBox, b.boundingBox);
}

bool operator==(const RecognizedContent::Code& a, const RecognizedContent::Code& b)
{
    return a.payload == b.payload && a.isQR == b.isQR && sameBox(a.boundingBox, b.boundingBox);
}

bool RecognizedContent::onSameRow(const QRectF& a, const QRectF& b)
{
    const double overlap = std::min(a.bottom(), b.bottom()) - std::max(a.top(), b.top());
    const double threshold = 0.5 * std::min(a.height(), b.height());
    return overlap > threshold;
}

QString RecognizedContent::text() const
{
    // Each line is compared with the last line of its row, so a row that slopes gently stays
    // one row of text.
    QStringList rows;
    QStringList row;
    const Line* last = nullptr;
    for (const Line& line : lines) {
        if (last && !onSameRow(last->boundingBox, line.boundingBox)) {
            rows.append(row.join(QLatin1Char(' ')));
            row.clear();
        }
        row.append(line.text);
        last = &line;
    }
    if (!row.isEmpty()) rows.append(row.join(QLatin1Char(' ')));
    return rows.join(QLatin1Char('\n'));
}

std::optional<QUrl> RecognizedContent::Code::webURL() const
{
    return links::webURL(payload);
}

} // namespace snapkin
