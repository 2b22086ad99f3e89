#pragma once

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <QByteArray>
#include <QHash>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace snapkin::platform {

// One private connection to the X server, for work off the GUI thread. Qt's own connection
// belongs to the GUI thread and does not exist at all under the offscreen platform, so screen
// capture opens its own; a local connection costs about a millisecond.
class X11Connection : public std::enable_shared_from_this<X11Connection> {
public:
    // Connects to `displayName` (nullptr: $DISPLAY). Nothing when there is no X server to talk
    // to, for example in a Wayland session without X11 access.
    static std::shared_ptr<X11Connection> open(const char* displayName = nullptr);
    ~X11Connection();

    class Lease;
    // The process's shared connection to $DISPLAY, held exclusively until the lease goes away.
    // Reusing one connection (and its shared-memory segment) keeps repeated captures cheap:
    // a fresh 33 MB segment costs a page fault per 4 KiB on both sides. Reconnects when the
    // connection broke or $DISPLAY changed. An empty lease when there is no X server.
    static Lease acquire();
    // Lets go of the shared connection and of the idle shared-memory segments, unless a
    // capture is using the connection right now.
    static void releaseSharedIfIdle();
    // releaseSharedIfIdle() once ten seconds have passed without another call; from any
    // thread, with an application running (else nothing is released).
    static void releaseSharedLater();

    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    xcb_connection_t* get() const { return m_connection; }
    xcb_screen_t* screen() const { return m_screen; }
    int screenNumber() const { return m_screenNumber; }
    xcb_window_t root() const { return m_screen->root; }
    // True once the connection broke (the server went away, or it was never usable); every
    // later request then fails, and replies come back empty.
    bool hasError() const { return xcb_connection_has_error(m_connection) != 0; }

    // Interned atoms, cached per connection; XCB_ATOM_NONE when the server refuses.
    xcb_atom_t atom(const char* name);
    // Interns several at once with one round trip.
    void internAtoms(std::initializer_list<const char*> names);

    bool hasShm() const { return m_hasShm; }
    bool hasRandr() const { return m_hasRandr; }
    bool hasComposite() const { return m_hasComposite; }

    // The server's pixmap format for `depth` (bits per pixel, row padding); nullptr when it has
    // none.
    const xcb_format_t* pixmapFormat(int depth) const;
    // The screen's visual of that id, or nullptr.
    const xcb_visualtype_t* visualType(xcb_visualid_t visual) const;
    bool imageIsLsbFirst() const;

    // A shared-memory segment of exactly `bytes`, attached to the server, for one image to own.
    // Segments come back through returnSegment() (an image's cleanup function) and are reused
    // by the next capture of the same size, so a screen-sized capture neither faults in fresh
    // pages nor copies the pixels out. Nothing when MIT-SHM is unavailable or refuses it.
    struct ShmSegment {
        std::shared_ptr<X11Connection> connection; // the server side stays attached till then
        xcb_shm_seg_t id = 0;
        void* memory = nullptr;
        size_t size = 0;
    };
    ShmSegment* takeSegment(size_t bytes);
    static void returnSegment(void* segment);

    // Waits until the server has handled every request sent so far.
    void sync();

    // A window property as raw bytes, or nothing when it is absent or of another format.
    std::optional<QByteArray> property(xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                                       int format, uint32_t maxBytes = 1 << 20);

private:
    X11Connection() = default;

    xcb_connection_t* m_connection = nullptr;
    xcb_screen_t* m_screen = nullptr;
    int m_screenNumber = 0;
    bool m_hasShm = false;
    bool m_hasRandr = false;
    bool m_hasComposite = false;
    QHash<QByteArray, xcb_atom_t> m_atoms;
    QByteArray m_displayName;
};

class X11Connection::Lease {
public:
    Lease() = default;
    Lease(std::shared_ptr<X11Connection> connection, std::unique_lock<std::mutex> lock)
        : m_connection(std::move(connection)), m_lock(std::move(lock))
    {
    }
    explicit operator bool() const { return m_connection != nullptr; }
    X11Connection& operator*() const { return *m_connection; }
    X11Connection* operator->() const { return m_connection.get(); }

private:
    std::shared_ptr<X11Connection> m_connection;
    std::unique_lock<std::mutex> m_lock;
};

// Frees an xcb reply (or any malloc'ed block) when it goes out of scope.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using XcbReply = std::unique_ptr<T, FreeDeleter>;

} // namespace snapkin::platform
