#include "settings/WhatsNewWindow.h"

#include "capture/hotkeys/CaptureHotKey.h"
#include "editor/SheetStyle.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"
#include "settings/InfoGlyphs.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace snapkin {

using platform::L10n;

namespace {

// The moved controls' table, on a softly filled rounded background.
class MovedBox : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor fill = palette().color(QPalette::WindowText);
        fill.setAlphaF(0.06);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(QRectF(rect()), 10, 10);
    }
};

} // namespace

QList<WhatsNewWindow::Feature> WhatsNewWindow::features(const QKeySequence& saveAsDocument,
                                                        const QString& copyTextKeys)
{
    // No "quick access" tile: no thumbnail waits after a capture here.
    return {
        {QStringLiteral("toolbar"), QStringLiteral("menubar.rectangle"),
         L10n::text("Toolbar at the top"),
         L10n::text("Copy, Save and Share are in the window's toolbar. Right-click it to "
                    "customize it.")},
        {QStringLiteral("history"), QStringLiteral("clock.arrow.circlepath"),
         L10n::text("History and start window"),
         L10n::text("Your captures are kept on this computer, so you can reopen them and keep "
                    "editing.")},
        {QStringLiteral("document"), QStringLiteral("doc"), L10n::text("Snapkin documents"),
         L10n::format("Save with %@ as an .snapkin document to keep the annotations editable.",
                      saveAsDocument.toString(QKeySequence::NativeText))},
        {QStringLiteral("text"), QStringLiteral("text.viewfinder"),
         L10n::format("Copy text with %@", copyTextKeys),
         L10n::text("Select part of the screen to copy its text or what a QR code says.")},
        {QStringLiteral("pin"), QStringLiteral("pin"), L10n::text("Pin to the screen"),
         L10n::text("Keep a screenshot floating above your windows as a reference.")},
    };
}

QList<WhatsNewWindow::Move> WhatsNewWindow::moves()
{
    return {
        {QStringLiteral("undo"), L10n::text("Undo and Redo"), L10n::text("Toolbar, on the left")},
        {QStringLiteral("share"), L10n::text("Copy, Save and Share"),
         L10n::text("Toolbar, on the right")},
        {QStringLiteral("drag"), L10n::text("Drag to share"),
         L10n::text("Screenshot thumbnail, at the right end of the toolbar")},
        {QStringLiteral("trash"), L10n::text("Trash"),
         L10n::text("Edit ▸ Delete, or the Delete key")},
        {QStringLiteral("zoom"), L10n::text("Zoom and image size"),
         L10n::text("Status bar, at the bottom (no change)")},
    };
}

WhatsNewWindow::WhatsNewWindow(const QKeySequence& saveAsDocument)
    : InfoWindow(L10n::text("What's New in Snapkin 2.0"))
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* content = new QVBoxLayout;
    content->setContentsMargins(32, 34, 32, 8);
    content->setSpacing(22);

    auto* header = new QHBoxLayout;
    header->setSpacing(14);
    header->addWidget(new AppMarkView(56, 13), 0, Qt::AlignVCenter);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(3);
    titles->addWidget(makeLabel(L10n::text("What's New in Snapkin 2.0"), 1.45, QFont::Bold));
    titles->addWidget(makeSecondary(
        makeLabel(L10n::text("Here is what Snapkin 2.0 brings, and where its controls are."))));
    header->addLayout(titles, 1);
    content->addLayout(header);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(20);
    grid->setVerticalSpacing(16);
    const auto tiles =
        features(saveAsDocument, CaptureHotKey::load(CaptureAction::copyText).displayString());
    for (qsizetype i = 0; i < tiles.size(); ++i) {
        auto* tile = new QWidget;
        tile->setObjectName(tiles[i].id);
        tile->setAccessibleName(tiles[i].title + QStringLiteral(". ") + tiles[i].detail);
        auto* tileLayout = new QHBoxLayout(tile);
        tileLayout->setContentsMargins(0, 0, 0, 0);
        tileLayout->setSpacing(10);
        tileLayout->addWidget(
            glyphColumn(tiles[i].symbol, 20, paletteColor(QPalette::Highlight), 26), 0,
            Qt::AlignTop);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(2);
        texts->addWidget(makeLabel(tiles[i].title, 1.0, QFont::DemiBold));
        texts->addWidget(makeSecondary(makeLabel(tiles[i].detail)));
        tileLayout->addLayout(texts, 1);
        grid->addWidget(tile, int(i / 2), int(i % 2), Qt::AlignTop | Qt::AlignLeft);
    }
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    content->addLayout(grid);

    auto* moved = new QVBoxLayout;
    moved->setSpacing(8);
    moved->addWidget(makeLabel(L10n::text("Where the bottom bar went"), 1.0, QFont::DemiBold));
    auto* box = new MovedBox;
    auto* table = new QGridLayout(box);
    table->setContentsMargins(12, 12, 12, 12);
    table->setHorizontalSpacing(12);
    table->setVerticalSpacing(7);
    const auto allMoves = moves();
    for (qsizetype i = 0; i < allMoves.size(); ++i) {
        const int r = int(i);
        auto* control = makeLabel(allMoves[i].control, 1.0, QFont::Medium);
        control->setWordWrap(false);
        table->addWidget(control, r, 0, Qt::AlignLeft | Qt::AlignTop);
        table->addWidget(
            new GlyphView(QStringLiteral("arrow.right"), 12, &sheetstyle::secondaryColor), r, 1,
            Qt::AlignCenter);
        // Wraps when a language says it at length; the window keeps its width. It fills its
        // cell (no alignment), so the row is as tall as the text wrapped at the cell's width.
        table->addWidget(makeSecondary(makeLabel(allMoves[i].now)), r, 2);
    }
    table->setColumnStretch(2, 1);
    moved->addWidget(box);
    content->addLayout(moved);

    auto* note = new QHBoxLayout;
    note->setSpacing(10);
    note->addWidget(glyphColumn(QStringLiteral("lock"), 16, &sheetstyle::secondaryColor, 26), 0,
                    Qt::AlignTop);
    note->addWidget(makeSecondary(makeLabel(L10n::text(
                        "By default the history keeps each capture's original image for 30 days, "
                        "so pixelated areas can be uncovered by reopening it. You can turn it off "
                        "in Settings ▸ History."))),
                    1);
    content->addLayout(note);
    outer->addLayout(content);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(24, 16, 24, 16);
    buttons->addStretch();
    auto* continueButton = windowButton(L10n::text("Continue"), {96, 32});
    continueButton->setDefault(true);
    connect(continueButton, &QPushButton::clicked, this, &WhatsNewWindow::finished);
    buttons->addWidget(continueButton);
    outer->addLayout(buttons);

    // 600 wide whatever the texts; the height is what the wrapped texts need at that width.
    setFixedSize(windowWidth, outer->totalHeightForWidth(windowWidth));
}

bool WhatsNewController::consumeFirstLaunch(platform::Defaults& defaults,
                                            const QVariantMap& storedBefore)
{
    if (defaults.get(keys::whatsNew2Shown)) return false;
    // Written whatever the answer, so the window opens by itself at most once.
    defaults.set(keys::whatsNew2Shown, true);
    for (const char* earlier :
         {keys::didShowOnboarding.key, keys::newsletterFirstLaunch.key, keys::exportFormat.key})
        if (storedBefore.contains(QString::fromLatin1(earlier))) return true;
    return false;
}

void WhatsNewController::show()
{
    showSingleWindow(m_window, [this] {
        auto* window = new WhatsNewWindow(m_saveKeys);
        QObject::connect(window, &WhatsNewWindow::finished, window,
                         [this] { dismissWindow(m_window); });
        return window;
    });
}

} // namespace snapkin
