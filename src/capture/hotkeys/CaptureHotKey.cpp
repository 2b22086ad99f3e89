#include "capture/hotkeys/CaptureHotKey.h"

#include "platform/Defaults.h"
#include "platform/KeyCodes.h"

#include <QKeyEvent>
#include <QVariantMap>

namespace snapkin {

using platform::Defaults;
using platform::KeyCodes;

namespace {

std::optional<std::uint32_t> storedUInt32(const Defaults& defaults,
                                          const platform::Setting<qint64>& key)
{
    const QVariant value = defaults.object(key);
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong: {
        const qint64 n = value.toLongLong();
        if (n < 0 || n > qint64(UINT32_MAX)) return std::nullopt;
        return std::uint32_t(n);
    }
    case QMetaType::ULongLong: {
        const quint64 n = value.toULongLong();
        if (n > UINT32_MAX) return std::nullopt;
        return std::uint32_t(n);
    }
    default:
        return std::nullopt;
    }
}

} // namespace

const platform::HotKeySetting& CaptureHotKey::settings(CaptureAction action)
{
    switch (action) {
    case CaptureAction::region:
        return keys::captureHotKey;
    case CaptureAction::window:
        return keys::captureHotKeyWindow;
    case CaptureAction::frontWindow:
        return keys::captureHotKeyFrontWindow;
    case CaptureAction::fullScreen:
        return keys::captureHotKeyFullScreen;
    case CaptureAction::lastRegion:
        return keys::captureHotKeyLastRegion;
    case CaptureAction::copyText:
        break;
    }
    return keys::captureHotKeyCopyText;
}

CaptureHotKey CaptureHotKey::builtIn(CaptureAction action)
{
    constexpr std::uint32_t ctrlAlt = ctrlMask | altMask;
    constexpr std::uint32_t ctrlAltShift = ctrlMask | altMask | shiftMask;
    switch (action) {
    case CaptureAction::region:
        return {21, ctrlAlt, QStringLiteral("4")};
    case CaptureAction::window:
        return {23, ctrlAlt, QStringLiteral("5")};
    case CaptureAction::frontWindow:
        return {23, ctrlAltShift, QStringLiteral("5")};
    case CaptureAction::fullScreen:
        return {20, ctrlAlt, QStringLiteral("3")};
    case CaptureAction::lastRegion:
        return {21, ctrlAltShift, QStringLiteral("4")};
    case CaptureAction::copyText:
        return {26, ctrlAlt, QStringLiteral("7")};
    }
    return {};
}

void CaptureHotKey::registerDefaults()
{
    QVariantMap defaults;
    for (CaptureAction action : allCases<CaptureAction>) {
        const platform::HotKeySetting& stored = settings(action);
        const CaptureHotKey key = builtIn(action);
        defaults.insert(stored.keyCode.name(), qint64(key.keyCode));
        defaults.insert(stored.modifiers.name(), qint64(key.modifiers));
        defaults.insert(stored.keyLabel.name(), key.keyLabel);
    }
    Defaults::standard().registerDefaults(defaults);
}

CaptureHotKey CaptureHotKey::load(CaptureAction action)
{
    const Defaults& defaults = Defaults::standard();
    const platform::HotKeySetting& stored = settings(action);
    CaptureHotKey key = builtIn(action);
    if (auto code = storedUInt32(defaults, stored.keyCode)) key.keyCode = *code;
    if (auto mask = storedUInt32(defaults, stored.modifiers)) key.modifiers = *mask;
    const QVariant label = defaults.object(stored.keyLabel);
    if (label.typeId() == QMetaType::QString) key.keyLabel = label.toString();
    return key;
}

void CaptureHotKey::save(CaptureAction action) const
{
    Defaults& defaults = Defaults::standard();
    const platform::HotKeySetting& stored = settings(action);
    defaults.set(stored.keyCode, qint64(keyCode));
    defaults.set(stored.modifiers, qint64(modifiers));
    defaults.set(stored.keyLabel, keyLabel);
}

Qt::KeyboardModifiers CaptureHotKey::qtModifiers() const
{
    Qt::KeyboardModifiers result;
    if (modifiers & ctrlMask) result |= Qt::ControlModifier;
    if (modifiers & altMask) result |= Qt::AltModifier;
    if (modifiers & shiftMask) result |= Qt::ShiftModifier;
    if (modifiers & superMask) result |= Qt::MetaModifier;
    return result;
}

QKeySequence CaptureHotKey::keySequence() const
{
    const auto entry = KeyCodes::forVirtualKey(keyCode);
    if (!entry || entry->qtKey == 0) return {};
    return QKeySequence(QKeyCombination::fromCombined(entry->qtKey | qtModifiers().toInt()));
}

QString CaptureHotKey::displayString() const
{
    const QKeySequence sequence = keySequence();
    if (!sequence.isEmpty()) return sequence.toString(QKeySequence::NativeText);
    // A key without a Qt name (Print, a letter of another language) or one this system does
    // not know (a hand-edited setting): the modifiers as the desktop writes them, then the
    // stored label.
    const QString withSpace = QKeySequence(QKeyCombination(qtModifiers(), Qt::Key_Space))
                                  .toString(QKeySequence::NativeText);
    const QString space = QKeySequence(Qt::Key_Space).toString(QKeySequence::NativeText);
    return withSpace.chopped(space.size()) + keyLabel;
}

bool CaptureHotKey::isUsableGlobally() const
{
    if (!KeyCodes::forVirtualKey(keyCode)) return false;
    if (modifiers & ~(ctrlMask | altMask | shiftMask | superMask)) return false;
    return (modifiers & (ctrlMask | altMask | superMask)) || KeyCodes::isFunctionKey(keyCode);
}

QString CaptureHotKey::keyLabelFor(std::uint32_t keyCode)
{
    static constexpr std::pair<std::uint32_t, const char*> named[] = {
        {36, "Return"}, {48, "Tab"}, {49, "Space"}, {51, "Backspace"},
        {123, "←"},     {124, "→"},  {125, "↓"},    {126, "↑"}};
    for (const auto& [code, name] : named) {
        if (code == keyCode) return QString::fromUtf8(name);
    }
    const auto entry = KeyCodes::forVirtualKey(keyCode);
    if (!entry || entry->qtKey == 0) return QStringLiteral("Key %1").arg(keyCode);
    return QKeySequence(QKeyCombination::fromCombined(entry->qtKey))
        .toString(QKeySequence::NativeText);
}

namespace {

// The character a keysym types, for keys without a Qt name: Latin-1 keysyms are their code
// points, and Unicode keysyms carry theirs over 0x01000000.
QString keysymText(std::uint32_t keysym)
{
    char32_t c = 0;
    if ((keysym >= 0x21 && keysym <= 0x7e) || (keysym >= 0xa1 && keysym <= 0xff))
        c = keysym;
    else if (keysym >= 0x01000100 && keysym <= 0x0110ffff)
        c = keysym - 0x01000000;
    if (c == 0 || !QChar::isPrint(c)) return {};
    return QString::fromUcs4(&c, 1).toUpper();
}

} // namespace

std::optional<CaptureHotKey> CaptureHotKey::from(const QKeyEvent& event)
{
    return from(event.key(), event.modifiers(), event.nativeScanCode());
}

std::optional<CaptureHotKey> CaptureHotKey::from(int qtKey, Qt::KeyboardModifiers held,
                                                 quint32 x11Keycode)
{
    // Under X11 the physical key decides, so Shift (which turns 5 into %) does not change the
    // key; without an X keycode (offscreen) Qt's key is all there is.
    const auto entry = KeyCodes::forKeyPress(qtKey, held, x11Keycode);
    if (!entry) return std::nullopt;

    CaptureHotKey key;
    key.keyCode = entry->virtualKey;
    if (held & Qt::ControlModifier) key.modifiers |= ctrlMask;
    if (held & Qt::AltModifier) key.modifiers |= altMask;
    if (held & Qt::ShiftModifier) key.modifiers |= shiftMask;
    if (held & Qt::MetaModifier) key.modifiers |= superMask;
    if (entry->qtKey != 0) {
        key.keyLabel = keyLabelFor(key.keyCode);
    } else {
        // Another key: the character it types, else the number of the physical key.
        key.keyLabel = keysymText(entry->keysym);
        if (key.keyLabel.isEmpty()) key.keyLabel = QStringLiteral("Key %1").arg(x11Keycode);
    }
    if (!key.isUsableGlobally()) return std::nullopt;
    return key;
}

std::optional<CaptureAction> CaptureHotKey::conflict(const CaptureHotKey& candidate,
                                                     std::optional<CaptureAction> excluding)
{
    for (CaptureAction action : allCases<CaptureAction>) {
        if (action == excluding) continue;
        if (load(action).sameCombination(candidate)) return action;
    }
    return std::nullopt;
}

} // namespace snapkin
