#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <functional>

namespace snapkin {

class TextCopier;

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

// The registry of the thumbnails on screen. Thumbnails are not created anywhere yet, so it
// holds no panel; a capture still asks it which panels to hide and whether a hidden one
// belongs to a thumbnail still.
class QuickAccessController {
public:
    // The text action (not owned, held weakly: a destroyed action reads as none).
    QuickAccessTextAction* textAction() const { return m_textAction; }
    void setTextAction(QuickAccessTextAction* action) { m_textAction = action; }

    // The thumbnails' panels, shown or not: none, as no thumbnail is made.
    QList<QWidget*> panels() const { return {}; }
    // Whether `panel` belongs to a thumbnail still on screen: never, for the same reason.
    bool stillOwns(const QWidget*) const { return false; }

private:
    QPointer<QuickAccessTextAction> m_textAction;
};

} // namespace snapkin
