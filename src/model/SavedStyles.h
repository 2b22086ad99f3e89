#pragma once

#include "model/SavedStyle.h"

#include <QList>
#include <QObject>

namespace snapkin {

namespace platform {
class Defaults;
}

// The user's saved styles with the built-in presets, kept in the settings under
// keys::savedAnnotationStyles as compact JSON with sorted keys. Every change ends with save(), so
// the settings always hold the latest library.
class SavedStyles : public QObject {
    Q_OBJECT
public:
    // A library kept in `defaults`, loaded from what it holds: the presets when nothing is
    // stored or the stored data does not decode (that data then stays until the next save).
    explicit SavedStyles(platform::Defaults& defaults, QObject* parent = nullptr);

    const QList<SavedStyle>& styles() const { return m_styles; }
    // Publishes like the edit store: willChange(), stylesChanged(), then stored. Callers that
    // change the list this way call save() afterwards.
    void setStyles(QList<SavedStyle> styles);

    // The styles of the tool's category, in library order; empty for a tool without one.
    QList<SavedStyle> styles(Tool tool) const;
    // Removes the style with this id (if any) and saves.
    void remove(const QUuid& id);
    // Gives the style a new name, trimmed; a blank name or an unknown id changes nothing.
    void rename(const QUuid& id, const QString& name);
    // The presets, as built in, followed by the user's own styles in their order; then saves.
    void restoreDefaults();
    // Writes the library to the settings. When it cannot be encoded, the stored library is
    // kept rather than replaced by nothing, and false is returned.
    bool save();

    // The stored form, and its reader (which needs both "version" and "styles").
    static std::expected<QByteArray, JsonError> encode(const QList<SavedStyle>& styles);
    static std::expected<QList<SavedStyle>, JsonError> decode(const QByteArray& data);

signals:
    void willChange();
    void stylesChanged(const QList<snapkin::SavedStyle>& styles);

private:
    platform::Defaults& m_defaults;
    QList<SavedStyle> m_styles;
};

} // namespace snapkin
