#include "platform/L10n.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QMutex>
#include <QMutexLocker>

namespace snapkin::platform {

namespace {

struct Table {
    QMutex mutex;
    QString language = QStringLiteral("en");
    QHash<QString, QString> texts;
    bool chosen = false;
};

Table& table()
{
    static Table t;
    return t;
}

bool readTable(const QString& path, QHash<QString, QString>& out)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    if (!doc.isObject()) return false;
    out.clear();
    const QJsonObject object = doc.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.value().isString()) out.insert(it.key(), it.value().toString());
    }
    return true;
}

void chooseSystemLanguage(Table& t)
{
    t.chosen = true;
    const QStringList available = L10n::availableLanguages();
    for (const QString& ui : QLocale::system().uiLanguages()) {
        const QString lang = ui.section('-', 0, 0).toLower();
        if (lang == "en") return;
        if (available.contains(lang)) {
            QHash<QString, QString> texts;
            if (readTable(":/l10n/" + lang + ".json", texts)) {
                t.language = lang;
                t.texts = std::move(texts);
            }
            return;
        }
    }
}

} // namespace

QString L10n::text(const char* key, const char* english)
{
    const QString k = QString::fromUtf8(key);
    Table& t = table();
    QMutexLocker lock(&t.mutex);
    if (!t.chosen) chooseSystemLanguage(t);
    auto it = t.texts.constFind(k);
    if (it != t.texts.constEnd()) return *it;
    return english ? QString::fromUtf8(english) : k;
}

QString L10n::text(const QString& key)
{
    return text(key.toUtf8().constData());
}

QString L10n::fill(const QString& pattern, const QStringList& args)
{
    QString out;
    out.reserve(pattern.size() + 16);
    qsizetype next = 0;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c != '%' || i + 1 >= pattern.size()) {
            out.append(c);
            continue;
        }
        const QStringView rest = QStringView(pattern).mid(i + 1);
        qsizetype length = 0;
        if (rest.startsWith(u"%")) {
            out.append('%');
            i += 1;
            continue;
        }
        if (rest.startsWith(u"lld")) length = 3;
        else if (rest.startsWith(u"ld") || rest.startsWith(u"@")) length = rest.startsWith(u"@") ? 1 : 2;
        else if (rest.startsWith(u"d")) length = 1;
        if (length == 0) {
            out.append(c);
            continue;
        }
        out.append(next < args.size() ? args.at(next) : QString());
        ++next;
        i += length;
    }
    return out;
}

void L10n::setLanguage(const QString& language)
{
    Table& t = table();
    QMutexLocker lock(&t.mutex);
    t.chosen = true;
    t.texts.clear();
    t.language = QStringLiteral("en");
    if (language.isEmpty() || language == "en") return;
    QHash<QString, QString> texts;
    if (readTable(":/l10n/" + language + ".json", texts)) {
        t.language = language;
        t.texts = std::move(texts);
    }
}

QString L10n::language()
{
    Table& t = table();
    QMutexLocker lock(&t.mutex);
    return t.language;
}

bool L10n::loadTable(const QString& path)
{
    QHash<QString, QString> texts;
    if (!readTable(path, texts)) return false;
    Table& t = table();
    QMutexLocker lock(&t.mutex);
    t.chosen = true;
    t.texts = std::move(texts);
    t.language = QFileInfo(path).baseName();
    return true;
}

QStringList L10n::availableLanguages()
{
    QStringList languages{QStringLiteral("en")};
    for (const QString& name : QDir(":/l10n").entryList({"*.json"}, QDir::Files, QDir::Name)) {
        languages.append(name.chopped(5));
    }
    return languages;
}

} // namespace snapkin::platform
