#include "support/AddressSpace.h"

#include <QFile>

#include <sys/resource.h>
#include <zlib.h>

#include <algorithm>

namespace snapkin::test {

bool sanitized()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    return true;
#endif
#endif
    return false;
}

qint64 mappedKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmSize:")) return line.mid(7).trimmed().split(' ')[0].toLongLong();
    }
    return 0;
}

bool leaveAddressSpace(qint64 spareBytes)
{
    const qint64 mappedKB = mappedKiB();
    if (mappedKB <= 0) return false;
    const rlim_t limit = rlim_t(mappedKB) * 1024 + rlim_t(spareBytes);
    const rlimit address{limit, limit};
    return setrlimit(RLIMIT_AS, &address) == 0;
}

qint64 threadStackBytes()
{
    rlimit stack{};
    // glibc's default without a limit is 2 MiB; a guard page and rounding come on top.
    if (getrlimit(RLIMIT_STACK, &stack) != 0 || stack.rlim_cur == RLIM_INFINITY)
        return 2 * 1024 * 1024 + 65536;
    return qint64(stack.rlim_cur) + 65536;
}

namespace {

QByteArray chunk(const char* type, const QByteArray& body)
{
    QByteArray out;
    const auto be32 = [&out](quint32 v) {
        for (int shift : {24, 16, 8, 0})
            out.append(char((v >> shift) & 0xff));
    };
    be32(quint32(body.size()));
    const QByteArray typed = QByteArray(type, 4) + body;
    out.append(typed);
    be32(quint32(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), uInt(typed.size()))));
    return out;
}

} // namespace

QByteArray storedRgbPng(int width, int height, int chunkBytes)
{
    // A zlib stream of stored deflate blocks (at most 65535 bytes each) over the rows: filter
    // "none" and mid grey.
    const qint64 rowBytes = 1 + 3 * qint64(width);
    const qint64 rawBytes = rowBytes * height;
    QByteArray stream("\x78\x01", 2);
    stream.reserve(qsizetype(rawBytes + rawBytes / 65535 * 5 + 16));
    uLong adler = adler32(0, nullptr, 0);
    QByteArray row(qsizetype(rowBytes), char(0x80));
    row[0] = 0;
    QByteArray block;
    for (qint64 at = 0; at < rawBytes;) {
        const qint64 n = std::min<qint64>(65535, rawBytes - at);
        block.resize(qsizetype(n));
        for (qint64 i = 0; i < n; ++i)
            block[qsizetype(i)] = row[qsizetype((at + i) % rowBytes)];
        adler = adler32(adler, reinterpret_cast<const Bytef*>(block.constData()), uInt(n));
        at += n;
        stream.append(char(at == rawBytes ? 1 : 0));
        stream.append(char(n & 0xff)).append(char(n >> 8));
        stream.append(char(~n & 0xff)).append(char((~n >> 8) & 0xff));
        stream.append(block);
    }
    for (int shift : {24, 16, 8, 0})
        stream.append(char((adler >> shift) & 0xff));

    QByteArray header;
    for (quint32 v : {quint32(width), quint32(height)}) {
        for (int shift : {24, 16, 8, 0})
            header.append(char((v >> shift) & 0xff));
    }
    header.append(char(8)).append(char(2)).append(3, '\0'); // 8-bit RGB, not interlaced
    QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header);
    for (qsizetype at = 0; at < stream.size(); at += chunkBytes)
        png += chunk("IDAT", stream.mid(at, chunkBytes));
    return png + chunk("IEND", {});
}

} // namespace snapkin::test
