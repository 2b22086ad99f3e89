#include "platform/PdfEncoder.h"

#include <zlib.h>

#include <cmath>
#include <vector>

namespace snapkin::platform {

namespace {

// A length in points as PDF writes it: up to six decimals, no trailing zeros.
QByteArray number(double value)
{
    QByteArray text = QByteArray::number(value, 'f', 6);
    while (text.endsWith('0'))
        text.chop(1);
    if (text.endsWith('.')) text.chop(1);
    return text;
}

std::optional<QByteArray> deflated(const QByteArray& raw)
{
    uLongf size = compressBound(uLong(raw.size()));
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                  reinterpret_cast<const Bytef*>(raw.constData()), uLong(raw.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK) {
        return std::nullopt;
    }
    out.truncate(qsizetype(size));
    return out;
}

// Builds the file object by object, remembering where each starts for the cross-reference
// table.
class PdfWriter {
public:
    PdfWriter() { m_out = "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n"; }

    void object(int id, const QByteArray& body, const QByteArray* stream = nullptr)
    {
        if (int(m_offsets.size()) < id) m_offsets.resize(size_t(id), 0);
        m_offsets[size_t(id - 1)] = m_out.size();
        m_out += QByteArray::number(id) + " 0 obj\n" + body;
        if (stream) m_out += "\nstream\n" + *stream + "\nendstream";
        m_out += "\nendobj\n";
    }

    QByteArray finish(int root, int info)
    {
        const qsizetype xref = m_out.size();
        m_out += "xref\n0 " + QByteArray::number(qsizetype(m_offsets.size()) + 1) + "\n";
        m_out += "0000000000 65535 f \n";
        for (const qsizetype offset : m_offsets)
            m_out += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
        m_out += "trailer\n<< /Size " + QByteArray::number(qsizetype(m_offsets.size()) + 1) +
                 " /Root " + QByteArray::number(root) + " 0 R /Info " + QByteArray::number(info) +
                 " 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
        return m_out;
    }

private:
    QByteArray m_out;
    std::vector<qsizetype> m_offsets;
};

} // namespace

std::optional<QByteArray> PdfEncoder::encode(const QImage& image, QSizeF pointSize)
{
    if (image.isNull() || !std::isfinite(pointSize.width()) || !std::isfinite(pointSize.height()) ||
        pointSize.width() <= 0 || pointSize.height() <= 0)
        return std::nullopt;

    // Colour and coverage apart, as PDF keeps them: the colour unpremultiplied, the coverage a
    // soft mask, only when some pixel is not opaque.
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    if (rgba.isNull()) return std::nullopt;
    const int w = rgba.width();
    const int h = rgba.height();
    QByteArray rgb(qsizetype(w) * h * 3, Qt::Uninitialized);
    QByteArray alpha(qsizetype(w) * h, Qt::Uninitialized);
    bool translucent = false;
    char* c = rgb.data();
    char* a = alpha.data();
    for (int y = 0; y < h; ++y) {
        const uchar* p = rgba.constScanLine(y);
        for (int x = 0; x < w; ++x, p += 4) {
            *c++ = char(p[0]);
            *c++ = char(p[1]);
            *c++ = char(p[2]);
            *a++ = char(p[3]);
            translucent |= p[3] != 255;
        }
    }
    const auto pixels = deflated(rgb);
    if (!pixels) return std::nullopt;
    std::optional<QByteArray> mask;
    if (translucent) {
        mask = deflated(alpha);
        if (!mask) return std::nullopt;
    }

    // The page is the image's size in points exactly; the image fills it.
    const QByteArray width = number(pointSize.width());
    const QByteArray height = number(pointSize.height());
    const QByteArray content = "q " + width + " 0 0 " + height + " 0 0 cm /Im0 Do Q";
    const auto imageObject = [&](const QByteArray& colorSpace, const QByteArray& data,
                                 const QByteArray& extra) {
        return "<< /Type /XObject /Subtype /Image /Width " + QByteArray::number(w) + " /Height " +
               QByteArray::number(h) + " /ColorSpace " + colorSpace +
               " /BitsPerComponent 8 /Filter /FlateDecode /Length " +
               QByteArray::number(data.size()) + extra + " >>";
    };

    PdfWriter pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    pdf.object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    pdf.object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + width + ' ' + height +
                      "] /Resources << /XObject << /Im0 4 0 R >> >> /Contents 5 0 R >>");
    pdf.object(4, imageObject("/DeviceRGB", *pixels, mask ? " /SMask 6 0 R" : ""), &*pixels);
    pdf.object(5, "<< /Length " + QByteArray::number(content.size()) + " >>", &content);
    if (mask) pdf.object(6, imageObject("/DeviceGray", *mask, ""), &*mask);
    const int info = mask ? 7 : 6;
    pdf.object(info, "<< /Creator (Snapkin) /Producer (Snapkin) >>");
    return pdf.finish(1, info);
}

} // namespace snapkin::platform
