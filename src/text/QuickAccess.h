#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QScreen;
class QTimer;

namespace snapkin {
class TextCopier;
}

namespace snapkin {

// What a quick-access thumbnail does for its text action: copies the text of its image.
class QuickAccessTextAction : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void copyText(const QImage& image) = 0;
};

// The text action through the text copier.
class QuickAccessTextCopier final : public QuickAccessTextAction {
    Q_OBJECT
public:
    explicit QuickAccessTextCopier(TextCopier& copier) : m_copier(copier) {}
    void copyText(const QImage& image) override;

private:
    TextCopier& m_copier;
};

// The floating window of one thumbnail: a tool window without a frame that stays above other
// windows and is shown without activating the application.
class QuickAccessPanel : public QWidget {
    Q_OBJECT
public:
    explicit QuickAccessPanel(const QRect& contentRect);
};

// The thumbnail's content view; reports the pointer entering (true) and leaving (false).
class QuickAccessHostView : public QWidget {
    Q_OBJECT
public:
    explicit QuickAccessHostView(QWidget* parent = nullptr);
    // Told about hovering; nothing is reported while unset.
    std::function<void(bool hovered)> onHover;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
};

class QuickAccessController;

// One thumbnail on screen: the capture it shows, the screen it belongs to and its panel.
class QuickAccessItem {
public:
    QuickAccessItem(const QImage& image, QScreen* screen, QuickAccessController& controller);
    ~QuickAccessItem();

    const QImage image;
    const QPointer<QScreen> screen;
    QuickAccessPanel* const panel;
    // The scheduled dismissal, if any (owned by the panel).
    QPointer<QTimer> dismissWork;
    bool isHovered = false;
};

// The registry of the thumbnails on screen. Thumbnails are not created anywhere yet, so the
// list stays empty and no panel shows; a capture still asks it which panels to hide and
// whether a hidden one belongs to a thumbnail still.
class QuickAccessController {
public:
    // The text action (not owned, held weakly: a destroyed action reads as none).
    QuickAccessTextAction* textAction() const { return m_textAction; }
    void setTextAction(QuickAccessTextAction* action) { m_textAction = action; }

    // The thumbnails' panels, shown or not.
    QList<QWidget*> panels() const;
    // Whether `panel` is the panel of a thumbnail still in the list.
    bool stillOwns(const QWidget* panel) const;

private:
    QPointer<QuickAccessTextAction> m_textAction;
    std::vector<std::unique_ptr<QuickAccessItem>> m_items;
};

} // namespace snapkin
