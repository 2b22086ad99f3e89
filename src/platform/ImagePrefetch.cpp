#include "platform/ImagePrefetch.h"

#include "platform/ImageBudget.h"
#include "platform/ImageProbes.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <algorithm>
#include <future>
#include <mutex>
#include <new>
#include <system_error>
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

// The decode of `path` under way, or pending().end(). Under pendingMutex.
std::vector<Pending>::iterator findPending(const QString& path)
{
    return std::find_if(pending().begin(), pending().end(),
                        [&](const Pending& p) { return p.path == path; });
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
    if (findPending(path) != pending().end()) return;
    // The stamp is taken before reading, so a change made during the decode shows at take().
    // A thread that can't be started (no memory left for its stack or its state) leaves the
    // decode to the caller.
    try {
        pending().push_back({path, stampOf(path), std::async(std::launch::async, [path] {
                                 // Whatever ran out on the way comes back as a refusal, never as
                                 // an exception for take() to throw on the caller's thread.
                                 try {
                                     return ImageBudget::decode(path);
                                 } catch (const std::bad_alloc&) {
                                     return Result(std::unexpected(ImageReadError::outOfMemory));
                                 }
                             })});
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
}

std::optional<QSize> ImagePrefetch::pendingSize(const QString& givenPath)
{
    const QString path = keyOf(givenPath);
    {
        std::lock_guard lock(pendingMutex);
        if (findPending(path) == pending().end()) return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const auto header = imageprobe::pngHeader(file.read(26));
    if (!header || header->width == 0 || header->height == 0 || header->width > 1'000'000 ||
        header->height > 1'000'000)
        return std::nullopt;
    return QSize(int(header->width), int(header->height));
}

std::optional<ImagePrefetch::Result> ImagePrefetch::take(const QString& givenPath)
{
    const QString path = keyOf(givenPath);
    std::optional<Pending> found;
    {
        std::lock_guard lock(pendingMutex);
        if (const auto it = findPending(path); it != pending().end()) {
            found = std::move(*it);
            pending().erase(it);
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
