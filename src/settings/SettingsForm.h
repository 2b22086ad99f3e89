#pragma once

#include "platform/SettingsKeys.h"

#include <QLabel>
#include <QScrollArea>
#include <QString>
#include <QWidget>

#include <functional>

class QCheckBox;
class QVBoxLayout;

namespace snapkin {

namespace platform {
class Defaults;
}

// The pieces every settings tab is made of. A tab is a SettingsForm: a scrolling column of
// sections, each with an optional header, a rounded group of rows and notes under it. A row
// is a SettingsLabel (icon and title) on the leading side and its control on the trailing
// side. Every control stores its setting the moment it changes; there is no Apply.

// Text in a lighter tone than the window text (notes, secondary values), kept in step with
// the application's palette when the appearance changes.
class ToneLabel : public QLabel {
    Q_OBJECT
public:
    enum class Tone { secondary, tertiary, alert };
    explicit ToneLabel(const QString& text, Tone tone, QWidget* parent = nullptr);
    ~ToneLabel() override;

protected:
    bool event(QEvent* event) override;

private:
    void applyTone();
    Tone m_tone;
    bool m_applying = false;
};

// A row's label: the symbol in the secondary tone centred in a column 22 points wide, then
// 8 points, then the title, so the titles of all rows line up whatever their symbols.
class SettingsLabel : public QWidget {
    Q_OBJECT
public:
    static constexpr int iconColumnWidth = 22;
    static constexpr int iconSpacing = 8;
    SettingsLabel(const QString& symbol, const QString& title, QWidget* parent = nullptr);
    QString title() const { return m_title->text(); }
    QLabel* iconLabel() const { return m_icon; }
    QLabel* titleLabel() const { return m_title; }

protected:
    // The icon is drawn again in the new palette's colours when the appearance changes.
    void changeEvent(QEvent* event) override;

private:
    void drawIcon();

    QString m_symbol;
    QLabel* m_icon;
    QLabel* m_title;
};

// An explanatory note: caption size, secondary tone, wrapping onto as many lines as it needs.
QLabel* settingsNote(const QString& text, QWidget* parent = nullptr);

// "Snapkin <version> (<build>)" of this build, in the tertiary tone, centred, selectable.
class VersionFooter : public ToneLabel {
    Q_OBJECT
public:
    explicit VersionFooter(QWidget* parent = nullptr);
    // The line for a version and build; "1.0" and "1" stand in for empty ones.
    static QString line(const QString& shortVersion, const QString& build);
};

// Controls side by side, `spacing` apart and centred on one line (or as `align` says): a row's
// trailing side.
QWidget* controlRow(int spacing, std::initializer_list<QWidget*> controls,
                    Qt::Alignment align = Qt::AlignVCenter);

class SettingsSection : public QWidget {
    Q_OBJECT
public:
    explicit SettingsSection(const QString& header, QWidget* parent = nullptr);

    // Adds a row with `control` on the trailing side; the row widget (hide it to hide the row).
    QWidget* addRow(const QString& symbol, const QString& title, QWidget* control);
    // Adds a row whose content spans under no label (a row of buttons).
    QWidget* addWideRow(QWidget* content);
    // A switch stored under `key` (the stored Bool, else the key's default), kept in step with
    // the settings; `onUserChange` runs after a change the user made, once the value is stored.
    QCheckBox* addToggle(const QString& symbol, const QString& title, platform::Defaults& settings,
                         const platform::Setting<bool>& key,
                         std::function<void(bool)> onUserChange = {});
    // An explanatory note under the group: caption size, secondary tone, wrapping onto as many
    // lines as it needs. Notes stack 4 points apart.
    QLabel* addNote(const QString& text);
    QWidget* addFooterWidget(QWidget* widget);

private:
    QWidget* m_group;
    QVBoxLayout* m_rows;
    QVBoxLayout* m_footer;
};

class SettingsForm : public QScrollArea {
    Q_OBJECT
public:
    explicit SettingsForm(QWidget* parent = nullptr);
    SettingsSection* addSection(const QString& header = {});

private:
    QVBoxLayout* m_column;
};

// The caption font: two points below the widget font.
QFont captionFont(const QFont& base);

} // namespace snapkin
