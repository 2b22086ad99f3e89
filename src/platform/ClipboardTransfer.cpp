#include "platform/ClipboardTransfer.h"

#include "platform/X11Connection.h"

#include <algorithm>
#include <functional>
#include <poll.h>

namespace snapkin::platform {

namespace {

// A hostile owner could offer any number of targets; a real one offers a few dozen.
constexpr uint32_t maximumTargets = 512;

// One transfer: a private connection and an invisible window that receives the data.
class Transfer {
public:
    explicit Transfer(QDeadlineTimer deadline) : m_deadline(deadline)
    {
        m_connection = X11Connection::open();
        if (!m_connection) return;
        m_connection->internAtoms({"CLIPBOARD", "TARGETS", "INCR", "ATOM", "SNAPKIN_PASTE"});
        xcb_connection_t* c = m_connection->get();
        m_window = xcb_generate_id(c);
        const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, m_window, m_connection->root(), 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                          &events);
    }
    ~Transfer()
    {
        if (m_connection && m_window) xcb_destroy_window(m_connection->get(), m_window);
        if (m_connection) xcb_flush(m_connection->get());
    }

    bool usable() const { return m_connection && !m_connection->hasError(); }

    std::expected<QStringList, ClipboardTransfer::Error> targets()
    {
        auto bytes = convert(atom("TARGETS"), maximumTargets * 4);
        if (!bytes) return std::unexpected(bytes.error());
        xcb_connection_t* c = m_connection->get();
        const auto* atoms = reinterpret_cast<const xcb_atom_t*>(bytes->constData());
        const qsizetype count = std::min<qsizetype>(bytes->size() / 4, maximumTargets);
        // The names come from the server, which always answers: one round trip for all.
        std::vector<xcb_get_atom_name_cookie_t> cookies;
        for (qsizetype i = 0; i < count; ++i)
            cookies.push_back(xcb_get_atom_name(c, atoms[i]));
        QStringList names;
        for (const xcb_get_atom_name_cookie_t cookie : cookies) {
            XcbReply<xcb_get_atom_name_reply_t> reply(xcb_get_atom_name_reply(c, cookie, nullptr));
            if (!reply) continue;
            names << QString::fromLatin1(xcb_get_atom_name_name(reply.get()),
                                         xcb_get_atom_name_name_length(reply.get()));
        }
        return names;
    }

    std::expected<QByteArray, ClipboardTransfer::Error> read(const QString& format, qint64 maxBytes)
    {
        const xcb_atom_t target = atom(format.toLatin1().constData());
        if (target == XCB_ATOM_NONE) return std::unexpected(ClipboardTransfer::Error::noFormat);
        return convert(target, maxBytes);
    }

private:
    xcb_atom_t atom(const char* name) { return m_connection->atom(name); }

    // Asks the owner to convert the clipboard to `target` into our window's property, and
    // reads the property once it says so.
    std::expected<QByteArray, ClipboardTransfer::Error> convert(xcb_atom_t target, qint64 maxBytes)
    {
        using Error = ClipboardTransfer::Error;
        xcb_connection_t* c = m_connection->get();
        const xcb_atom_t clipboard = atom("CLIPBOARD");
        const xcb_atom_t property = atom("SNAPKIN_PASTE");
        XcbReply<xcb_get_selection_owner_reply_t> owner(
            xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboard), nullptr));
        if (!owner || owner->owner == XCB_WINDOW_NONE) return std::unexpected(Error::noOwner);
        xcb_delete_property(c, m_window, property);
        xcb_convert_selection(c, m_window, clipboard, target, property, XCB_CURRENT_TIME);
        xcb_flush(c);
        auto notify = waitFor([&](const xcb_generic_event_t* event) {
            if ((event->response_type & 0x7f) != XCB_SELECTION_NOTIFY) return false;
            const auto* n = reinterpret_cast<const xcb_selection_notify_event_t*>(event);
            return n->requestor == m_window && n->selection == clipboard;
        });
        if (!notify) return std::unexpected(Error::timedOut);
        const auto* n = reinterpret_cast<const xcb_selection_notify_event_t*>(notify.get());
        if (n->property == XCB_ATOM_NONE) return std::unexpected(Error::noFormat);

        auto first = takeProperty(property, maxBytes);
        if (!first) return std::unexpected(first.error());
        if (first->second != atom("INCR")) return first->first;

        // Incremental: the owner sends chunks, each once we have deleted the one before (the
        // read above deleted the INCR announcement); an empty chunk ends the transfer.
        QByteArray whole;
        for (;;) {
            auto changed = waitFor([&](const xcb_generic_event_t* event) {
                if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
                const auto* p = reinterpret_cast<const xcb_property_notify_event_t*>(event);
                return p->window == m_window && p->atom == property &&
                       p->state == XCB_PROPERTY_NEW_VALUE;
            });
            if (!changed) return std::unexpected(Error::timedOut);
            auto chunk = takeProperty(property, maxBytes - whole.size());
            if (!chunk) return std::unexpected(chunk.error());
            if (chunk->first.isEmpty()) return whole;
            whole += chunk->first;
        }
    }

    // The property's bytes and type, deleted once read; refused when over `maxBytes`.
    std::expected<std::pair<QByteArray, xcb_atom_t>, ClipboardTransfer::Error>
    takeProperty(xcb_atom_t property, qint64 maxBytes)
    {
        xcb_connection_t* c = m_connection->get();
        const auto longs = uint32_t(std::clamp<qint64>(maxBytes / 4 + 1, 1, 0x3fffffff));
        XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            c, xcb_get_property(c, 1, m_window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, longs),
            nullptr));
        if (!reply) return std::unexpected(ClipboardTransfer::Error::timedOut);
        const int length = xcb_get_property_value_length(reply.get());
        if (reply->bytes_after > 0 || length > maxBytes) {
            xcb_delete_property(c, m_window, property);
            return std::unexpected(ClipboardTransfer::Error::tooLarge);
        }
        xcb_flush(c);
        return std::pair{
            QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())), length),
            reply->type};
    }

    // The first event that `wanted` accepts, or nothing once the deadline has passed.
    XcbReply<xcb_generic_event_t>
    waitFor(const std::function<bool(const xcb_generic_event_t*)>& wanted)
    {
        xcb_connection_t* c = m_connection->get();
        for (;;) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
                XcbReply<xcb_generic_event_t> owned(event);
                if (wanted(event)) return owned;
            }
            if (xcb_connection_has_error(c)) return nullptr;
            const qint64 remaining = m_deadline.remainingTime();
            if (remaining == 0) return nullptr;
            pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
            ::poll(&p, 1, int(std::min<qint64>(remaining < 0 ? 1000 : remaining, 1000)));
        }
    }

    QDeadlineTimer m_deadline;
    std::shared_ptr<X11Connection> m_connection;
    xcb_window_t m_window = 0;
};

} // namespace

std::expected<QStringList, ClipboardTransfer::Error>
ClipboardTransfer::targets(QDeadlineTimer deadline)
{
    Transfer transfer(deadline);
    if (!transfer.usable()) return std::unexpected(Error::noX11);
    return transfer.targets();
}

std::expected<ClipboardTransfer::Data, ClipboardTransfer::Error>
ClipboardTransfer::read(const QStringList& formats, QDeadlineTimer deadline, qint64 maxBytes)
{
    Transfer transfer(deadline);
    if (!transfer.usable()) return std::unexpected(Error::noX11);
    const auto offered = transfer.targets();
    if (!offered) return std::unexpected(offered.error());
    for (const QString& format : formats) {
        if (!offered->contains(format)) continue;
        auto bytes = transfer.read(format, maxBytes);
        if (!bytes) return std::unexpected(bytes.error());
        return Data{format, *bytes};
    }
    return std::unexpected(Error::noFormat);
}

} // namespace snapkin::platform
