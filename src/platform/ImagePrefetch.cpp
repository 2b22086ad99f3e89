#include "platform/ImagePrefetch.h"

#include "platform/ImageBudget.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <algorithm>
#include <future>
#include <mutex>
#include <vector>

namespace snapkin::platform {

namespace {

// What identifies the file a decode read: a file replaced or changed in between is read again.
// Read with stat(2) rather than as a local date, which would take glibc's time-zone state on
// every thread.
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    qint64 modifiedNs = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

FileStamp stampOf(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
    return {true, st.st_dev, st.st_ino, st.st_size,
            qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

struct Pending {
    QString path;
    FileStamp stamp;
    std::future<ImagePrefetch::Result> result;
};

std::mutex pendingMutex;
std::vector<Pending>& pending()
{
    static std::vector<Pending> list;
    return list;
}

} // namespace

// Paths are compared as absolute ones: the command line may name a file relative to the folder
// it was started in.
static QString keyOf(const QString& path)
{
    return QFileInfo(path).absoluteFilePath();
}

void ImagePrefetch::start(const QString& givenPath)
{
    const QString path = keyOf(givenPath);
    std::lock_guard lock(pendingMutex);
    for (const Pending& p : pending()) {
        if (p.path == path) return;
    }
    // The stamp is taken before reading, so a change made during the decode shows at take().
    FileStamp stamp = stampOf(path);
    pending().push_back({path, std::move(stamp), std::async(std::launch::async, [path] {
                             return ImageBudget::decode(path);
                         })});
}

std::optional<QSize> ImagePrefetch::pendingSize(const QString& givenPath)
{
    const QString path = keyOf(givenPath);
    {
        std::lock_guard lock(pendingMutex);
        const auto& list = pending();
        if (std::none_of(list.begin(), list.end(),
                         [&](const Pending& p) { return p.path == path; }))
            return std::nullopt;
    }
    // The signature, then IHDR's length, type, width and height.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray head = file.read(24);
    if (head.size() != 24 || !head.startsWith(QByteArray("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16)))
        return std::nullopt;
    const auto number = [&head](int at) {
        const auto* p = reinterpret_cast<const uchar*>(head.constData() + at);
        return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
    };
    const quint32 width = number(16), height = number(20);
    if (width == 0 || height == 0 || width > 1'000'000 || height > 1'000'000) return std::nullopt;
    return QSize(int(width), int(height));
}

std::optional<ImagePrefetch::Result> ImagePrefetch::take(const QString& givenPath)
{
    const QString path = keyOf(givenPath);
    std::optional<Pending> found;
    {
        std::lock_guard lock(pendingMutex);
        auto& list = pending();
        for (auto it = list.begin(); it != list.end(); ++it) {
            if (it->path == path) {
                found = std::move(*it);
                list.erase(it);
                break;
            }
        }
    }
    if (!found) return std::nullopt;
    Result result = found->result.get(); // waited for outside the lock
    if (stampOf(path) != found->stamp) return std::nullopt;
    return result;
}

void ImagePrefetch::discard()
{
    std::vector<Pending> dropped;
    {
        std::lock_guard lock(pendingMutex);
        dropped.swap(pending());
    }
    for (Pending& p : dropped)
        p.result.wait();
}

} // namespace snapkin::platform
