#include "Sakuvo.h"

#include "ParserForPc.h"
#include "ParserForTouch.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

// A fictional host owned by no real third party; tests and the demo reach a
// local shop through a proxy with these URLs unchanged.
const QString storeHost = QStringLiteral("www.sakuvo.example");
const QString urlTemplate = QStringLiteral("http://%1/%2/work/=/product_id/%3.html");
const QString idPattern = QStringLiteral("(?<id>[RVB][JE]\\d{6})");
const QString categoryPattern = QStringLiteral(".*/(?<category>.*)/work/");

struct CategoryRow
{
    const char *prefix;
    QStringList categories;
};

const QList<CategoryRow> &categoryTable()
{
    static const QList<CategoryRow> table = {
        {"BJ",
         {QStringLiteral("comic"), QStringLiteral("books"), QStringLiteral("girls-pro"),
          QStringLiteral("comic-touch"), QStringLiteral("books-touch"),
          QStringLiteral("girls-pro-touch")}},
        {"RE",
         {QStringLiteral("eng"), QStringLiteral("ecchi-eng"), QStringLiteral("eng-touch"),
          QStringLiteral("ecchi-eng-touch")}},
        {"RJ",
         {QStringLiteral("home"), QStringLiteral("maniax"), QStringLiteral("girls"),
          QStringLiteral("home-touch"), QStringLiteral("maniax-touch"),
          QStringLiteral("girls-touch")}},
        {"VJ", {QStringLiteral("soft"), QStringLiteral("pro")}},
    };
    return table;
}

const QStringList pcCategories = {QStringLiteral("home"),  QStringLiteral("soft"),
                                  QStringLiteral("comic"), QStringLiteral("maniax"),
                                  QStringLiteral("pro"),   QStringLiteral("books"),
                                  QStringLiteral("girls"), QStringLiteral("girls-pro"),
                                  QStringLiteral("eng"),   QStringLiteral("ecchi-eng")};
const QStringList touchCategories = {
    QStringLiteral("home-touch"),   QStringLiteral("comic-touch"),
    QStringLiteral("maniax-touch"), QStringLiteral("books-touch"),
    QStringLiteral("girls-touch"),  QStringLiteral("girls-pro-touch"),
    QStringLiteral("eng-touch"),    QStringLiteral("ecchi-eng-touch")};

const ParserForPc pcParser;
const ParserForTouch touchParser;

} // namespace

Sakuvo::Sakuvo()
    : info(new zorv::PluginInfo)
{
    info->name = QStringLiteral("Sakuvo");
    info->version = QStringLiteral("1.0.0-2014-01");
    info->copyright = QStringLiteral("Copyright (C) 2014 Zorvane developers");
    info->support = storeHost;
    info->idPattern = idPattern;
    info->charset = QStringLiteral("utf-8");
}

Sakuvo::~Sakuvo()
{
    delete info;
}

const zorv::PluginInfo *Sakuvo::information() const
{
    return info;
}

bool Sakuvo::findId(const QString &fileName, QString &id) const
{
    // Built once, not for every file name: compiling is far dearer than matching.
    static const QRegularExpression pattern(idPattern, QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(fileName);
    if (!match.hasMatch())
        return false;
    id = match.captured(QStringLiteral("id")).toUpper();
    return true;
}

QList<QUrl> Sakuvo::urls(const QString &id) const
{
    QList<QUrl> result;
    const QString prefix = id.left(2);
    for (const CategoryRow &row : categoryTable()) {
        if (prefix != QLatin1String(row.prefix))
            continue;
        for (const QString &category : row.categories)
            result.append(productUrl(category, id));
        break;
    }
    return result;
}

bool Sakuvo::parse(const QUrl &url, const QDomDocument &document, zorv::WorkInfo &work,
                   QString &error) const
{
    const ParserInterface *parser = parserForUrl(url);
    if (!parser) {
        error = QCoreApplication::translate("Sakuvo", "not found parser.");
        return false;
    }
    zorv::WorkInfo local;
    if (!parser->parse(document, local, error))
        return false;
    work.id = local.id;
    work.title = local.title;
    work.date = local.date;
    work.age = local.age;
    work.makers = local.makers;
    return true;
}

QString Sakuvo::host()
{
    return storeHost;
}

QUrl Sakuvo::productUrl(const QString &category, const QString &id)
{
    return QUrl(urlTemplate.arg(storeHost, category, id), QUrl::TolerantMode);
}

const ParserInterface *Sakuvo::parserForUrl(const QUrl &url)
{
    static const QRegularExpression pattern(categoryPattern);
    const QRegularExpressionMatch match = pattern.match(url.toString());
    const QString category =
        match.hasMatch() ? match.captured(QStringLiteral("category")) : QString();
    if (pcCategories.contains(category))
        return &pcParser;
    if (touchCategories.contains(category))
        return &touchParser;
    return nullptr;
}
