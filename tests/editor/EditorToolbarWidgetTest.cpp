#include "EditorViewTestSupport.h"
#include "TestPaths.h"
#include "editor/EditorToolbar.h"
#include "editor/EditorToolbarItems.h"
#include "editor/EditorView.h"
#include "editor/EditorViewHooks.h"
#include "editor/EditorZoom.h"
#include "editor/SaveSplitButton.h"
#include "editor/ToolbarCustomizeDialog.h"
#include "output/ExportService.h"
#include "platform/Defaults.h"
#include "support/RecordingAnnouncer.h"
#include "ui/output/ExportDialogs.h"
#include "ui/output/SaveOptionsAccessory.h"
#include "ui/output/SavePanel.h"
#include "ui/output/ShareMenu.h"
#include "ui/platform/Announcer.h"

#include <QAccessible>
#include <QActionGroup>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace snapkin;
using namespace snapkin::editortest;

namespace {

using test::RecordingAnnouncer;

// A toolbar over a fresh store, with routes that record instead of reaching the clipboard or a
// save dialog.
struct ToolbarFixture {
    std::unique_ptr<AnnotationStore> store = plainStore();
    EditorZoom zoom;
    ExportService exports;
    ExportDialogs dialogs{exports};
    QWidget window;
    EditorToolbar* toolbar = nullptr;
    bool flattenWorks = true;
    bool copyWorks = true;
    bool saveWorks = false; // the dialog is cancelled
    int copies = 0;
    QList<ExportFormat> saves;

    ToolbarFixture()
    {
        platform::Defaults::standard().removeAllStored();
        toolbar = new EditorToolbar(*store, zoom, dialogs, {}, &window);
        EditorToolbarRoutes routes;
        routes.flatten = [this](const AnnotationStore& s, QWidget*) -> std::optional<QImage> {
            if (!flattenWorks) return std::nullopt;
            return s.image().image();
        };
        routes.copy = [this](const QImage&) {
            ++copies;
            return copyWorks;
        };
        routes.save = [this](ExportFormat format, AnnotationStore&, QWidget*) {
            saves << format;
            return saveWorks;
        };
        toolbar->setRoutes(routes);
        window.resize(900, 60);
    }
    ~ToolbarFixture()
    {
        EditorToolbar::setCopiedFeedbackMilliseconds(1400);
        platform::Defaults::standard().removeAllStored();
    }

    // A first edit, leaving the store dirty with one undo step.
    Annotation edit()
    {
        const Annotation mark{.kind = AnnotationKind::rectangle, .p1 = {5, 5}, .p2 = {50, 40}};
        store->beginChange();
        store->appendAnnotation(mark);
        store->setHasUnsavedChanges(true);
        QApplication::processEvents();
        return mark;
    }
};

// A save dialog in which the user accepts `path` at once.
struct AcceptingPanel final : SavePanel {
    explicit AcceptingPanel(QString p) : path(std::move(p)) {}
    void setFormat(ExportFormat) override {}
    QString fileName() const override { return name; }
    void setFileName(const QString& n) override { name = n; }
    void setDirectory(const QString&) override {}
    void setAccessory(SaveOptionsAccessory* a) override { accessory.reset(a); }
    std::optional<QString> run() override { return path; }

    QString path;
    QString name;
    std::unique_ptr<SaveOptionsAccessory> accessory;
};

// The share menu open in `window`, if any.
ShareMenu* openShareMenu(QWidget& window)
{
    for (ShareMenu* menu : window.findChildren<ShareMenu*>())
        if (menu->isVisible()) return menu;
    return nullptr;
}

QMessageBox* openAlert(QWidget& window)
{
    for (QMessageBox* box : window.findChildren<QMessageBox*>())
        if (box->isVisible()) return box;
    return nullptr;
}

} // namespace

TEST(EditorToolbar, DefaultItemsAndTheSavedArrangementForEveryWindow)
{
    ToolbarFixture f;
    const QStringList defaults{"newCapture", "undo",  "redo",         "copy",
                               "save",       "share", "dragThumbnail"};
    EXPECT_EQ(f.toolbar->shownIdentifiers(), defaults);
    EXPECT_EQ(f.toolbar->item("delete"), nullptr);
    EXPECT_EQ(EditorToolbarItems::all().size(), 14u);

    // Customising: Delete selection added after Undo, the thumbnail removed.
    ToolbarCustomizeDialog dialog;
    QListWidget* list = dialog.list();
    for (int i = 0; i < list->count(); ++i) {
        QListWidgetItem* row = list->item(i);
        const QString id = row->data(Qt::UserRole).toString();
        if (id == "delete") {
            row->setCheckState(Qt::Checked);
            list->insertItem(2, list->takeItem(i));
        } else if (id == "dragThumbnail") {
            row->setCheckState(Qt::Unchecked);
        }
    }
    dialog.accept();
    const QStringList chosen{"newCapture", "undo", "delete", "redo", "copy", "save", "share"};
    EXPECT_EQ(f.toolbar->shownIdentifiers(), chosen); // every open toolbar follows
    EXPECT_NE(f.toolbar->item("delete"), nullptr);

    // After a restart the arrangement is still there.
    platform::Defaults::standard().reload();
    auto other = plainStore();
    EditorZoom zoom;
    ExportService exports;
    ExportDialogs dialogs(exports);
    EditorToolbar next(*other, zoom, dialogs);
    EXPECT_EQ(next.shownIdentifiers(), chosen);

    // A stored list of unknown names falls back to the defaults; an emptied toolbar stays so.
    platform::Defaults::standard().setValue(keys::editorToolbarItems, QStringList{"bogus"});
    EXPECT_EQ(next.shownIdentifiers(), defaults);
    platform::Defaults::standard().setValue(keys::editorToolbarItems, QStringList{});
    EXPECT_TRUE(next.shownIdentifiers().isEmpty());
}

TEST(EditorToolbar, UndoRedoAndDeleteFollowTheStore)
{
    ToolbarFixture f;
    platform::Defaults::standard().set(keys::editorToolbarItems,
                                       QStringList{"undo", "redo", "delete"});
    QAction* undo = f.toolbar->item("undo");
    QAction* redo = f.toolbar->item("redo");
    QAction* del = f.toolbar->item("delete");
    ASSERT_TRUE(undo && redo && del);
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_FALSE(redo->isEnabled());
    EXPECT_FALSE(del->isEnabled());

    const Annotation mark = f.edit();
    EXPECT_TRUE(undo->isEnabled());
    f.store->setSelectedID(mark.id);
    QApplication::processEvents();
    EXPECT_TRUE(del->isEnabled());
    f.store->setSelectedID(std::nullopt);
    QApplication::processEvents();
    EXPECT_FALSE(del->isEnabled());

    undo->trigger();
    QApplication::processEvents();
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_TRUE(redo->isEnabled());
    EXPECT_TRUE(f.store->annotations().isEmpty());
}

TEST(EditorToolbar, CopyShowsTheCheckmarkForAWhileAndMarksExported)
{
    ToolbarFixture f;
    RecordingAnnouncer announcer;
    EditorToolbar::setCopiedFeedbackMilliseconds(60);
    f.edit();
    f.toolbar->item("copy")->trigger();
    EXPECT_EQ(f.copies, 1);
    EXPECT_TRUE(f.toolbar->justCopied());
    EXPECT_FALSE(f.store->hasUnsavedChanges());
    EXPECT_EQ(announcer.said, QStringList{"Copied to clipboard"});
    QTest::qWait(20);
    EXPECT_TRUE(f.toolbar->justCopied());
    QTRY_VERIFY_WITH_TIMEOUT(!f.toolbar->justCopied(), 1000);
}

TEST(EditorToolbar, FailedCopyAlertsAndLeavesTheStoreDirty)
{
    ToolbarFixture f;
    RecordingAnnouncer announcer;
    f.window.show();
    f.copyWorks = false;
    f.edit();
    f.toolbar->copyImage();
    EXPECT_TRUE(f.store->hasUnsavedChanges());
    EXPECT_FALSE(f.toolbar->justCopied());
    EXPECT_FALSE(announcer.said.contains("Copied to clipboard"));
    QMessageBox* alert = openAlert(f.window);
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), "Couldn't copy the image");
    alert->accept();

    // A flattening failure has its own alert already: no copy is tried.
    f.flattenWorks = false;
    f.copyWorks = true;
    f.toolbar->copyImage();
    EXPECT_EQ(f.copies, 1);
    EXPECT_TRUE(f.store->hasUnsavedChanges());
}

TEST(EditorToolbar, FormatChosenThenCancelledStaysChosen)
{
    ToolbarFixture f;
    SaveSplitButton* save = f.toolbar->saveButton();
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(save->saveButton()->toolTip(), "Save (.png)");
    f.edit();

    QList<QAction*> formats = f.toolbar->formatActions();
    ASSERT_EQ(formats.size(), 7);
    EXPECT_TRUE(formats[0]->isChecked());
    // One choice among others: radio marks, exactly one checked.
    ASSERT_NE(formats[0]->actionGroup(), nullptr);
    EXPECT_TRUE(formats[0]->actionGroup()->isExclusive());
    EXPECT_EQ(formats[0]->actionGroup()->actions(), formats);
    save->formatMenu()->adjustSize();
    save->formatMenu()->grab().save(QStringLiteral(SNAPKIN_BUILD_DIR "/save-format-menu.png"));
    formats[1]->trigger(); // JPEG; the dialog is cancelled
    EXPECT_EQ(f.saves, QList<ExportFormat>{ExportFormat::jpeg});
    EXPECT_EQ(platform::Defaults::standard().stringForKey("exportFormat"), "jpeg");
    EXPECT_EQ(save->saveButton()->toolTip(), "Save (.jpg)");
    EXPECT_TRUE(formats[1]->isChecked());
    EXPECT_FALSE(formats[0]->isChecked());
    EXPECT_TRUE(f.store->hasUnsavedChanges());

    // The primary half saves in the stored format, and a written file marks the store.
    f.saveWorks = true;
    emit save->saveRequested();
    EXPECT_EQ(f.saves.last(), ExportFormat::jpeg);
    EXPECT_FALSE(f.store->hasUnsavedChanges());

    // A stored name that is no format saves PNG and says so.
    platform::Defaults::standard().setValue("exportFormat", "heic");
    EXPECT_EQ(save->saveButton()->toolTip(), "Save (.png)");
    emit save->saveRequested();
    EXPECT_EQ(f.saves.last(), ExportFormat::png);
    EXPECT_EQ(platform::Defaults::standard().stringForKey("exportFormat"), "heic");
}

TEST(EditorToolbar, NewCaptureMenuOffersWhatIsInstalled)
{
    ToolbarFixture f;
    auto* button = qobject_cast<QToolButton*>(f.toolbar->itemWidget("newCapture"));
    ASSERT_NE(button, nullptr);
    QStringList titles;
    for (QAction* entry : button->menu()->actions())
        titles << entry->text();
    EXPECT_EQ(titles, (QStringList{"Capture Region", "Capture Window", "Full Screen", "",
                                   "Open Image…", "Blank Canvas", "New Collage…"}));
    // The capture service is not there: its entries cannot be chosen.
    EXPECT_FALSE(button->menu()->actions()[0]->isEnabled());
    EXPECT_TRUE(button->menu()->actions()[5]->isEnabled());
}

// What a page is given for the layers above the editor is what its toolbar and overlay use.
TEST(EditorToolbar, APageServesCapturesOpenImageAndCopyTextThroughTheHooksItWasGiven)
{
    using Kind = EditorViewHooks::CaptureKind;
    platform::Defaults::standard().removeAllStored();
    platform::Defaults::standard().setValue(keys::editorToolbarItems,
                                            QStringList{"newCapture", "copyText"});
    QList<Kind> captures;
    int opens = 0, attached = 0;
    QList<const AnnotationStore*> copied;
    EditorViewHooks hooks;
    hooks.capture = [&](Kind kind) { captures << kind; };
    hooks.openImage = [&] { ++opens; };
    hooks.copyText = [&](AnnotationStore& store, QWidget*) { copied << &store; };
    hooks.selectableText = [&](EditorView&) { ++attached; };
    auto store = plainStore();
    EditorZoom zoom;
    ExportService exports;
    ExportDialogs dialogs(exports);
    EditorView view(*store, zoom, dialogs, hooks);
    EXPECT_EQ(attached, 1);

    auto* button = qobject_cast<QToolButton*>(view.toolbar()->itemWidget("newCapture"));
    ASSERT_NE(button, nullptr);
    const QList<QAction*> entries = button->menu()->actions();
    for (const int i : {0, 1, 2, 4}) {
        EXPECT_TRUE(entries[i]->isEnabled()) << i;
        entries[i]->trigger();
    }
    EXPECT_EQ(captures, (QList<Kind>{Kind::region, Kind::window, Kind::fullScreen}));
    EXPECT_EQ(opens, 1);

    QAction* copyText = view.toolbar()->item("copyText");
    ASSERT_NE(copyText, nullptr);
    QApplication::processEvents();
    EXPECT_TRUE(copyText->isEnabled());
    copyText->trigger();
    EXPECT_EQ(copied, QList<const AnnotationStore*>{store.get()});
    platform::Defaults::standard().removeAllStored();
}

// Share opens its menu under the button, and once the work is saved the menu shows the saved
// document, then the saved image, in the file manager.
TEST(EditorToolbar, ShareOpensUnderItsButtonAndShowsWhatWasSaved)
{
    ToolbarFixture f;
    QString image;
    ExportDialogs saving(f.exports,
                         [&image](QWidget*) { return std::make_unique<AcceptingPanel>(image); });
    f.toolbar->setRoutes(EditorToolbarRoutes::standard(saving));
    QStringList shown;
    ShareMenu::Desktop desktop;
    desktop.showItem = [&shown](const QString& path) {
        shown << path;
        return true;
    };
    ShareMenu::setDesktop(desktop);
    f.window.setGeometry(0, 100, 700, 60);
    f.window.show();
    QWidget* button = f.toolbar->itemWidget("share");
    ASSERT_NE(button, nullptr);
    const auto share = [&]() -> ShareMenu* {
        if (ShareMenu* open = openShareMenu(f.window)) open->close();
        f.toolbar->shareImage();
        return openShareMenu(f.window);
    };

    ShareMenu* menu = share();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->pos(), button->mapToGlobal(QPoint(0, button->height())));
    EXPECT_EQ(menu->showInFileManagerAction(), nullptr); // nothing saved yet

    QTemporaryDir dir;
    const QString document = dir.filePath("Shot.snapkin");
    ASSERT_TRUE(QDir().mkpath(document));
    f.store->setDocumentURL(QUrl::fromLocalFile(document));
    menu = share();
    ASSERT_NE(menu, nullptr);
    ASSERT_NE(menu->showInFileManagerAction(), nullptr);
    menu->showInFileManagerAction()->trigger();

    image = dir.filePath("Shot.png");
    f.toolbar->saveImage(ExportFormat::png);
    ASSERT_TRUE(QFileInfo(image).isFile());
    menu = share();
    ASSERT_NE(menu, nullptr);
    ASSERT_NE(menu->showInFileManagerAction(), nullptr);
    EXPECT_EQ(menu->showInFileManagerAction()->text(), "Show in File Manager");
    menu->showInFileManagerAction()->trigger();
    menu->close();
    ShareMenu::setDesktop({});
    EXPECT_EQ(shown, (QStringList{document, image}));
}

TEST(EditorToolbar, TheDragThumbnailIsAPictureToAssistiveTechnology)
{
    ToolbarFixture f;
    QWidget* thumbnail = f.toolbar->itemWidget("dragThumbnail");
    ASSERT_NE(thumbnail, nullptr);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(thumbnail);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Graphic);
    EXPECT_EQ(accessible->text(QAccessible::Name), "Drag to share");
}
