#pragma once

#include "settings/InfoWindowSupport.h"

#include <QKeySequence>
#include <QList>
#include <QPointer>
#include <QString>
#include <QVariantMap>

namespace snapkin {

namespace platform {
class Defaults;
}

// The What's New window for users upgrading to 2.0: what it brings, as tiles, and where the
// controls of the old bottom bar went. "Continue" (Return) ends it; the title-bar close hides it.
class WhatsNewWindow : public InfoWindow {
    Q_OBJECT
public:
    static constexpr int windowWidth = 600;
    struct Feature {
        QString id;
        QString symbol;
        QString title;
        QString detail;
    };
    struct Move {
        QString id;
        QString control;
        QString now;
    };

    // `saveAsDocument` is the editor's Save as Document shortcut; the copy-text shortcut is the
    // stored global one.
    explicit WhatsNewWindow(const QKeySequence& saveAsDocument);

    static QList<Feature> features(const QKeySequence& saveAsDocument, const QString& copyTextKeys);
    static QList<Move> moves();
};

// Decides at launch whether What's New is due and keeps at most one window.
class WhatsNewController {
public:
    // Whether this launch is the first of 2.0 after an earlier version: never once
    // keys::whatsNew2Shown is true (nothing written then); otherwise marks it shown and answers
    // whether the stored settings (`storedBefore`, as they were before this launch wrote anything)
    // hold a key an earlier version left behind. A fresh installation answers false.
    static bool consumeFirstLaunch(platform::Defaults& defaults, const QVariantMap& storedBefore);

    bool pendingShow = false;

    void show();
    WhatsNewWindow* window() const { return m_window; }
    void setSaveAsDocumentKeys(const QKeySequence& keys) { m_saveKeys = keys; }

private:
    QPointer<WhatsNewWindow> m_window;
    QKeySequence m_saveKeys{QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_S)};
};

} // namespace snapkin
