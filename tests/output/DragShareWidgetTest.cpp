#include "output/ExportService.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"
#include "platform/OwnWrites.h"
#include "platform/PrivateFolder.h"
#include "ui/output/ShareMenu.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

#include "TestPaths.h"
#include "ui/output/ExportDialogs.h"

#include <sys/stat.h>

using namespace snapkin;

namespace {

QImage capture()
{
    QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(90, 30, 160));
    image.setDevicePixelRatio(2.0);
    return image;
}

mode_t modeOf(const QString& path)
{
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

// Records what the share menu asks of the desktop.
struct FakeDesktop {
    QList<QUrl> opened;
    QList<QStringList> started;
    QStringList shown;
    bool fileManagerAnswers = true;

    ShareMenu::Desktop desktop()
    {
        ShareMenu::Desktop d;
        d.openUrl = [this](const QUrl& url) {
            opened << url;
            return true;
        };
        d.startDetached = [this](const QString& program, const QStringList& args) {
            started << (QStringList{program} + args);
            return true;
        };
        d.showItem = [this](const QString& path) {
            shown << path;
            return fileManagerAnswers;
        };
        return d;
    }
};

// The menu looks programs up on PATH; each test chooses what PATH holds.
class Share : public ::testing::Test {
protected:
    void SetUp() override
    {
        ShareMenu::setDesktop(fake.desktop());
        savedPath = qgetenv("PATH");
        setPath(emptyBin.path());
    }
    void TearDown() override
    {
        ShareMenu::setDesktop({});
        qputenv("PATH", savedPath);
    }
    static void setPath(const QString& folder) { qputenv("PATH", QFile::encodeName(folder)); }
    // A folder whose only program is an executable "xdg-email".
    QString installEmail()
    {
        const QString program = bin.filePath("xdg-email");
        QFile f(program);
        f.open(QIODevice::WriteOnly);
        f.write("#!/bin/sh\nexit 0\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        setPath(bin.path());
        return program;
    }

    FakeDesktop fake;
    QTemporaryDir bin;
    QTemporaryDir emptyBin;
    QByteArray savedPath;
};

} // namespace

TEST(Drag, CarriesADatedPngFileInAFolderOfItsOwnAndTheBytes)
{
    const ExportService exports([] { return QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9)); });
    std::unique_ptr<QMimeData> first(exports.dragData(capture()));
    std::unique_ptr<QMimeData> second(exports.dragData(capture()));

    ASSERT_EQ(first->urls().size(), 1);
    ASSERT_EQ(second->urls().size(), 1);
    const QString a = first->urls()[0].toLocalFile();
    const QString b = second->urls()[0].toLocalFile();
    EXPECT_EQ(QFileInfo(a).fileName(), "Snapkin 2026-03-05 at 14.07.09.png");
    EXPECT_NE(a, b);
    // The first drop target may still be reading: the second drag leaves the first file alone.
    EXPECT_TRUE(QFileInfo::exists(a));
    EXPECT_TRUE(QFileInfo::exists(b));
    const QString dragFolder = *platform::PrivateFolder::path() + "/Drag";
    EXPECT_EQ(QFileInfo(QFileInfo(a).absolutePath()).absolutePath(), dragFolder);
    EXPECT_EQ(modeOf(QFileInfo(a).absolutePath()), 0700u);
    EXPECT_TRUE(platform::OwnWrites::shared().contains(a));

    QFile file(a);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), first->data("image/png"));
    QImage decoded;
    ASSERT_TRUE(decoded.loadFromData(first->data("image/png"), "PNG"));
    EXPECT_EQ(decoded.size(), QSize(64, 48));
}

// The name reads the same in every interface language, as on the systems the file goes to.
TEST(Drag, NamesItsFileInEnglishWhateverTheInterfaceLanguage)
{
    platform::L10n::setLanguage(QStringLiteral("de"));
    const ExportService exports([] { return QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9)); });
    std::unique_ptr<QMimeData> dragged(exports.dragData(capture()));
    ASSERT_EQ(dragged->urls().size(), 1);
    EXPECT_EQ(QFileInfo(dragged->urls()[0].toLocalFile()).fileName(),
              "Snapkin 2026-03-05 at 14.07.09.png");
    for (const char* language : {"fr", "ja", "pt-BR"}) {
        platform::L10n::setLanguage(QString::fromLatin1(language));
        EXPECT_EQ(ExportService::dragName(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 58))),
                  "Snapkin 2026-12-31 at 23.59.58")
            << language;
    }
    platform::L10n::setLanguage(QStringLiteral("en"));
}

TEST(Drag, KeepsTheFilesOfTheFiveNewestDragsWhileRunningAndNoneAfterQuitting)
{
    const ExportService exports;
    std::vector<QString> files;
    for (int i = 0; i < 8; ++i) {
        std::unique_ptr<QMimeData> drag(exports.dragData(capture()));
        ASSERT_EQ(drag->urls().size(), 1);
        files.push_back(drag->urls()[0].toLocalFile());
        EXPECT_EQ(modeOf(files.back()), 0600u);
    }
    for (size_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(QFileInfo::exists(files[i]), i >= files.size() - ExportService::keptDragFiles)
            << i;
    const QString dragFolder = *platform::PrivateFolder::path() + "/Drag";
    EXPECT_EQ(QDir(dragFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(),
              ExportService::keptDragFiles);

    emit qApp->aboutToQuit({});
    EXPECT_EQ(QDir(dragFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList());
}

TEST_F(Share, OffersEmailOnlyWhenInstalledAndTheFileManagerOnlyForSavedFiles)
{
    {
        ShareMenu menu(capture(), QString());
        EXPECT_EQ(menu.copyAction()->text(), "Copy Image");
        EXPECT_EQ(menu.openWithAction()->text(), "Open With…");
        EXPECT_EQ(menu.emailAction(), nullptr);
        EXPECT_EQ(menu.showInFileManagerAction(), nullptr);
    }
    installEmail();
    QTemporaryDir dir;
    const QString saved = dir.filePath("Saved.png");
    QFile(saved).open(QIODevice::WriteOnly);
    ShareMenu menu(capture(), saved);
    ASSERT_NE(menu.emailAction(), nullptr);
    EXPECT_EQ(menu.emailAction()->text(), "Email…");
    ASSERT_NE(menu.showInFileManagerAction(), nullptr);
    EXPECT_EQ(menu.showInFileManagerAction()->text(), "Show in File Manager");

    menu.showInFileManagerAction()->trigger();
    EXPECT_EQ(fake.shown, QStringList{saved});
    EXPECT_TRUE(fake.opened.isEmpty());
    // No file manager answers: its folder opens instead.
    fake.fileManagerAnswers = false;
    menu.showInFileManagerAction()->trigger();
    EXPECT_EQ(fake.opened, QList<QUrl>{QUrl::fromLocalFile(dir.path())});
}

TEST_F(Share, HandsOnAPngFromThePrivateFolder)
{
    const QString email = installEmail();
    ShareMenu menu(capture(), QString());
    menu.openWithAction()->trigger();
    ASSERT_EQ(fake.opened.size(), 1);
    const QString file = fake.opened[0].toLocalFile();
    EXPECT_TRUE(file.startsWith(*platform::PrivateFolder::path() + "/Share/"));
    QImage handed(file);
    EXPECT_EQ(handed.size(), QSize(64, 48));

    menu.emailAction()->trigger();
    ASSERT_EQ(fake.started.size(), 1);
    EXPECT_EQ(fake.started[0], (QStringList{email, "--attach", file}));
}

TEST_F(Share, AFileThatCannotBeWrittenIsAnAlertNotASilentNothing)
{
    const QString email = installEmail();
    // The private folder's place is taken by a link: nothing may be written through it.
    QTemporaryDir runtime, elsewhere;
    ASSERT_TRUE(QFile::link(elsewhere.path(), runtime.filePath("snapkin")));
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QWidget window;
    auto* menu = new ShareMenu(capture(), QString(), &window);
    menu->openWithAction()->trigger();
    menu->emailAction()->trigger();
    qputenv("XDG_RUNTIME_DIR", savedRuntime);

    EXPECT_TRUE(fake.opened.isEmpty());
    EXPECT_TRUE(fake.started.isEmpty());
    const auto alerts = window.findChildren<QMessageBox*>();
    ASSERT_EQ(alerts.size(), 2);
    for (QMessageBox* alert : alerts) {
        EXPECT_EQ(alert->text(), "Couldn't prepare the image");
        EXPECT_EQ(alert->informativeText(),
                  platform::PrivateFolder::userMessage(platform::PrivateFolder::Error::unsafe));
        alert->close();
    }
    EXPECT_TRUE(QDir(elsewhere.path()).isEmpty());
}

TEST_F(Share, CopyImageCountsAnExport)
{
    QCoreApplication::processEvents();
    platform::Defaults::standard().removeAllStored();
    ShareMenu menu(capture(), QString());
    menu.copyAction()->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(platform::Defaults::standard().get(keys::reviewExportCount), 1);
    EXPECT_TRUE(QApplication::clipboard()->mimeData()->hasFormat("image/png"));
    platform::Defaults::standard().removeAllStored();
}

TEST_F(Share, OpensUnderTheActiveWindowsTopEdgeOrNotAtAll)
{
    ExportDialogs::share(capture());
    auto menus = [] {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<ShareMenu*>(w) && w->isVisible()) ++n;
        return n;
    };
    EXPECT_EQ(menus(), 0); // no active window

    QWidget window;
    window.setGeometry(40, 30, 500, 400); // room for the menu on the 800-point offscreen screen
    EXPECT_EQ(ShareMenu::anchor(&window), window.mapToGlobal(QPoint(440, 0)));
    window.show();
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    if (QApplication::activeWindow() != &window) GTEST_SKIP() << "no active window offscreen";
    ExportDialogs::share(capture());
    ShareMenu* menu = window.findChild<ShareMenu*>();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(menu->pos(), ShareMenu::anchor(&window));
    menu->grab().save(QStringLiteral(SNAPKIN_BUILD_DIR "/share-menu.png"));
    menu->close();
}
