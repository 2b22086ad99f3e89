#include "platform/GlobalHotKeys.h"

#include "platform/L10n.h"
#include "platform/QtX11.h"
#include "platform/X11Connection.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <optional>

namespace snapkin::platform {

QString userMessage(HotKeyError error)
{
    switch (error) {
    case HotKeyError::unavailable:
        return L10n::text("Global shortcuts need an X11 session.");
    case HotKeyError::taken:
        return L10n::text("Another application uses this shortcut.");
    case HotKeyError::noKey:
        return L10n::text("This key is not on the keyboard.");
    }
    return {};
}

namespace {

constexpr std::uint8_t badAccess = 10;
// Keyboards repeat every 15 to 100 ms after a delay of 200 to 1000 ms.
constexpr std::uint32_t maxRepeatIntervalMs = 1500;

} // namespace

// What the server's keyboard looks like: keycodes of keysyms and the modifier bits of Alt,
// Super and NumLock, which differ between keyboard setups.
struct GlobalHotKeys::Keyboard {
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = XCB_NONE;
    xcb_key_symbols_t* symbols = nullptr;
    ModifierBits bits;
    // Qt takes the keyboard extension's notifications, and the server then sends those in
    // place of the core MappingNotify: 0 when the extension is missing.
    std::uint8_t xkbFirstEvent = 0;

    explicit Keyboard(xcb_connection_t* c) : connection(c)
    {
        static constexpr char xkbName[] = "XKEYBOARD";
        XcbReply<xcb_query_extension_reply_t> xkb(xcb_query_extension_reply(
            connection, xcb_query_extension(connection, sizeof xkbName - 1, xkbName), nullptr));
        if (xkb && xkb->present) xkbFirstEvent = xkb->first_event;
        root = defaultRootWindow(connection);
        refresh();
    }
    ~Keyboard()
    {
        if (symbols) xcb_key_symbols_free(symbols);
    }

    void refresh()
    {
        if (symbols) xcb_key_symbols_free(symbols);
        symbols = xcb_key_symbols_alloc(connection);
        bits = modifierBits(connection, symbols);
    }

    // The modifier bits the server reports for the combination; nothing when one of its
    // modifiers has no key on this keyboard.
    std::optional<std::uint16_t> mask(Qt::KeyboardModifiers modifiers) const
    {
        std::uint16_t m = 0;
        if (modifiers & Qt::ControlModifier) m |= XCB_MOD_MASK_CONTROL;
        if (modifiers & Qt::ShiftModifier) m |= XCB_MOD_MASK_SHIFT;
        if (modifiers & Qt::AltModifier) {
            if (!bits.alt) return std::nullopt;
            m |= bits.alt;
        }
        if (modifiers & Qt::MetaModifier) {
            if (!bits.super) return std::nullopt;
            m |= bits.super;
        }
        return m;
    }

    // The bits that tell combinations apart; lock keys and others are left out.
    std::uint16_t relevant() const
    {
        return std::uint16_t(XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT | bits.alt | bits.super);
    }

    std::vector<std::uint8_t> keycodes(std::uint32_t keysym) const
    {
        std::vector<std::uint8_t> result;
        XcbReply<xcb_keycode_t> codes(symbols ? xcb_key_symbols_get_keycode(symbols, keysym)
                                              : nullptr);
        for (const xcb_keycode_t* c = codes.get(); c && *c != XCB_NO_SYMBOL; ++c)
            result.push_back(*c);
        return result;
    }
};

class GlobalHotKeys::Filter : public QAbstractNativeEventFilter {
public:
    explicit Filter(GlobalHotKeys& owner) : m_owner(owner) {}

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "xcb_generic_event_t") return false;
        auto* event = static_cast<xcb_generic_event_t*>(message);
        const std::uint8_t eventType = event->response_type & 0x7f;
        if (m_owner.isKeyboardChange(eventType, event->pad0)) {
            // Qt needs to see it as well.
            m_owner.keyboardMappingChanged();
            return false;
        }
        if (eventType != XCB_KEY_PRESS && eventType != XCB_KEY_RELEASE) return false;
        auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
        return m_owner.handleKeyEvent(eventType == XCB_KEY_PRESS, key->detail, key->state,
                                      key->time);
    }

private:
    GlobalHotKeys& m_owner;
};

GlobalHotKeys& GlobalHotKeys::shared()
{
    static GlobalHotKeys instance;
    return instance;
}

GlobalHotKeys::~GlobalHotKeys()
{
    if (m_filter && m_filterInstalledOn && m_filterInstalledOn == QCoreApplication::instance())
        m_filterInstalledOn->removeNativeEventFilter(m_filter.get());
}

bool GlobalHotKeys::isAvailable()
{
    // In a Wayland session an X connection reaches only the X11 compatibility server, which
    // sees keys only while one of its own windows has the focus: a grab there would look
    // registered and rarely fire.
    return qtX11Connection() != nullptr && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

std::expected<quint64, HotKeyError> GlobalHotKeys::grab(std::uint32_t keysym,
                                                        Qt::KeyboardModifiers modifiers,
                                                        std::function<void()> onPress)
{
    if (!isAvailable()) return std::unexpected(HotKeyError::unavailable);
    xcb_connection_t* connection = qtX11Connection();
    // Qt's connection lives as long as the application; a new application (as in tests) has a
    // new one.
    if (!m_keyboard || m_keyboard->connection != connection) {
        m_grabs.clear();
        m_keyboard = std::make_unique<Keyboard>(connection);
    }
    if (!m_filter) m_filter = std::make_unique<Filter>(*this);
    if (m_filterInstalledOn != QCoreApplication::instance()) {
        m_filterInstalledOn = QCoreApplication::instance();
        m_filterInstalledOn->installNativeEventFilter(m_filter.get());
    }
    Grab grab;
    grab.keysym = keysym;
    grab.modifiers =
        modifiers & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
    grab.onPress = std::move(onPress);
    if (auto grabbed = grabOnServer(grab); !grabbed) return std::unexpected(grabbed.error());
    const quint64 id = m_nextId++;
    m_grabs.emplace(id, std::move(grab));
    return id;
}

void GlobalHotKeys::setOnKeyboardChanged(std::function<void()> handler)
{
    m_onKeyboardChanged = std::move(handler);
}

void GlobalHotKeys::release(quint64 grabId)
{
    const auto it = m_grabs.find(grabId);
    if (it == m_grabs.end()) return;
    if (m_keyboard && m_keyboard->connection == qtX11Connection()) {
        ungrabOnServer(it->second);
        xcb_flush(m_keyboard->connection);
    }
    m_grabs.erase(it);
}

std::expected<void, HotKeyError> GlobalHotKeys::grabOnServer(Grab& grab)
{
    Keyboard& keyboard = *m_keyboard;
    if (keyboard.root == XCB_NONE) return std::unexpected(HotKeyError::unavailable);
    const auto mask = keyboard.mask(grab.modifiers);
    if (!mask) return std::unexpected(HotKeyError::noKey); // no key gives Alt or Super
    grab.keycodes = keyboard.keycodes(grab.keysym);
    grab.mask = *mask;
    grab.locks = lockVariants(keyboard.bits.numLock);
    if (grab.keycodes.empty()) return std::unexpected(HotKeyError::noKey);

    // Every variant is sent before any answer is awaited: one round trip in all.
    std::vector<xcb_void_cookie_t> cookies;
    for (std::uint8_t keycode : grab.keycodes) {
        for (std::uint16_t lock : grab.locks) {
            cookies.push_back(xcb_grab_key_checked(keyboard.connection, 1, keyboard.root,
                                                   std::uint16_t(grab.mask | lock), keycode,
                                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        }
    }
    std::optional<HotKeyError> failure;
    for (xcb_void_cookie_t cookie : cookies) {
        XcbReply<xcb_generic_error_t> error(xcb_request_check(keyboard.connection, cookie));
        if (error && !failure) {
            failure =
                error->error_code == badAccess ? HotKeyError::taken : HotKeyError::unavailable;
        }
    }
    if (failure) {
        // Ungrabbing releases only this client's grabs, so the variants another client holds
        // stay with it.
        ungrabOnServer(grab);
        xcb_flush(keyboard.connection);
        return std::unexpected(*failure);
    }
    return {};
}

void GlobalHotKeys::ungrabOnServer(const Grab& grab)
{
    Keyboard& keyboard = *m_keyboard;
    for (std::uint8_t keycode : grab.keycodes) {
        for (std::uint16_t lock : grab.locks) {
            xcb_ungrab_key(keyboard.connection, keycode, keyboard.root,
                           std::uint16_t(grab.mask | lock));
        }
    }
}

bool GlobalHotKeys::isKeyboardChange(std::uint8_t eventType, std::uint8_t detail) const
{
    if (eventType == XCB_MAPPING_NOTIFY) return true;
    // The keyboard extension's events share one type; the second byte tells them apart:
    // 0 is a new keyboard, 1 a changed key or modifier map.
    return m_keyboard && m_keyboard->xkbFirstEvent != 0 && eventType == m_keyboard->xkbFirstEvent &&
           detail <= 1;
}

void GlobalHotKeys::keyboardMappingChanged()
{
    if (m_regrabQueued) return;
    m_regrabQueued = true;
    // After the event has reached Qt, and once for a burst of notifications.
    QTimer::singleShot(0, QCoreApplication::instance(), [this] {
        m_regrabQueued = false;
        if (!m_keyboard || m_keyboard->connection != qtX11Connection()) return;
        m_keyboard->refresh();
        // The server also reports a mere switch between keyboards: only grabs whose keys or
        // bits really moved are taken again, so a key held meanwhile stays held.
        bool moved = false;
        for (auto& [id, grab] : m_grabs) {
            const auto mask = m_keyboard->mask(grab.modifiers);
            if (mask && *mask == grab.mask &&
                grab.locks == lockVariants(m_keyboard->bits.numLock) &&
                grab.keycodes == m_keyboard->keycodes(grab.keysym))
                continue;
            moved = true;
            ungrabOnServer(grab);
            grab.keycodes.clear();
            grab.held = false;
            // A failure leaves the grab without keys; the owner learns of it below.
            (void)grabOnServer(grab);
        }
        xcb_flush(m_keyboard->connection);
        if (moved && m_onKeyboardChanged) m_onKeyboardChanged();
    });
}

bool GlobalHotKeys::handleKeyEvent(bool press, std::uint8_t keycode, std::uint16_t state,
                                   std::uint32_t time)
{
    if (!m_keyboard || m_grabs.empty()) return false;
    const std::uint16_t relevant = state & m_keyboard->relevant();
    for (auto& [id, grab] : m_grabs) {
        if (std::find(grab.keycodes.begin(), grab.keycodes.end(), keycode) == grab.keycodes.end())
            continue;
        if (!press) {
            // The release of a grabbed key, whatever is held by then.
            if (!grab.held) continue;
            grab.held = false;
            grab.lastRelease = time;
            return true;
        }
        if (relevant != grab.mask) continue;
        // Auto-repeat sends more presses (with a release at the same instant unless the
        // server is told to leave those out): only the first press counts. Repeats follow
        // each other within a fraction of a second, so a release that never reached us does
        // not swallow the next real press.
        const bool repeat =
            (grab.held && std::uint32_t(time - grab.lastPress) < maxRepeatIntervalMs) ||
            (grab.lastRelease != 0 && time == grab.lastRelease);
        grab.held = true;
        grab.lastPress = time;
        if (!repeat) {
            const quint64 grabId = id;
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [this, grabId] {
                    // Looked up again: the grab may have been released meanwhile.
                    const auto it = m_grabs.find(grabId);
                    if (it == m_grabs.end() || !it->second.onPress) return;
                    // A copy: the callback may release its own grab.
                    const std::function<void()> onPress = it->second.onPress;
                    onPress();
                },
                Qt::QueuedConnection);
        }
        return true;
    }
    return false;
}

} // namespace snapkin::platform
