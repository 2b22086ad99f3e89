#include "platform/ClipboardOffer.h"

#include "platform/ClipboardTransfer.h"
#include "platform/X11Connection.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QSocketNotifier>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <xcb/xfixes.h>

namespace snapkin::platform {

ClipboardOffer& ClipboardOffer::shared()
{
    static auto* instance = new ClipboardOffer;
    return *instance;
}

ClipboardOffer::ClipboardOffer()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !watchX11()) {
        m_connection.reset();
        connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
                &ClipboardOffer::refresh);
    }
    refresh();
}

bool ClipboardOffer::offersImage() const
{
    return std::any_of(m_targets.begin(), m_targets.end(), [](const QString& target) {
        return target.startsWith(QLatin1String("image/")) ||
               target == QLatin1String("application/x-qt-image");
    });
}

bool ClipboardOffer::watchX11()
{
    m_connection = X11Connection::open();
    if (!m_connection) return false;
    xcb_connection_t* c = m_connection->get();
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (!extension || !extension->present) return false;
    // The extension answers events only to a client that has said which version it speaks.
    XcbReply<xcb_xfixes_query_version_reply_t> version(xcb_xfixes_query_version_reply(
        c, xcb_xfixes_query_version(c, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION),
        nullptr));
    if (!version) return false;
    m_xfixesEvent = extension->first_event;
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, m_connection->root(), 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_xfixes_select_selection_input(c, window, m_connection->atom("CLIPBOARD"),
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    xcb_flush(c);
    if (m_connection->hasError()) return false;
    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(c), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ClipboardOffer::readEvents);
    return true;
}

void ClipboardOffer::readEvents()
{
    xcb_connection_t* c = m_connection->get();
    bool changed = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
        if ((event->response_type & 0x7f) == m_xfixesEvent + XCB_XFIXES_SELECTION_NOTIFY)
            changed = true;
        std::free(event);
    }
    if (m_connection->hasError()) m_notifier->setEnabled(false);
    if (changed) refresh();
}

void ClipboardOffer::refresh()
{
    const quint64 generation = ++m_generation;
    // The offscreen platform's clipboard lives in this process and answers at once. On X11
    // even this process's own data is asked for through the server, so a change of owner that
    // Qt has not heard of yet never shows stale targets.
    if (!m_connection) {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        m_targets = data ? data->formats() : QStringList();
        emit targetsChanged();
        return;
    }
    // Until the new owner answers nothing is known to be offered.
    if (!m_targets.isEmpty()) {
        m_targets.clear();
        emit targetsChanged();
    }
    const QDeadlineTimer deadline(answerTimeoutMs);
    QtConcurrent::run([deadline] { return ClipboardTransfer::targets(deadline); })
        .then(this, [this, generation](
                        const std::expected<QStringList, ClipboardTransfer::Error>& offered) {
            if (generation != m_generation) return; // the clipboard changed hands again
            m_targets = offered.value_or(QStringList());
            emit targetsChanged();
        });
}

} // namespace snapkin::platform
