#pragma once

#include <QImage>
#include <QMenu>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <expected>
#include <functional>
#include <optional>

namespace snapkin {

// The menu "Share…" opens: what a Linux desktop offers for handing an image on.
//   Copy Image            the image on the clipboard (counted as an export)
//   Open With…            a PNG in the private folder, opened by the desktop's default program
//   Email…                a new mail with that PNG attached (only when xdg-email is installed)
//   Show in File Manager  the saved image or document selected in the file manager (only
//                         when there is one)
// The PNG is written when an item needs it, not when the menu opens.
class ShareMenu : public QMenu {
    Q_OBJECT
public:
    // How the menu reaches the desktop; tests replace it.
    struct Desktop {
        std::function<bool(const QUrl& url)> openUrl;
        std::function<bool(const QString& program, const QStringList& arguments)> startDetached;
        // Asks the file manager to show `path` selected; false when none answered.
        std::function<bool(const QString& path)> showItem;
        // The program's path when it is on PATH, else empty.
        std::function<QString(const QString& program)> findExecutable;
    };
    static Desktop systemDesktop();
    // Replaces the desktop for menus made from now on (an empty member keeps the system's).
    static void setDesktop(Desktop desktop);

    ShareMenu(const QImage& image, const QString& savedFile, QWidget* parent = nullptr);

    QAction* copyAction() const { return m_copy; }
    QAction* openWithAction() const { return m_openWith; }
    // Null when not offered.
    QAction* emailAction() const { return m_email; }
    QAction* showInFileManagerAction() const { return m_show; }

    // Where the menu opens for `window`: its top edge, 60 points left of its right end, in
    // global coordinates.
    static QPoint anchor(const QWidget* window);

private:
    // The PNG in a private folder of its own, or why it could not be written.
    std::expected<QString, QString> writeSharedFile();
    std::optional<QString> sharedFileOrAlert();
    void openWith();
    void email();
    void showInFileManager();

    QImage m_image;
    QString m_savedFile;
    QString m_sharedFile;
    Desktop m_desktop;
    QAction* m_copy = nullptr;
    QAction* m_openWith = nullptr;
    QAction* m_email = nullptr;
    QAction* m_show = nullptr;
};

} // namespace snapkin
