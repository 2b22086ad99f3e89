#pragma once

#include "settings/SettingsForm.h"

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QPushButton;
class QSlider;
class QToolButton;

namespace snapkin {

class CaptureService;
class SystemScreenshotWatcher;

// The settings of taking a screenshot and of what follows it: the after-capture actions, the
// format with its quality, the default save folder and clipboard behaviour, the selection,
// window capture, the countdown and sound, and the watcher that opens the desktop's own
// screenshots. Every control stores its key at once; the capture service, the router, the
// exporter and the watcher read the keys each time they act.
//
// The quality of JPEG and WebP are kept apart (keys::jpegQuality, keys::webpQuality), each a whole
// percentage from 30 to 100 in steps of 5, stored as a fraction.
class CaptureTab : public SettingsForm {
    Q_OBJECT
public:
    struct Services {
        // Asks for a folder, starting in `start`; nothing when cancelled.
        std::function<std::optional<QString>(const QString& start)> chooseFolder;
        // Stores the default save folder (path and bookmark).
        std::function<void(const QString& folder)> setDefaultSaveFolder;
        SystemScreenshotWatcher* watcher = nullptr;
    };
    // Qt's folder dialog, and the router and watcher of `capture`.
    static Services defaultServices(CaptureService& capture);

    CaptureTab(platform::Defaults& settings, Services services, QWidget* parent = nullptr);

    QComboBox* formatPicker() const { return m_format; }
    QWidget* qualityRow() const { return m_qualityRow; }
    QSlider* qualitySlider() const { return m_quality; }
    QLabel* qualityText() const { return m_qualityText; }
    QLabel* qualityNote() const { return m_qualityNote; }
    QLabel* folderText() const { return m_folderText; }
    QToolButton* folderResetButton() const { return m_folderReset; }
    QPushButton* chooseFolderButton() const { return m_chooseFolder; }
    QComboBox* countdownPicker() const { return m_countdown; }
    QCheckBox* watcherToggle() const { return m_watch; }
    QWidget* watchedFolderRow() const { return m_watchedRow; }
    QLabel* watchedFolderText() const { return m_watchedText; }
    QPushButton* changeWatchedFolderButton() const { return m_changeWatched; }
    // The toggle stored under `key`, or null.
    QCheckBox* toggle(const QString& key) const { return m_toggles.value(key); }

    // The percentage shown for a stored quality: the nearest whole percent.
    static int percent(double quality);

    // Refreshes the watched folder (done each time the tab comes into view).
    void refreshWatchedFolder();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The quality key of the stored format; none for a lossless one.
    const platform::Setting<double>* qualityKey() const;
    void refreshFormat();
    void qualityMoved(int value);
    void refreshFolder();
    void chooseSaveFolder();
    void resetSaveFolder();
    void toggleSystemWatch(bool on);
    void changeWatchedFolder();
    void startOrStopWatcher();

    platform::Defaults& m_settings;
    Services m_services;
    QHash<QString, QCheckBox*> m_toggles;
    QComboBox* m_format = nullptr;
    QWidget* m_qualityRow = nullptr;
    QSlider* m_quality = nullptr;
    QLabel* m_qualityText = nullptr;
    QLabel* m_qualityNote = nullptr;
    QLabel* m_desktopIconsNote = nullptr;
    QLabel* m_folderText = nullptr;
    QToolButton* m_folderReset = nullptr;
    QPushButton* m_chooseFolder = nullptr;
    QComboBox* m_countdown = nullptr;
    QCheckBox* m_watch = nullptr;
    QWidget* m_watchedRow = nullptr;
    QLabel* m_watchedText = nullptr;
    QPushButton* m_changeWatched = nullptr;
};

} // namespace snapkin
