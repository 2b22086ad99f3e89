#pragma once

#include <QObject>
#include <QStringList>

#include <memory>

class QSocketNotifier;

namespace snapkin::platform {

class X11Connection;

// What the clipboard's owner offers, kept current without reading the clipboard: on X11 the
// XFixes extension tells when the clipboard changes hands, and the new owner's list of targets
// is then asked for off the GUI thread (bounded to 2 s), so menus can say whether a paste would
// find an image without ever waiting for an owner that has stopped answering. Without X11 (the
// offscreen platform of tests) the in-process clipboard is asked, which never waits.
class ClipboardOffer : public QObject {
    Q_OBJECT
public:
    static ClipboardOffer& shared();

    // The owner's targets as last heard; empty while nobody owns the clipboard, while the new
    // owner has not answered, or when it did not answer in time.
    QStringList targets() const { return m_targets; }
    // Whether any of the targets is an image format (a MIME type under "image/").
    bool offersImage() const;

    // How long the owner has to say what it offers.
    static constexpr int answerTimeoutMs = 2000;

signals:
    void targetsChanged();

private:
    ClipboardOffer();
    bool watchX11();
    void readEvents();
    void refresh();

    std::shared_ptr<X11Connection> m_connection;
    QSocketNotifier* m_notifier = nullptr;
    uint8_t m_xfixesEvent = 0;
    quint64 m_generation = 0;
    QStringList m_targets;
};

} // namespace snapkin::platform
