#pragma once

#include "text/SelectableTextRoute.h"
#include "text/TextAnalysis.h"

#include <QPointer>
#include <QPushButton>
#include <QTransform>
#include <QUrl>
#include <QWidget>

#include <memory>

class QMenu;

namespace snapkin {

class AnnotationStore;
class LinkOpening;

// Selectable Text over the editor's canvas: the recognised words of the image, which the user
// hovers, selects by dragging (in reading order, across lines) and copies with Ctrl+C, the
// context menu ("Copy", "Select All") or the corner "Copy All Text" button.
//
// A child of the framed canvas covering all of it, so its coordinates are the shown canvas's
// (canvas points times the zoom's scale); word boxes are placed on the image through the frame
// layout's image rectangle. It paints only and never takes the mouse itself: it watches the
// presses reaching the canvas and takes those that route() gives it, so every other press
// reaches the canvas untouched. Its "Copy All Text" button sits above it in the framed canvas.
// Over a word a press would select, the watched widgets show the text pointer; elsewhere they
// show the cursor they inherit (the tool's). A word that is a web or e-mail address is a link:
// hovered, it is underlined under the pointing hand, and a click (press and release on it
// without a drag) opens it; a drag that starts on it selects text as from any word. While words are
// selected the overlay holds the keyboard, so Ctrl+C copies them whether a drag, the context menu
// or Select All chose them.
class SelectableTextOverlay : public QWidget {
    Q_OBJECT
public:
    // `framed` is the widget to cover; `inputs` the widgets whose presses are watched (the
    // canvas view and the framed canvas). `store` must outlive the overlay or be destroyed
    // with it; once it is gone the overlay takes nothing. A clicked link goes to `links`, which
    // outlives the overlay.
    SelectableTextOverlay(AnnotationStore& store, QWidget* framed, const QList<QWidget*>& inputs,
                          LinkOpening& links);
    ~SelectableTextOverlay() override;

    // Shows `analysis`; the same analysis again changes nothing, nullptr clears it.
    void setAnalysis(std::shared_ptr<const TextAnalysis> analysis);
    const std::shared_ptr<const TextAnalysis>& analysis() const { return m_analysis; }

    // A word's box in this widget; the index of the word at `point`, or -1.
    QRectF wordRect(int index) const;
    int wordAt(QPointF point) const;
    int hoveredWord() const { return m_hovered; }
    // The link of word `index`, empty when it is none.
    QUrl linkOf(int index) const;
    bool hasSelection() const { return m_anchor >= 0; }
    QString selectedText() const;

    void selectAll();
    void clearSelection();
    void copySelection() const;
    void copyAllText() const;
    QPushButton* copyAllButton() const { return m_copyAll; }
    // The context menu at a press on a word or the selection; the caller owns it.
    QMenu* makeContextMenu(QWidget* parent);

    // Who gets a press at `point` (this widget's coordinates) now.
    SelectableTextRoute routeFor(QPointF point) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QPointF toOverlay(QObject* watched, QPointF position) const;
    bool interactive() const;
    int nearestWord(QPointF point) const;
    // From word boxes (fractions of the image) to this widget.
    QTransform wordPlacement() const;
    void setHovered(int index);
    void updateCursor();
    void takeKeys();
    void follow();

    QPointer<AnnotationStore> m_store;
    QPointer<QWidget> m_framed;
    QList<QPointer<QWidget>> m_inputs;
    QPointer<QPushButton> m_copyAll;
    std::shared_ptr<const TextAnalysis> m_analysis;
    int m_hovered = -1;
    int m_anchor = -1;
    int m_focus = -1;
    bool m_dragging = false;
    // The link word a press landed on, while the press may still become a click on it.
    int m_pressedLink = -1;
    LinkOpening& m_links;
    QPointF m_pressedAt;
    Qt::CursorShape m_cursor = Qt::ArrowCursor;
    bool m_cursorSet = false;
};

} // namespace snapkin
