#include "model/Color.h"

#include <QTextBoundaryFinder>

#include <cmath>
#include <limits>

namespace snapkin {

namespace {

// The text split into user-perceived characters.
QStringList characters(const QString& text)
{
    QStringList out;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype from = 0;
    for (qsizetype to = finder.toNextBoundary(); to != -1; to = finder.toNextBoundary()) {
        if (to > from) out.append(text.mid(from, to - from));
        from = to;
    }
    return out;
}

int hexDigit(QChar c)
{
    if (c >= u'0' && c <= u'9') return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f') return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c.unicode() - u'A' + 10;
    return -1;
}

// A hexadecimal number read from the start of `text`, as a text scanner reads one: leading
// white space skipped, an optional "0x" prefix, digits up to the first other character,
// saturating on overflow; 0 when nothing is read.
quint64 scanHex(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    if (i + 2 < text.size() && text.at(i) == u'0' &&
        (text.at(i + 1) == u'x' || text.at(i + 1) == u'X') && hexDigit(text.at(i + 2)) >= 0) {
        i += 2;
    }
    quint64 value = 0;
    bool overflow = false;
    for (; i < text.size(); ++i) {
        const int d = hexDigit(text.at(i));
        if (d < 0) break;
        if (value > (std::numeric_limits<quint64>::max() >> 4)) overflow = true;
        value = (value << 4) | quint64(d);
    }
    return overflow ? std::numeric_limits<quint64>::max() : value;
}

} // namespace

QColor Color::fromHex(QStringView hex)
{
    QString text = hex.trimmed().toString();
    if (text.startsWith(u'#')) text.remove(0, 1);
    QStringList chars = characters(text);
    if (chars.size() == 3) {
        QString doubled;
        for (const QString& c : chars)
            doubled += c + c;
        text = doubled;
        chars = characters(text);
    }
    const quint64 value = scanHex(text);
    QColor color;
    if (chars.size() == 8) {
        color =
            QColor(int((value >> 24) & 0xFF), int((value >> 16) & 0xFF), int((value >> 8) & 0xFF));
        color.setAlphaF(float(double(value & 0xFF) / 255.0));
    } else {
        color = QColor(int((value >> 16) & 0xFF), int((value >> 8) & 0xFF), int(value & 0xFF));
    }
    return color;
}

QString Color::toHex(const QColor& color)
{
    const QColor rgb = color.isValid() ? color.toRgb() : QColor(Qt::black);
    // std::lround rounds halves away from zero.
    const auto channel = [](float f) { return int(std::lround(double(f) * 255.0)); };
    return QString::asprintf("#%02X%02X%02X", channel(rgb.redF()), channel(rgb.greenF()),
                             channel(rgb.blueF()));
}

const QColor& Color::brand()
{
    static const QColor brand = fromHex(QString::fromLatin1(brandHex));
    return brand;
}

} // namespace snapkin
