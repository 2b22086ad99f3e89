#pragma once

#include "platform/SettingsKeys.h"

#include <QJsonValue>
#include <QString>
#include <QVariant>

#include <span>

namespace snapkin::platform {

// Every settings key the application reads, with its type, the value it reads as when missing
// or refused, and what it may hold: a range for numbers, a length for strings, data and lists.
// The settings store checks each value of its file against this table when it loads it; a value
// that does not fit is dropped, so the key reads its default, and a hostile or damaged file can
// neither start a countdown of hours nor make the application hold a string of megabytes.
//
// The table only guards: types, finite numbers, lengths, and ranges far beyond any real use.
// Whatever a hand-edited file may reasonably hold passes, and the key's reader applies, clamps or
// ignores it as it does any value (a spotlight dim of 0.05 reads as 0.2, a countdown of 7 s
// counts down 7 s, a line width of 0 keeps the tool's own width).
//
// The table is made from the declarations in SettingsKeys.h; its defaults are those the code
// falls back to (registered or not), and a test compares them with what the application
// registers.
struct SettingSpec {
    const char* key;
    SettingType type;
    QVariant defaultValue; // what the key reads as when missing or refused; invalid: nothing
    double minimum = 0;
    double maximum = 0;
    qsizetype maxLength = 0;
    qsizetype maxItemLength = 0;
    qsizetype mergedNewest = 0; // an accumulating list: see Setting::mergedNewest
};

class SettingsTable {
public:
    // A settings file larger than this is set aside like a damaged one.
    static constexpr qint64 maximumFileBytes = settingBounds::fileBytes;

    static std::span<const SettingSpec> all();
    // The key's declaration, or nullptr for a key the application does not read.
    static const SettingSpec* find(const QString& key);

    // Whether a value as stored in the file fits the declaration. Checked on the JSON value,
    // before anything is made of it, and on what it converts to.
    static bool accepts(const SettingSpec& spec, const QJsonValue& stored, const QVariant& value);
};

} // namespace snapkin::platform
