#include "settings/ShortcutsTab.h"

#include "capture/hotkeys/CaptureHotKey.h"
#include "capture/hotkeys/HotKeyRecorder.h"
#include "capture/hotkeys/HotkeyService.h"
#include "platform/GlobalHotKeys.h"
#include "platform/L10n.h"

#include <QPushButton>

namespace snapkin {

using platform::L10n;

namespace {

const char* symbolOf(CaptureAction action)
{
    switch (action) {
    case CaptureAction::region:
        return "selection.pin.in.out";
    case CaptureAction::window:
        return "macwindow";
    case CaptureAction::frontWindow:
        return "macwindow.badge.plus";
    case CaptureAction::fullScreen:
        return "rectangle.inset.filled";
    case CaptureAction::lastRegion:
        return "arrow.clockwise";
    case CaptureAction::copyText:
        return "text.viewfinder";
    }
    return "";
}

} // namespace

ShortcutsTab::ShortcutsTab(HotkeyService& service, QWidget* parent)
    : ShortcutsTab(service, platform::GlobalHotKeys::isAvailable(), parent)
{
}

ShortcutsTab::ShortcutsTab(HotkeyService& service, bool globalShortcutsAvailable, QWidget* parent)
    : SettingsForm(parent), m_service(service)
{
    auto* section = addSection();
    for (const CaptureAction action : allCases<CaptureAction>) {
        Row row;
        row.reset = new QPushButton(L10n::text("Reset"));
        row.reset->setAccessibleName(L10n::format("Reset %@", label(action)));
        // Hidden while the shortcut is the built-in one, but its room is kept: the rows keep
        // one height and the recorders one column.
        QSizePolicy keepRoom = row.reset->sizePolicy();
        keepRoom.setRetainSizeWhenHidden(true);
        row.reset->setSizePolicy(keepRoom);
        row.recorder = new HotKeyRecorder(action, service);
        m_rows[action] = row;

        row.recorder->setOnChange([this, action](const CaptureHotKey&) {
            m_service.reload();
            refreshReset(action);
        });
        connect(row.reset, &QPushButton::clicked, this, [this, action] { reset(action); });
        QWidget* line = section->addRow(QString::fromLatin1(symbolOf(action)), label(action),
                                        controlRow(8, {row.reset, row.recorder}, Qt::AlignTop));
        line->setEnabled(globalShortcutsAvailable);
        refreshReset(action);
    }
    section->addNote(L10n::text(
        "Click the shortcut and press a new key combination (must include Ctrl, Alt or Super)."));
    section->addNote(L10n::text("Region and Window open a bar at the bottom of the screen to "
                                "switch between region, window and full screen, so one shortcut "
                                "is enough."));
    m_unavailable = section->addNote(platform::userMessage(platform::HotKeyError::unavailable));
    m_unavailable->setVisible(!globalShortcutsAvailable);
}

void ShortcutsTab::refreshReset(CaptureAction action)
{
    const Row& row = m_rows.at(action);
    row.reset->setVisible(row.recorder->hotKey() != CaptureHotKey::builtIn(action));
}

void ShortcutsTab::reset(CaptureAction action)
{
    const Row& row = m_rows.at(action);
    const CaptureHotKey builtIn = CaptureHotKey::builtIn(action);
    // The built-in combination may have been given to another action meanwhile: refuse it as
    // recording would, rather than store one combination for two actions.
    if (const auto other = CaptureHotKey::conflict(builtIn, action)) {
        row.recorder->showConflict(*other);
        return;
    }
    row.recorder->clearConflict();
    row.recorder->setHotKey(builtIn);
    builtIn.save(action);
    m_service.reload();
    refreshReset(action);
}

} // namespace snapkin
