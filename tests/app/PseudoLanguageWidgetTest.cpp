// Runs the windows in a pseudo language whose texts are bracketed and 40 % longer: a visible
// text without brackets did not go through L10n, and a label narrower than its text is cut
// off. Also writes pictures of the windows in German and Japanese for a person to look at.

#include "AppShell.h"
#include "AppTestSupport.h"
#include "TestPaths.h"

#include "app/TrayMenu.h"
#include "app/start/StartWindow.h"
#include "capture/CaptureService.h"
#include "editor/EditorPage.h"
#include "editor/EditorWindowController.h"
#include "history/CaptureHistory.h"
#include "platform/BaseImage.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"
#include "settings/AboutWindow.h"
#include "settings/NewsletterWindow.h"
#include "settings/OnboardingController.h"
#include "settings/OnboardingView.h"
#include "settings/PreferencesWindow.h"
#include "settings/SettingsHooks.h"
#include "settings/WhatsNewWindow.h"

#include <QPromise>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <iostream>

using namespace snapkin;
using platform::L10n;

namespace {

const QString keysPath = QStringLiteral(SNAPKIN_BUILD_DIR "/l10n-keys.json");

QString pseudo(const QString& english)
{
    const qsizetype extra = (english.size() * 2 + 4) / 5;
    return QLatin1Char('[') + english + QString(extra, QChar(0x00B7)) + QLatin1Char(']');
}

// Writes the pseudo table for every collected key and loads it.
bool loadPseudoTable(const QTemporaryDir& dir)
{
    QFile keysFile(keysPath);
    if (!keysFile.open(QIODevice::ReadOnly)) return false;
    const QJsonObject keys =
        QJsonDocument::fromJson(keysFile.readAll()).object()["keys"].toObject();
    QJsonObject table;
    for (auto it = keys.begin(); it != keys.end(); ++it) {
        const QString english = it.value().toObject()["english"].toString();
        if (it.value().toObject()["kind"].toString() == QLatin1String("plural"))
            table[it.key()] = QJsonObject{{"one", pseudo(english)}, {"other", pseudo(english)}};
        else
            table[it.key()] = pseudo(english);
    }
    QFile file(dir.filePath("pseudo.json"));
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(QJsonDocument(table).toJson());
    file.close();
    return L10n::loadTable(file.fileName());
}

bool hasLetters(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); });
}

struct Findings {
    QStringList unlocalised;
    QStringList cutOff;
};

QString where(const QWidget* widget)
{
    QString name = QString::fromLatin1(widget->metaObject()->className());
    if (!widget->objectName().isEmpty()) name += "#" + widget->objectName();
    return name;
}

// A shown text with letters but no bracket did not come from the table; `allowed` are texts
// that are not the interface's (user data, language names, version numbers).
void checkText(Findings& found, const QString& text, const QString& place,
               const QStringList& allowed)
{
    static const QRegularExpression hexColor(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
    // Countdown choices ("3s") read the same in every language.
    static const QRegularExpression seconds(QStringLiteral("^\\d+s$"));
    // The product's name, colours and file paths are not texts to translate.
    if (!hasLetters(text) || text.contains(QLatin1Char('[')) || hexColor.match(text).hasMatch() ||
        seconds.match(text).hasMatch() || text == QLatin1String("Snapkin") ||
        text.startsWith(QLatin1Char('/')))
        return;
    for (const QString& a : allowed)
        if (text.contains(a)) return;
    found.unlocalised << place + ": " + text;
}

void inspect(QWidget* root, Findings& found, const QStringList& allowed)
{
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : widgets) {
        if (!w->isVisibleTo(root)) continue;
        if (!w->toolTip().isEmpty()) checkText(found, w->toolTip(), where(w) + " tooltip", allowed);
        if (auto* label = qobject_cast<QLabel*>(w)) {
            if (label->text().isEmpty() || Qt::mightBeRichText(label->text())) continue;
            checkText(found, label->text(), where(w), allowed);
            if (!label->wordWrap() && label->width() > 0 &&
                label->fontMetrics().horizontalAdvance(label->text()) >
                    label->contentsRect().width() + 1)
                found.cutOff << where(w) + ": " + label->text();
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            if (!button->text().isEmpty()) checkText(found, button->text(), where(w), allowed);
        } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
            checkText(found, box->title(), where(w), allowed);
        } else if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                checkText(found, tabs->tabText(i), where(w) + " tab", allowed);
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; i < combo->count(); ++i)
                checkText(found, combo->itemText(i), where(w) + " item", allowed);
        }
    }
    for (QAction* action : root->findChildren<QAction*>()) {
        if (action->isSeparator() || action->text().isEmpty()) continue;
        checkText(found, action->text(), "action " + action->objectName(), allowed);
    }
}

platform::BaseImage plainImage()
{
    QImage image(QSize(900, 600), QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(210, 220, 230));
    return platform::BaseImage(image);
}

QWidget* openEditor(EditorWindowController& editors, const QString& title)
{
    EditorOpenOptions options;
    options.appliesRememberedFrame = false;
    AnnotationStore& store = editors.open(plainImage(), title, options);
    QWidget* page = editors.pageOf(store);
    return page ? page->window() : nullptr;
}

OnboardingView::AccessCheck granted()
{
    return [] {
        QPromise<bool> promise;
        promise.start();
        promise.addResult(true);
        promise.finish();
        return promise.future();
    };
}

const QKeySequence pasteKeys(QStringLiteral("Ctrl+Shift+V"));

// The welcome window on each page, What's New, the newsletter form and About, each shown in
// turn; `visit` sees each one on screen under a name.
void visitInformationWindows(const std::function<void(QWidget&, const QString&)>& visit,
                             const SettingsHooks& shell = {})
{
    {
        OnboardingWindow welcome(granted(), pasteKeys, shell);
        welcome.show();
        for (int step = 0; step < OnboardingView::pageCount; ++step) {
            welcome.view()->setStep(step);
            QApplication::processEvents();
            visit(welcome, QStringLiteral("welcome-%1").arg(step));
        }
    }
    {
        WhatsNewWindow whatsNew(QKeySequence(QStringLiteral("Ctrl+Shift+S")));
        whatsNew.show();
        QApplication::processEvents();
        visit(whatsNew, QStringLiteral("whatsnew"));
    }
    {
        NewsletterWindow newsletter;
        newsletter.show();
        QApplication::processEvents();
        visit(newsletter, QStringLiteral("newsletter"));
    }
    {
        AboutWindow about;
        about.show();
        QApplication::processEvents();
        visit(about, QStringLiteral("about"));
    }
}

// Texts that are not the interface's own.
const QStringList notInterface = {
    QStringLiteral("Español"),   QStringLiteral("Français"),  QStringLiteral("Deutsch"),
    QStringLiteral("Italiano"),  QStringLiteral("Português"), QStringLiteral("English"),
    QStringLiteral("日本語"),    QStringLiteral("한국어"),    QStringLiteral("Snapkin 2"),
    QStringLiteral("Snapkin 1"), QStringLiteral("Pseudo"),    QStringLiteral("Ctrl+"),
    QStringLiteral("JPEG"),      QStringLiteral("PNG"),       QStringLiteral("WebP"),
    QStringLiteral("TIFF"),      QStringLiteral("HEIC"),      QStringLiteral("BMP"),
    QStringLiteral("GIF"),       QStringLiteral("PDF"),       QStringLiteral("Alt+"),
    QStringLiteral("Shift+"),    QStringLiteral("Meta+"),     QStringLiteral("Esc"),
    QStringLiteral("Snapkin 0"), QStringLiteral("KiB"),       QStringLiteral("MiB"),
    QStringLiteral("GiB"),       QStringLiteral("bytes"),     QStringLiteral("kB"),
    QStringLiteral("MB"),        QStringLiteral("GB"),
};

class PseudoLanguage : public ::testing::Test {
protected:
    void SetUp() override { platform::Defaults::standard().removeAllStored(); }
    void TearDown() override
    {
        apptest::closeAllEditors(editors);
        platform::Defaults::standard().removeAllStored();
        L10n::setLanguage(QStringLiteral("en"));
    }

    CaptureHistory history{HistoryStore::defaultDirectory(), platform::Defaults::standard()};
    EditorWindowController editors;
};

} // namespace

TEST_F(PseudoLanguage, EveryVisibleTextOfTheWindowsComesFromTheTableAndFits)
{
    QTemporaryDir dir;
    ASSERT_TRUE(loadPseudoTable(dir));
    Findings found;
    // The links to the start window show only where the shell can open it.
    const SettingsHooks links{.openStartWindow = [] {}};

    HotkeyService hotkeys;
    CaptureService capture(platform::Defaults::standard());
    PreferencesWindow settings(platform::Defaults::standard(), history, hotkeys, capture, links);
    settings.show();
    for (int i = 0; i < settings.tabs()->count(); ++i) {
        settings.tabs()->setCurrentIndex(i);
        QApplication::processEvents();
        inspect(&settings, found, notInterface);
    }
    settings.close();

    QWidget* editor = openEditor(editors, QStringLiteral("Pseudo"));
    ASSERT_TRUE(editor);
    editor->show();
    QApplication::processEvents();
    inspect(editor, found, notInterface);

    visitInformationWindows(
        [&](QWidget& window, const QString&) { inspect(&window, found, notInterface); }, links);

    apptest::Shell shell;
    QMenu tray;
    TrayMenu::fill(&tray, shell.actions, shell.pins);
    inspect(&tray, found, notInterface);

    {
        StartWindow start(editors, shell.history, shell.exportDialogs, shell.capture,
                          platform::Defaults::standard());
        start.show();
        QApplication::processEvents();
        inspect(&start, found, notInterface);
    }

    found.unlocalised.removeDuplicates();
    found.cutOff.removeDuplicates();
    EXPECT_TRUE(found.unlocalised.isEmpty()) << "not localised:\n"
                                             << found.unlocalised.join('\n').toStdString();
    // Cut-off labels are reported for a person to judge: some are elided on purpose.
    if (!found.cutOff.isEmpty())
        std::cout << "labels narrower than their pseudo text:\n"
                  << found.cutOff.join('\n').toStdString() << std::endl;
}

TEST_F(PseudoLanguage, PicturesOfTheWindowsInGermanAndJapanese)
{
    for (const QString& language : {QStringLiteral("de"), QStringLiteral("ja")}) {
        if (!L10n::availableLanguages().contains(language)) continue;
        L10n::setLanguage(language);
        {
            HotkeyService hotkeys;
            CaptureService capture(platform::Defaults::standard());
            PreferencesWindow settings(platform::Defaults::standard(), history, hotkeys, capture);
            settings.show();
            for (int i = 0; i < settings.tabs()->count(); ++i) {
                settings.tabs()->setCurrentIndex(i);
                QApplication::processEvents();
                settings.grab().save(apptest::picturePath(
                    QStringLiteral("l10n-%1-settings-%2.png").arg(language).arg(i)));
            }
        }
        visitInformationWindows([&](QWidget& window, const QString& name) {
            window.grab().save(
                apptest::picturePath(QStringLiteral("l10n-%1-%2.png").arg(language, name)));
        });
        QWidget* editor = openEditor(editors, L10n::text("Untitled"));
        ASSERT_TRUE(editor);
        editor->resize(1100, 760);
        editor->show();
        QApplication::processEvents();
        EXPECT_TRUE(editor->grab().save(
            apptest::picturePath(QStringLiteral("l10n-%1-editor.png").arg(language))));
        apptest::closeAllEditors(editors);
    }
}
