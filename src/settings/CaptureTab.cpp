#include "settings/CaptureTab.h"

#include "capture/CaptureService.h"
#include "capture/PostCaptureRouter.h"
#include "capture/SystemScreenshotWatcher.h"
#include "output/ExportFormat.h"
#include "platform/Defaults.h"
#include "platform/DesktopWindows.h"
#include "platform/L10n.h"
#include "platform/Symbols.h"
#include "settings/ChoicePicker.h"
#include "settings/TabularDigitsLabel.h"
#include "ui/output/PackageFileDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QKeySequence>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>

#include <cmath>

namespace snapkin {

using platform::L10n;

namespace {

constexpr int qualityMinimum = 30;
constexpr int qualityMaximum = 100;
constexpr int qualityStep = 5;
constexpr int folderTextWidth = 170;

// A folder's name on a row's trailing side, cut in its middle when long.
ToneLabel* folderLabel()
{
    auto* label = new ToneLabel(QString(), ToneLabel::Tone::secondary);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setMaximumWidth(folderTextWidth);
    return label;
}

void setElided(QLabel* label, const QString& text)
{
    label->setText(label->fontMetrics().elidedText(text, Qt::ElideMiddle, folderTextWidth));
    label->setToolTip(text);
}

} // namespace

CaptureTab::Services CaptureTab::defaultServices(CaptureService& capture)
{
    Services services;
    // Never a document package or a folder inside one: what is saved there would go with it.
    services.chooseFolder = [](const QString& start) {
        return packagedialogs::chooseFolderOutsidePackages(nullptr, start);
    };
    services.setDefaultSaveFolder = [&capture](const QString& folder) {
        capture.router().setDefaultSaveFolder(folder);
    };
    services.watcher = &capture.watcher();
    return services;
}

int CaptureTab::percent(double quality)
{
    if (!std::isfinite(quality)) return 0;
    return int(std::lround(quality * 100));
}

CaptureTab::CaptureTab(platform::Defaults& settings, Services services, QWidget* parent)
    : SettingsForm(parent), m_settings(settings), m_services(std::move(services))
{
    const auto addToggle = [this, &settings](SettingsSection* section, const char* symbol,
                                             const char* title,
                                             const platform::Setting<bool>& storedKey,
                                             std::function<void(bool)> onChange = {}) {
        QCheckBox* toggle = section->addToggle(QString::fromLatin1(symbol), L10n::text(title),
                                               settings, storedKey, std::move(onChange));
        m_toggles.insert(storedKey.name(), toggle);
        return toggle;
    };

    // After capturing. Quick access has no control: its thumbnail is not shown on this desktop.
    auto* after = addSection(L10n::text("After capturing"));
    addToggle(after, "macwindow", "Open the editor", keys::afterCaptureShow);
    addToggle(after, "doc.on.clipboard", "Copy to clipboard", keys::afterCaptureCopy);
    addToggle(after, "square.and.arrow.down", "Save to file", keys::afterCaptureSaveToDisk);
    after->addNote(L10n::text("Choose what happens right after you take a screenshot. \"Save to "
                              "file\" uses your default save folder when set."));

    auto* output = addSection(L10n::text("Output"));
    m_format = new ChoicePicker;
    for (const ExportFormat format : allExportFormats)
        m_format->addItem(label(format), toRaw(format));
    connect(m_format, &QComboBox::activated, this, [this](int index) {
        if (index >= 0) m_settings.setValue(keys::exportFormat, m_format->itemData(index));
    });
    output->addRow(QStringLiteral("doc.badge.gearshape"), L10n::text("Default format"), m_format);

    m_quality = new QSlider(Qt::Horizontal);
    m_quality->setRange(qualityMinimum, qualityMaximum);
    m_quality->setSingleStep(qualityStep);
    m_quality->setPageStep(qualityStep);
    m_quality->setTickInterval(qualityStep);
    m_quality->setMaximumWidth(180);
    m_quality->setMinimumWidth(140);
    m_quality->setAccessibleName(L10n::text("Quality"));
    auto* qualityText = new TabularDigitsLabel;
    // As wide as the longest percentage, so the slider beside it stays put.
    qualityText->reserveWidthFor(QStringLiteral("%1%").arg(qualityMaximum));
    m_qualityText = qualityText;
    m_qualityText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(m_quality, &QSlider::valueChanged, this, &CaptureTab::qualityMoved);
    m_qualityRow = output->addRow(QStringLiteral("slider.horizontal.3"), L10n::text("Quality"),
                                  controlRow(10, {m_quality, m_qualityText}));

    m_folderText = folderLabel();
    m_folderReset = new QToolButton;
    m_folderReset->setAutoRaise(true);
    m_folderReset->setIcon(platform::Symbols::icon(QStringLiteral("xmark.circle.fill")));
    if (m_folderReset->icon().isNull()) m_folderReset->setText(QStringLiteral("×"));
    m_folderReset->setToolTip(L10n::text("Reset"));
    m_folderReset->setAccessibleName(L10n::text("Reset"));
    connect(m_folderReset, &QToolButton::clicked, this, &CaptureTab::resetSaveFolder);
    m_chooseFolder = new QPushButton(L10n::text("Choose…"));
    connect(m_chooseFolder, &QPushButton::clicked, this, &CaptureTab::chooseSaveFolder);
    output->addRow(QStringLiteral("folder"), L10n::text("Default save folder"),
                   controlRow(8, {m_folderText, m_folderReset, m_chooseFolder}));

    addToggle(output, "doc.on.doc", "Auto-copy to clipboard after saving", keys::autoCopyAfterSave);
    addToggle(output, "arrow.up.left.and.arrow.down.right", "Copy to clipboard at full size (1×)",
              keys::copyAtFullSize);
    m_qualityNote = output->addNote(QString());
    output->addNote(L10n::text(
        "On HiDPI screens with a scale factor (2× for example), a screenshot has more pixels "
        "than its size on the desktop, and some apps paste it at half size. Turn this on to "
        "always paste at full pixel size — just as sharp, but the image lands larger in the "
        "document."));

    auto* region = addSection(L10n::text("Region capture"));
    addToggle(region, "crop", "Adjust the selection before capturing",
              keys::adjustRegionBeforeCapture);
    region->addNote(L10n::text(
        "After dragging, the selection keeps its handles so you can resize or move it. Press "
        "Return or Space, or double-click inside it, to capture — handy for catching the right "
        "frame of a video."));

    auto* selecting = addSection(L10n::text("While capturing"));
    addToggle(selecting, "plus.magnifyingglass", "Show a magnifier while selecting",
              keys::showMagnifierWhileSelecting);
    addToggle(selecting, "snowflake", "Freeze the screen while selecting",
              keys::freezeScreenWhileSelecting);
    addToggle(selecting, "eye.slash", "Hide desktop icons", keys::hideDesktopIconsWhileCapturing);
    selecting->addNote(L10n::text("Shows the pixels under the pointer with its position and color, "
                                  "and the size of the selection in pixels. Press C to copy the "
                                  "color."));
    selecting->addNote(L10n::text(
        "You select on a still image taken when the capture starts, so open menus and tooltips "
        "stay in the shot. The timer counts down before the screen freezes."));
    selecting->addNote(L10n::text("Leaves the desktop icons out of region and full-screen "
                                  "captures. Your desktop doesn't change."));
    m_desktopIconsNote = selecting->addNote(
        L10n::text("Your desktop has no background picture that Snapkin can read, so its icons "
                   "stay in captures."));
    m_desktopIconsNote->setVisible(false);

    auto* window = addSection(L10n::text("Window capture"));
    addToggle(window, "shadow", "Include the window shadow", keys::windowCaptureShadow);
    addToggle(window, "square.on.square.dashed", "Transparent background",
              keys::windowCaptureTransparentBackground);
    window->addNote(L10n::text(
        "Captures the window with a shadow drawn around it and rounded corners, on transparency "
        "instead of the desktop behind it. JPEG and BMP have no transparency, so those export on "
        "white."));

    // Countdown and sound.
    auto* timing = addSection();
    m_countdown = new ChoicePicker;
    m_countdown->addItem(L10n::text("Off"), 0);
    for (const int seconds : {3, 5, 10})
        m_countdown->addItem(CaptureService::captureDelayTitle(seconds), seconds);
    connect(m_countdown, &QComboBox::activated, this, [this](int index) {
        if (index >= 0) m_settings.set(keys::captureDelay, m_countdown->itemData(index).toInt());
    });
    timing->addRow(QStringLiteral("timer"), L10n::text("Countdown before capturing"), m_countdown);
    addToggle(timing, "speaker.wave.2", "Play sound when capturing", keys::captureSound);
    timing->addNote(L10n::text(
        "Adds a countdown before the shot — time to open a menu or trigger a hover state. For "
        "region and window, the countdown starts after you pick the area."));

    auto* system = addSection(L10n::text("System screenshots"));
    m_watch = addToggle(system, "camera.on.rectangle", "Open editor after a system screenshot",
                        keys::watchSystemScreenshots, [this](bool on) { toggleSystemWatch(on); });
    m_watchedText = folderLabel();
    m_changeWatched = new QPushButton(L10n::text("Change…"));
    connect(m_changeWatched, &QPushButton::clicked, this, &CaptureTab::changeWatchedFolder);
    m_watchedRow =
        system->addRow(QStringLiteral("folder.badge.gearshape"), L10n::text("Watched folder"),
                       controlRow(8, {m_watchedText, m_changeWatched}));
    system->addNote(L10n::text(
        "Keep using your desktop's screenshot key (Print Screen) — Snapkin watches the folder "
        "where screenshots are saved and opens each new one in the editor."));
    system->addNote(L10n::format(
        "This works where Snapkin can't capture (for example on Wayland), as does pasting a "
        "screenshot with %@.",
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N).toString(QKeySequence::NativeText)));

    connect(&settings, &platform::Defaults::valueChanged, this, [this](const QString& changed) {
        if (changed == keys::exportFormat || changed == keys::jpegQuality ||
            changed == keys::webpQuality)
            refreshFormat();
        else if (changed == keys::defaultSaveFolder)
            refreshFolder();
        else if (changed == keys::captureDelay)
            m_countdown->setCurrentIndex(
                m_countdown->findData(int(m_settings.get(keys::captureDelay))));
        else if (changed == keys::watchSystemScreenshots)
            m_watchedRow->setVisible(m_watch->isChecked());
    });
    const QVariant delay = settings.object(keys::captureDelay);
    m_countdown->setCurrentIndex(
        m_countdown->findData(delay.isValid() ? int(delay.toLongLong()) : 0));
    refreshFormat();
    refreshFolder();
    refreshWatchedFolder();
}

void CaptureTab::showEvent(QShowEvent* event)
{
    SettingsForm::showEvent(event);
    refreshWatchedFolder();
    m_desktopIconsNote->setVisible(platform::DesktopWindows::desktopIconsCannotBeHidden());
}

const platform::Setting<double>* CaptureTab::qualityKey() const
{
    const auto format = fromRaw<ExportFormat>(m_settings.get(keys::exportFormat));
    if (format == ExportFormat::jpeg) return &keys::jpegQuality;
    if (format == ExportFormat::webp) return &keys::webpQuality;
    return nullptr;
}

void CaptureTab::refreshFormat()
{
    const QVariant stored = m_settings.object(keys::exportFormat);
    const QString raw = stored.isValid() ? stored.toString() : QStringLiteral("png");
    m_format->setCurrentIndex(m_format->findData(raw));
    const auto format = fromRaw<ExportFormat>(raw);
    const bool lossy = format && isLossy(*format);
    m_qualityRow->setVisible(lossy);
    m_qualityNote->setVisible(lossy);
    if (!lossy) return;
    m_qualityNote->setText(
        *format == ExportFormat::webp
            ? L10n::text("Lower values produce smaller files but more compression artefacts. 100% "
                         "is lossless.")
            : L10n::text("Lower values produce smaller files but more compression artefacts."));
    const platform::Setting<double>* qualityKey = this->qualityKey();
    const double quality = qualityKey && m_settings.isNumber(*qualityKey)
                               ? m_settings.get(*qualityKey)
                               : kFallbackQuality;
    const QSignalBlocker block(m_quality);
    m_quality->setValue(percent(quality));
    m_qualityText->setText(QStringLiteral("%1%").arg(percent(quality)));
}

void CaptureTab::qualityMoved(int value)
{
    const platform::Setting<double>* qualityKey = this->qualityKey();
    if (!qualityKey) return;
    // Dragging passes through every whole value; only the steps are stored.
    const int stepped = std::clamp(int(std::lround(value / double(qualityStep))) * qualityStep,
                                   qualityMinimum, qualityMaximum);
    if (stepped != value) {
        const QSignalBlocker block(m_quality);
        m_quality->setValue(stepped);
    }
    m_settings.set(*qualityKey, stepped / 100.0);
}

void CaptureTab::refreshFolder()
{
    const QString folder = m_settings.get(keys::defaultSaveFolder);
    setElided(m_folderText,
              folder.isEmpty() ? L10n::text("System default") : QFileInfo(folder).fileName());
    m_folderReset->setVisible(!folder.isEmpty());
}

void CaptureTab::chooseSaveFolder()
{
    const QString stored = m_settings.get(keys::defaultSaveFolder);
    const auto folder = m_services.chooseFolder(stored);
    if (!folder || folder->isEmpty()) return;
    m_services.setDefaultSaveFolder(*folder);
    refreshFolder();
}

void CaptureTab::resetSaveFolder()
{
    m_settings.set(keys::defaultSaveFolder, QString());
    m_settings.removeObject(keys::defaultSaveFolderBookmark);
    refreshFolder();
}

void CaptureTab::refreshWatchedFolder()
{
    const auto folder = m_services.watcher ? m_services.watcher->resolveBookmark() : std::nullopt;
    setElided(m_watchedText, folder ? QFileInfo(*folder).fileName() : L10n::text("Not set"));
    m_watchedRow->setVisible(m_watch->isChecked());
}

void CaptureTab::toggleSystemWatch(bool on)
{
    SystemScreenshotWatcher* watcher = m_services.watcher;
    if (!watcher) return;
    if (on && !watcher->resolveBookmark()) {
        if (!watcher->chooseFolder()) {
            // Cancelled: the toggle goes back off, which runs this again and stops the watcher.
            m_watch->setChecked(false);
            return;
        }
    }
    refreshWatchedFolder();
    startOrStopWatcher();
}

void CaptureTab::changeWatchedFolder()
{
    SystemScreenshotWatcher* watcher = m_services.watcher;
    if (!watcher || !watcher->chooseFolder()) return;
    refreshWatchedFolder();
    startOrStopWatcher();
}

void CaptureTab::startOrStopWatcher()
{
    if (m_settings.get(keys::watchSystemScreenshots))
        m_services.watcher->start();
    else
        m_services.watcher->stop();
}

} // namespace snapkin
