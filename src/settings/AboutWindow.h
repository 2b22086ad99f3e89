#pragma once

#include "settings/InfoWindowSupport.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <optional>

class QPushButton;

namespace snapkin {

// The About window: the mark, name and version, a description, the key features, links to the
// web site, the contact address and the privacy page (each left out when the build names none),
// and the libraries the application is built on, each opening its licence as the system's
// package states it. "Close" (Return) ends it; the title-bar close only hides it.
class AboutWindow : public InfoWindow {
    Q_OBJECT
public:
    struct Credit {
        QString name;
        QString licence;
        QString package; // the Debian package whose copyright file holds the licence
    };

    AboutWindow();

    // "1.2 (34)": the short version and the build, "1.0" and "1" standing in for either when
    // absent or empty.
    static QString versionLine(const std::optional<QString>& shortVersion,
                               const std::optional<QString>& build);
    // The version line of this build.
    static QString versionLine();
    static QList<Credit> credits();
    static QUrl copyrightUrl(const QString& package);
    // The four key features, in order.
    static QStringList featureTexts();

    QPushButton* closeButton() const { return m_close; }

private:
    QPushButton* m_close = nullptr;
};

// Keeps at most one About window: `show()` brings it back where it was, or builds a new,
// centred one after "Close".
class AboutController {
public:
    void show();
    AboutWindow* window() const { return m_window; }

private:
    QPointer<AboutWindow> m_window;
};

} // namespace snapkin
