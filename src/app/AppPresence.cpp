#include "app/AppPresence.h"

#include "platform/Defaults.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <QSystemTrayIcon>

#include <optional>

namespace snapkin {

namespace {

int trayOverride = -1;

std::optional<bool> storedBool(const char* key)
{
    const QVariant value = platform::Defaults::standard().object(QString::fromLatin1(key));
    if (value.typeId() != QMetaType::Bool) return std::nullopt;
    return value.toBool();
}

QPalette lightPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(0xef, 0xef, 0xef));
    p.setColor(QPalette::WindowText, QColor(0x1e, 0x1e, 0x1e));
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::AlternateBase, QColor(0xf5, 0xf5, 0xf5));
    p.setColor(QPalette::ToolTipBase, QColor(0xff, 0xff, 0xdc));
    p.setColor(QPalette::ToolTipText, Qt::black);
    p.setColor(QPalette::PlaceholderText, QColor(0x80, 0x80, 0x80));
    p.setColor(QPalette::Text, QColor(0x1e, 0x1e, 0x1e));
    p.setColor(QPalette::Button, QColor(0xef, 0xef, 0xef));
    p.setColor(QPalette::ButtonText, QColor(0x1e, 0x1e, 0x1e));
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Light, Qt::white);
    p.setColor(QPalette::Midlight, QColor(0xe3, 0xe3, 0xe3));
    p.setColor(QPalette::Mid, QColor(0xb8, 0xb8, 0xb8));
    p.setColor(QPalette::Dark, QColor(0x9f, 0x9f, 0x9f));
    p.setColor(QPalette::Shadow, QColor(0x76, 0x76, 0x76));
    p.setColor(QPalette::Highlight, QColor(0x30, 0x8c, 0xc6));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x00, 0x56, 0xb3));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(0xa0, 0xa0, 0xa0));
    return p;
}

QPalette darkPalette()
{
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x2d, 0x2d, 0x2d));
    p.setColor(QPalette::WindowText, QColor(0xe8, 0xe8, 0xe8));
    p.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    p.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x26));
    p.setColor(QPalette::ToolTipBase, QColor(0x3a, 0x3a, 0x3a));
    p.setColor(QPalette::ToolTipText, QColor(0xe8, 0xe8, 0xe8));
    p.setColor(QPalette::PlaceholderText, QColor(0x8a, 0x8a, 0x8a));
    p.setColor(QPalette::Text, QColor(0xe8, 0xe8, 0xe8));
    p.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
    p.setColor(QPalette::ButtonText, QColor(0xe8, 0xe8, 0xe8));
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Light, QColor(0x4a, 0x4a, 0x4a));
    p.setColor(QPalette::Midlight, QColor(0x40, 0x40, 0x40));
    p.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x30));
    p.setColor(QPalette::Dark, QColor(0x20, 0x20, 0x20));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, QColor(0x2f, 0x7d, 0xd1));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x6c, 0xb4, 0xff));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(0x7a, 0x7a, 0x7a));
    return p;
}

} // namespace

namespace AppPresence {

bool showInDock()
{
    return storedBool(showInDockKey).value_or(false);
}

bool showInMenuBar()
{
    return storedBool(showInMenuBarKey).value_or(true);
}

bool trayAvailable()
{
    if (trayOverride >= 0) return trayOverride != 0;
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void setTrayAvailableForTesting(int available)
{
    trayOverride = available;
}

bool showsTrayIcon()
{
    return trayAvailable() && showInMenuBar();
}

bool behavesAsTaskbarApp()
{
    return showInDock() || !showsTrayIcon();
}

void keepReachable()
{
    if (!showInDock() && !showInMenuBar())
        platform::Defaults::standard().setValue(QString::fromLatin1(showInMenuBarKey), true);
}

} // namespace AppPresence

namespace AppAppearance {

void apply(const QString& appearance)
{
    // What the desktop gave the application, kept from the first call so "system" can return.
    static const QString desktopStyle = QApplication::style()->name();
    static const QPalette desktopPalette = QApplication::palette();

    if (appearance == QLatin1String("light") || appearance == QLatin1String("dark")) {
        if (QApplication::style()->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive))
            QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(appearance == QLatin1String("light") ? lightPalette()
                                                                      : darkPalette());
        return;
    }
    if (QApplication::style()->name() != desktopStyle)
        QApplication::setStyle(QStyleFactory::create(desktopStyle));
    QApplication::setPalette(desktopPalette);
}

} // namespace AppAppearance

} // namespace snapkin
