#pragma once

#include <QObject>
#include <QSize>
#include <QString>

class QMenu;
class QSystemTrayIcon;

namespace snapkin {

class MenuActions;
class PinnedScreenshotController;

// The system-tray icon and its menu: the capture surface of an application that may run
// without a window. Every item runs a command of MenuActions. The menu is filled afresh each
// time it opens, so the screens, the stored last region, the timer and the pins are always
// current. A left click on the icon opens the same menu.
class TrayMenu : public QObject {
    Q_OBJECT
public:
    // The capture timer's choices, in seconds.
    static constexpr int timerChoices[] = {0, 3, 5, 10};

    // Its items run the commands of `actions`; the pin items follow `pins`.
    TrayMenu(MenuActions& actions, const PinnedScreenshotController& pins,
             QObject* parent = nullptr);
    ~TrayMenu() override;

    QMenu* menu() const { return m_menu; }
    QSystemTrayIcon* icon() const { return m_icon; }
    void setVisible(bool visible);
    bool isVisible() const;

    // Fills `menu` with the items for the current state.
    static void fill(QMenu* menu, MenuActions& actions, const PinnedScreenshotController& pins);
    // Adds an item per screen that captures it full screen through `actions`.
    static void addDisplayItems(QMenu* menu, MenuActions& actions);
    // Fills `menu` with the capture timer's choices, the one set now checked.
    static void fillTimerMenu(QMenu* menu);
    // The title of a display's item: "Display 2 — 2880×1800", in pixels.
    static QString displayLabel(int index, QSize pointSize, double pixelRatio);

private:
    QMenu* m_menu = nullptr;
    QSystemTrayIcon* m_icon = nullptr;
};

} // namespace snapkin
