#include "settings/HistoryPane.h"

#include "platform/Defaults.h"
#include "platform/FolderSize.h"
#include "platform/L10n.h"
#include "settings/ChoicePicker.h"
#include "settings/SettingsHooks.h"
#include "settings/TabularDigitsLabel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QtConcurrent>

namespace snapkin {

using platform::L10n;

// ---- CaptureHistorySource --------------------------------------------------------------------

CaptureHistorySource::CaptureHistorySource(CaptureHistory& history, QObject* parent)
    : HistoryPaneSource(parent), m_history(history)
{
    // The history announces a new list before it stores it and before it queues the write
    // that goes with it: pass the news on once both are done.
    connect(&history, &CaptureHistory::entriesChanged, this, &HistoryPaneSource::entriesChanged,
            Qt::QueuedConnection);
}

// ---- HistoryPane -----------------------------------------------------------------------------

HistoryPane::Confirm HistoryPane::defaultConfirm()
{
    return [](QWidget* parent, qsizetype count) {
        QMessageBox box(parent);
        box.setIcon(QMessageBox::Warning);
        box.setText(L10n::text("Empty the history?"));
        box.setInformativeText(L10n::plural("The %lld capture in the history will be deleted "
                                            "from this computer. This can't be undone.",
                                            "All %lld captures in the history will be deleted "
                                            "from this computer. This can't be undone.",
                                            qint64(count)));
        QPushButton* empty =
            box.addButton(L10n::text("Empty History"), QMessageBox::DestructiveRole);
        box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Cancel);
        box.exec();
        return box.clickedButton() == empty;
    };
}

QString HistoryPane::label(int days)
{
    switch (days) {
    case 7:
        return L10n::text("1 week");
    case 30:
        return L10n::text("1 month");
    case 90:
        return L10n::text("3 months");
    case 365:
        return L10n::text("1 year");
    default:
        return L10n::text("Forever");
    }
}

QString HistoryPane::summary(qsizetype count, std::optional<qint64> size)
{
    const QLocale locale;
    QString text = locale.toString(qint64(count));
    // Decimal units with one decimal, as file managers count files: "2.0 MB", "568.0 kB".
    if (size)
        text +=
            QStringLiteral(" · ") + locale.formattedDataSize(*size, 1, QLocale::DataSizeSIFormat);
    return text;
}

HistoryPane::HistoryPane(platform::Defaults& settings, HistoryPaneSource& source, Confirm confirm,
                         const SettingsHooks& shell, QWidget* parent)
    : SettingsForm(parent), m_settings(settings), m_source(source), m_confirm(std::move(confirm))
{
    auto* keeping = addSection();
    m_enabled = keeping->addToggle(QStringLiteral("clock.arrow.circlepath"),
                                   L10n::text("Keep a history of captures"), settings,
                                   keys::historyEnabled, [this](bool) { refresh(); });
    m_retention = new ChoicePicker;
    for (const int days : CaptureHistory::retentionChoices)
        m_retention->addItem(label(days), days);
    const QVariant stored = settings.object(keys::historyRetentionDays);
    m_retention->setCurrentIndex(
        m_retention->findData(stored.isValid() ? int(stored.toLongLong()) : 30));
    connect(m_retention, &QComboBox::activated, this, [this](int index) {
        if (index < 0) return;
        m_settings.set(keys::historyRetentionDays, m_retention->itemData(index).toInt());
        // A shorter period takes effect now, not at the next launch.
        m_source.pruneExpired(QDateTime::currentDateTime());
    });
    keeping->addRow(QStringLiteral("calendar"), L10n::text("Keep captures for"), m_retention);
    keeping->addNote(L10n::text("Each capture is saved on this computer with its annotations, so "
                                "you can reopen it from the start window and keep editing. "
                                "Nothing leaves your computer."));
    if (QLabel* link = startWindowLink(shell)) keeping->addFooterWidget(link);
    m_disabledNote = keeping->addNote(L10n::text(
        "New captures aren't added. The ones already in the history stay until you empty it."));
    // The folder is checked once, when the application starts: the note stays for the run.
    const QString refused = m_source.unavailableReason();
    m_unavailableNote = keeping->addNote(
        refused.isEmpty() ? QString()
                          : refused + QLatin1Char(' ') +
                                L10n::format("Remove or rename “%@”, then start Snapkin again.",
                                             QDir::toNativeSeparators(m_source.directory())));
    m_unavailableNote->setVisible(!refused.isEmpty());

    auto* contents = addSection();
    m_summary = new TabularDigitsLabel;
    contents->addRow(QStringLiteral("internaldrive"), L10n::text("Captures in the history"),
                     m_summary);
    auto* buttons = new QWidget;
    auto* buttonRow = new QHBoxLayout(buttons);
    buttonRow->setContentsMargins(0, 0, 0, 0);
    m_reveal = new QPushButton(L10n::text("Show in File Manager"), buttons);
    m_empty = new QPushButton(L10n::text("Empty History…"), buttons);
    buttonRow->addWidget(m_reveal);
    buttonRow->addStretch(1);
    buttonRow->addWidget(m_empty);
    connect(m_reveal, &QPushButton::clicked, this, [this] { m_source.revealFolder(); });
    connect(m_empty, &QPushButton::clicked, this, &HistoryPane::askToEmpty);
    contents->addWideRow(buttons);
    contents->addNote(L10n::text(
        "Emptying the history doesn't touch the images and documents you saved yourself."));

    connect(&m_source, &HistoryPaneSource::entriesChanged, this, &HistoryPane::refresh);
    connect(&settings, &platform::Defaults::valueChanged, this, [this](const QString& key) {
        if (key == keys::historyRetentionDays) {
            const QVariant value = m_settings.object(key);
            m_retention->setCurrentIndex(m_retention->findData(int(value.toLongLong())));
        }
    });
    refresh();
}

void HistoryPane::askToEmpty()
{
    const qsizetype count = m_source.count();
    if (count == 0) return;
    if (m_confirm(this, count)) m_source.removeAll();
}

void HistoryPane::refresh()
{
    const bool enabled = m_enabled->isChecked();
    m_retention->setEnabled(enabled);
    m_disabledNote->setVisible(!enabled);
    const qsizetype count = m_source.count();
    m_empty->setEnabled(count > 0);
    m_summary->setText(summary(count, m_diskSize));
    if (count != m_measuredCount) {
        m_measuredCount = count;
        measure();
    }
}

void HistoryPane::measure()
{
    const quint64 generation = ++m_generation;
    m_source.whenWritesDone(this, [this, generation] {
        if (generation != m_generation) return;
        QtConcurrent::run(&platform::allocatedFolderSize, m_source.directory())
            .then(this, [this, generation](qint64 size) {
                // An older measurement that ends last must not overwrite a newer one.
                if (generation != m_generation) return;
                m_diskSize = size;
                m_summary->setText(summary(m_source.count(), m_diskSize));
                emit diskSizeMeasured(size);
            });
    });
}

} // namespace snapkin
