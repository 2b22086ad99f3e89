#include "platform/X11Connection.h"

#include <xcb/composite.h>
#include <xcb/randr.h>
#include <xcb/shm.h>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <QtGlobal>

#include <cstdlib>

namespace snapkin::platform {

std::shared_ptr<X11Connection> X11Connection::open(const char* displayName)
{
    // xcb_connect() reads $DISPLAY itself; without one it fails, which is what we want.
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(displayName, &screenNumber);
    if (!c || xcb_connection_has_error(c)) {
        if (c) xcb_disconnect(c);
        return nullptr;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem || !it.data) {
        xcb_disconnect(c);
        return nullptr;
    }
    std::shared_ptr<X11Connection> conn(new X11Connection);
    conn->m_connection = c;
    conn->m_screen = it.data;
    conn->m_screenNumber = screenNumber;

    // Ask for the three extensions at once; each answer is a round trip otherwise.
    xcb_prefetch_extension_data(c, &xcb_shm_id);
    xcb_prefetch_extension_data(c, &xcb_randr_id);
    xcb_prefetch_extension_data(c, &xcb_composite_id);
    auto present = [c](xcb_extension_t* ext) {
        const xcb_query_extension_reply_t* r = xcb_get_extension_data(c, ext);
        return r && r->present;
    };
    const bool shm = present(&xcb_shm_id);
    const bool randr = present(&xcb_randr_id);
    const bool composite = present(&xcb_composite_id);

    // Versions: RandR monitors need 1.5, naming a window's pixmap needs Composite 0.2.
    xcb_shm_query_version_cookie_t shmCookie{};
    xcb_randr_query_version_cookie_t randrCookie{};
    xcb_composite_query_version_cookie_t compCookie{};
    if (shm) shmCookie = xcb_shm_query_version(c);
    if (randr) randrCookie = xcb_randr_query_version(c, 1, 5);
    if (composite) compCookie = xcb_composite_query_version(c, 0, 4);
    if (shm) {
        XcbReply<xcb_shm_query_version_reply_t> r(
            xcb_shm_query_version_reply(c, shmCookie, nullptr));
        conn->m_hasShm = r != nullptr;
    }
    if (randr) {
        XcbReply<xcb_randr_query_version_reply_t> r(
            xcb_randr_query_version_reply(c, randrCookie, nullptr));
        conn->m_hasRandr = r && (r->major_version > 1 || r->minor_version >= 5);
    }
    if (composite) {
        XcbReply<xcb_composite_query_version_reply_t> r(
            xcb_composite_query_version_reply(c, compCookie, nullptr));
        conn->m_hasComposite = r && (r->major_version > 0 || r->minor_version >= 2);
    }
    // A client may switch MIT-SHM off for tests of the fallback path.
    if (qEnvironmentVariableIsSet("SNAPKIN_NO_SHM")) conn->m_hasShm = false;
    return conn;
}

X11Connection::~X11Connection()
{
    if (m_connection) xcb_disconnect(m_connection);
}

namespace {

std::mutex sharedMutex;
std::shared_ptr<X11Connection> sharedConnection;

void destroySegment(X11Connection::ShmSegment* s)
{
    xcb_connection_t* c = s->connection->get();
    if (!xcb_connection_has_error(c)) {
        xcb_shm_detach(c, s->id);
        xcb_flush(c);
    }
    shmdt(s->memory);
    delete s;
}

// Idle segments, by connection and size; at most two (a display and a second one) are kept.
std::mutex segmentMutex;
struct FreeSegments : std::vector<X11Connection::ShmSegment*> {
    ~FreeSegments()
    {
        for (X11Connection::ShmSegment* s : *this)
            destroySegment(s);
    }
} freeSegments;
constexpr size_t keptSegments = 2;

} // namespace

void X11Connection::releaseSharedIfIdle()
{
    std::vector<ShmSegment*> idle;
    {
        std::lock_guard<std::mutex> lock(segmentMutex);
        idle.swap(freeSegments);
    }
    for (ShmSegment* s : idle)
        destroySegment(s);
    std::unique_lock<std::mutex> lock(sharedMutex, std::try_to_lock);
    if (lock.owns_lock()) sharedConnection.reset();
}

void X11Connection::releaseSharedLater()
{
    constexpr int idleMs = 10000;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    QMetaObject::invokeMethod(
        app,
        [] {
            static QPointer<QTimer> timer;
            if (!timer) {
                timer = new QTimer(QCoreApplication::instance());
                timer->setSingleShot(true);
                timer->setInterval(idleMs);
                QObject::connect(timer, &QTimer::timeout, [] { releaseSharedIfIdle(); });
            }
            timer->start();
        },
        Qt::QueuedConnection);
}

X11Connection::Lease X11Connection::acquire()
{
    std::unique_lock<std::mutex> lock(sharedMutex);
    std::shared_ptr<X11Connection>& shared = sharedConnection;
    const QByteArray display = qgetenv("DISPLAY");
    if (shared && (xcb_connection_has_error(shared->get()) || shared->m_displayName != display)) {
        shared.reset();
    }
    if (!shared) {
        shared = open(display.isEmpty() ? nullptr : display.constData());
        if (!shared) return Lease();
        shared->m_displayName = display;
    }
    return Lease(shared, std::move(lock));
}

X11Connection::ShmSegment* X11Connection::takeSegment(size_t bytes)
{
    if (!m_hasShm || bytes == 0) return nullptr;
    std::vector<ShmSegment*> stale;
    ShmSegment* found = nullptr;
    {
        std::lock_guard<std::mutex> lock(segmentMutex);
        for (auto it = freeSegments.begin(); it != freeSegments.end();) {
            if ((*it)->connection.get() != this) {
                stale.push_back(*it); // from a connection that has been replaced
                it = freeSegments.erase(it);
            } else if (!found && (*it)->size == bytes) {
                found = *it;
                it = freeSegments.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (ShmSegment* s : stale)
        destroySegment(s);
    if (found) return found;

    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0) return nullptr;
    void* mem = shmat(id, nullptr, 0);
    if (mem == reinterpret_cast<void*>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        return nullptr;
    }
    const xcb_shm_seg_t seg = xcb_generate_id(m_connection);
    XcbReply<xcb_generic_error_t> err(xcb_request_check(
        m_connection, xcb_shm_attach_checked(m_connection, seg, uint32_t(id), 0)));
    // Marked for removal at once: it goes away when both sides detach, even after a crash.
    shmctl(id, IPC_RMID, nullptr);
    if (err) {
        // For example a server on another machine: it cannot see our memory.
        shmdt(mem);
        m_hasShm = false;
        return nullptr;
    }
    return new ShmSegment{shared_from_this(), seg, mem, bytes};
}

void X11Connection::returnSegment(void* segment)
{
    auto* s = static_cast<ShmSegment*>(segment);
    {
        std::lock_guard<std::mutex> lock(segmentMutex);
        if (freeSegments.size() < keptSegments) {
            freeSegments.push_back(s);
            // An image may outlive the capture by long (an editor, a slow write): the kept
            // segment is let go once captures pause, counted from its return.
            releaseSharedLater();
            return;
        }
    }
    destroySegment(s);
}

xcb_atom_t X11Connection::atom(const char* name)
{
    auto found = m_atoms.constFind(QByteArray(name));
    if (found != m_atoms.constEnd()) return *found;
    internAtoms({name});
    return m_atoms.value(QByteArray(name), XCB_ATOM_NONE);
}

void X11Connection::internAtoms(std::initializer_list<const char*> names)
{
    std::vector<std::pair<QByteArray, xcb_intern_atom_cookie_t>> cookies;
    for (const char* name : names) {
        QByteArray key(name);
        if (m_atoms.contains(key)) continue;
        cookies.emplace_back(key, xcb_intern_atom(m_connection, 0, uint16_t(key.size()), name));
    }
    for (auto& [key, cookie] : cookies) {
        XcbReply<xcb_intern_atom_reply_t> r(xcb_intern_atom_reply(m_connection, cookie, nullptr));
        m_atoms.insert(key, r ? r->atom : xcb_atom_t(XCB_ATOM_NONE));
    }
}

const xcb_format_t* X11Connection::pixmapFormat(int depth) const
{
    const xcb_setup_t* setup = xcb_get_setup(m_connection);
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it)) {
        if (it.data->depth == depth) return it.data;
    }
    return nullptr;
}

const xcb_visualtype_t* X11Connection::visualType(xcb_visualid_t visual) const
{
    for (auto d = xcb_screen_allowed_depths_iterator(m_screen); d.rem; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
            if (v.data->visual_id == visual) return v.data;
        }
    }
    return nullptr;
}

bool X11Connection::imageIsLsbFirst() const
{
    return xcb_get_setup(m_connection)->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
}

void X11Connection::sync()
{
    XcbReply<xcb_get_input_focus_reply_t> r(
        xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

std::optional<QByteArray> X11Connection::property(xcb_window_t window, xcb_atom_t property,
                                                  xcb_atom_t type, int format, uint32_t maxBytes)
{
    if (property == XCB_ATOM_NONE) return std::nullopt;
    auto cookie = xcb_get_property(m_connection, 0, window, property, type, 0, maxBytes / 4);
    XcbReply<xcb_get_property_reply_t> r(xcb_get_property_reply(m_connection, cookie, nullptr));
    if (!r || r->type == XCB_ATOM_NONE || r->format != format) return std::nullopt;
    const int length = xcb_get_property_value_length(r.get());
    return QByteArray(static_cast<const char*>(xcb_get_property_value(r.get())), length);
}

} // namespace snapkin::platform
