#pragma once

#include "capture/hotkeys/CaptureAction.h"
#include "capture/hotkeys/CaptureHotKey.h"

#include <QPushButton>

#include <functional>
#include <optional>

namespace snapkin {

class HotkeyService;

// The shortcut field of one capture action. Idle it shows the action's combination; clicked
// it shows "Press shortcut…" in a brand-coloured frame, takes the keyboard and suspends every
// global shortcut, and the next press with Ctrl, Alt or Super (or a function key) becomes the
// action's new combination: stored, reported through onChange, and recording ends. Escape
// cancels; a key that cannot be a shortcut is ignored and recording goes on; a combination
// another action has is refused with "Already used by …" in red under the field.
//
// Recording also ends on a second click, when the field is hidden or loses the focus; the
// keyboard is released and the global shortcuts are registered again then. Under the field, in
// red, stands why the action's global shortcut is not registered (another application holds
// it, or global shortcuts are unavailable here).
//
// Layout: the field at the top, aligned to the trailing edge, at least 72 points wide; the
// message 3 points below it.
class HotKeyRecorder : public QPushButton {
    Q_OBJECT
public:
    // Suspends `service`'s shortcuts while recording and shows the action's status there.
    HotKeyRecorder(CaptureAction action, HotkeyService& service, QWidget* parent = nullptr);
    ~HotKeyRecorder() override;

    CaptureAction action() const { return m_action; }

    // The combination shown; starts as the stored one.
    CaptureHotKey hotKey() const { return m_hotKey; }
    void setHotKey(const CaptureHotKey& hotKey);

    // Called after a newly recorded combination was stored; the owner reloads the global
    // shortcuts.
    void setOnChange(std::function<void(const CaptureHotKey&)> onChange)
    {
        m_onChange = std::move(onChange);
    }

    bool isRecording() const { return m_recording; }
    // The action whose combination the last press had, until recording starts again.
    std::optional<CaptureAction> conflict() const { return m_conflict; }
    // Shows "Already used by …" for a combination refused outside the field (a reset to the
    // built-in combination that another action has meanwhile); nothing clears it but the next
    // recording or clearConflict().
    void showConflict(CaptureAction other);
    void clearConflict();
    // The red line under the field; empty when there is none.
    QString message() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool hitButton(const QPoint& position) const override;

private:
    void start();
    void stop();
    void record(QKeyEvent* event);
    void refresh();
    QString fieldText() const;
    QFont fieldFont() const;
    QFont messageFont() const;
    QRect fieldRect() const;
    QSize fieldSize() const;

    CaptureAction m_action;
    HotkeyService& m_service;
    CaptureHotKey m_hotKey;
    std::function<void(const CaptureHotKey&)> m_onChange;
    bool m_recording = false;
    std::optional<CaptureAction> m_conflict;
};

} // namespace snapkin
