#include "settings/AboutWindow.h"

#include "platform/BuildInfo.h"
#include "platform/L10n.h"
#include "settings/InfoGlyphs.h"
#include "settings/LinkLabel.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace snapkin {

using platform::L10n;

namespace {

QFrame* divider()
{
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QLabel* link(const QString& url, const QString& label, double scale = 1.0)
{
    auto* text = new LinkLabel(url, label);
    if (scale != 1.0) {
        QFont font = text->font();
        font.setPointSizeF(font.pointSizeF() * scale);
        text->setFont(font);
    }
    text->setOpenExternalLinks(true);
    return text;
}

} // namespace

QString AboutWindow::versionLine(const std::optional<QString>& shortVersion,
                                 const std::optional<QString>& build)
{
    const QString version =
        shortVersion && !shortVersion->isEmpty() ? *shortVersion : QStringLiteral("1.0");
    const QString number = build && !build->isEmpty() ? *build : QStringLiteral("1");
    return version + QStringLiteral(" (") + number + u')';
}

QString AboutWindow::versionLine()
{
    return versionLine(platform::BuildInfo::version(), platform::BuildInfo::buildNumber());
}

QList<AboutWindow::Credit> AboutWindow::credits()
{
    return {
        {QStringLiteral("Qt"), QStringLiteral("LGPL-3.0"), QStringLiteral("libqt6core6")},
        {QStringLiteral("Tesseract"), QStringLiteral("Apache-2.0"),
         QStringLiteral("libtesseract5")},
        {QStringLiteral("zxing-cpp"), QStringLiteral("Apache-2.0"), QStringLiteral("libzxing2")},
        {QStringLiteral("Leptonica"), QStringLiteral("BSD-2-Clause"), QStringLiteral("liblept5")},
        // The image format with its library, as the format is what the user knows.
        {QStringLiteral("WebP · libwebp"), QStringLiteral("BSD 3-Clause"),
         QStringLiteral("libwebp7")},
        {QStringLiteral("libpng"), QStringLiteral("libpng licence"), QStringLiteral("libpng16-16")},
        {QStringLiteral("libjpeg-turbo"), QStringLiteral("IJG, BSD-3-Clause, zlib"),
         QStringLiteral("libjpeg62-turbo")},
        {QStringLiteral("libtiff"), QStringLiteral("libtiff licence"), QStringLiteral("libtiff6")},
        {QStringLiteral("giflib"), QStringLiteral("MIT"), QStringLiteral("libgif7")},
    };
}

QUrl AboutWindow::copyrightUrl(const QString& package)
{
    return QUrl::fromLocalFile(QStringLiteral("/usr/share/doc/") + package +
                               QStringLiteral("/copyright"));
}

QStringList AboutWindow::featureTexts()
{
    return {
        L10n::text("Capture a region, window or the full screen."),
        L10n::text(
            "Annotate with 14 tools — arrows, text, shapes, highlighter, pixelate and more."),
        L10n::text("Open the editor automatically after a screenshot."),
        L10n::text("Combine captures into side-by-side or stacked collages."),
    };
}

AboutWindow::AboutWindow() : InfoWindow(L10n::text("About Snapkin"))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(28, 28, 28, 28);
    column->setSpacing(16);
    column->setSizeConstraint(QLayout::SetFixedSize);

    column->addWidget(new AppMarkView(96, 20), 0, Qt::AlignHCenter);
    auto* names = new QVBoxLayout;
    names->setSpacing(3);
    auto* name = makeLabel(QStringLiteral("Snapkin"), 1.6, QFont::Bold);
    auto* version = makeSecondary(makeLabel(versionLine()));
    version->setObjectName(QStringLiteral("version"));
    auto* tagline = makeSecondary(makeLabel(L10n::text("Capture · annotate · share")));
    for (QLabel* label : {name, version, tagline}) {
        label->setAlignment(Qt::AlignHCenter);
        names->addWidget(label);
    }
    // Holds the window at its width; the layout sizes the window to its content.
    names->addSpacerItem(new QSpacerItem(440 - 2 * 28, 0, QSizePolicy::Fixed, QSizePolicy::Fixed));
    column->addLayout(names);

    column->addWidget(centred(makeSecondary(makeLabel(
        L10n::text("Capture your screen, annotate it (arrows, text, shapes, highlight, pixelate "
                   "and more) and share it instantly — a native Linux desktop tool.")))));
    column->addWidget(divider());

    auto* features = new QVBoxLayout;
    features->setSpacing(8);
    features->addWidget(makeLabel(L10n::text("Key features"), 1.0, QFont::DemiBold));
    const QStringList symbols{QStringLiteral("camera.viewfinder"), QStringLiteral("pencil"),
                              QStringLiteral("bolt"), QStringLiteral("rectangle.split.2x1")};
    const QStringList texts = featureTexts();
    for (qsizetype i = 0; i < texts.size(); ++i) {
        auto* line = new QHBoxLayout;
        line->setSpacing(9);
        line->addWidget(glyphColumn(symbols[i], 16, paletteColor(QPalette::Highlight), 18, 1), 0,
                        Qt::AlignTop);
        line->addWidget(makeSecondary(makeLabel(texts[i])), 1);
        features->addLayout(line);
    }
    column->addLayout(features);

    // Links that the build names; none at all leaves the section out.
    const QString site = platform::BuildInfo::siteRoot();
    const QString contact = platform::BuildInfo::contactEmail();
    if (!site.isEmpty() || !contact.isEmpty()) {
        column->addWidget(divider());
        auto* links = new QVBoxLayout;
        links->setSpacing(6);
        if (!site.isEmpty()) {
            auto* siteLink = link(site, QUrl(site).host());
            siteLink->setObjectName(QStringLiteral("site"));
            links->addWidget(siteLink, 0, Qt::AlignHCenter);
        }
        auto* row = new QHBoxLayout;
        row->setSpacing(14);
        row->addStretch();
        if (!contact.isEmpty()) row->addWidget(link(QStringLiteral("mailto:") + contact, contact));
        if (!site.isEmpty())
            row->addWidget(link(site + QStringLiteral("privacy/"), L10n::text("Privacy Policy")));
        row->addStretch();
        links->addLayout(row);
        column->addLayout(links);
    }
    column->addWidget(divider());

    auto* credits = new QVBoxLayout;
    credits->setSpacing(4);
    credits->addWidget(centred(makeSecondary(makeLabel(
        L10n::text("Built on Qt and these libraries, under their own licences:"), 0.85))));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(2);
    const auto all = AboutWindow::credits();
    for (qsizetype i = 0; i < all.size(); ++i) {
        const Credit& credit = all[i];
        auto* entry = link(copyrightUrl(credit.package).toString(),
                           credit.name + QStringLiteral(" · ") + credit.licence, 0.85);
        entry->setObjectName(QStringLiteral("credit"));
        entry->setToolTip(copyrightUrl(credit.package).toLocalFile());
        grid->addWidget(entry, int(i / 2), int(i % 2), Qt::AlignLeft);
    }
    auto* centredGrid = new QHBoxLayout;
    centredGrid->addStretch();
    centredGrid->addLayout(grid);
    centredGrid->addStretch();
    credits->addLayout(centredGrid);
    column->addLayout(credits);

    m_close = windowButton(L10n::text("Close"), {88, 0});
    m_close->setDefault(true);
    connect(m_close, &QPushButton::clicked, this, &AboutWindow::finished);
    column->addWidget(m_close, 0, Qt::AlignHCenter);
}

void AboutController::show()
{
    showSingleWindow(m_window, [this] {
        auto* window = new AboutWindow;
        QObject::connect(window, &AboutWindow::finished, window,
                         [this] { dismissWindow(m_window); });
        return window;
    });
}

} // namespace snapkin
