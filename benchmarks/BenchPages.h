#pragma once

// Product pages for the benchmarks: a small catalogue for the local shop, and
// the time the worker spends on each page besides waiting.

#include "TestPaths.h"
#include "plugin/PluginInterface.h"
#include "renamer/RepairProcess.h"
#include "utility/XmlUtility.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTextCodec>

namespace BenchPages {

inline QByteArray smallPage(const QString &id)
{
    return QStringLiteral(
               "<html><head><title>作品</title></head><body>"
               "<h1 id=\"work_name\">作品 %1</h1>"
               "<table id=\"work_maker\"><tr><td><a href=\"/m\">作者</a></td></tr></table>"
               "<table id=\"work_outline\"><tr><td><a href=\"/d\">2014年1月5日</a></td></tr>"
               "</table><dl class=\"work_spec_list\"><dt>ID</dt><dd>%1</dd></dl>"
               "</body></html>")
        .arg(id)
        .toUtf8();
}

inline QString idOf(int i)
{
    return QStringLiteral("RJ%1").arg(100000 + i, 6, 10, QLatin1Char('0'));
}

// pc/<ID>.html for the first count IDs, in dir.
inline void writeCatalogue(const QString &dir, int count)
{
    QDir(dir).mkpath(QStringLiteral("pc"));
    for (int i = 0; i < count; ++i) {
        QFile page(QDir(dir).filePath(QStringLiteral("pc/%1.html").arg(idOf(i))));
        page.open(QIODevice::WriteOnly);
        page.write(smallPage(idOf(i)));
    }
}

// Decode, repair (in the repair helper), check and load, parse: the work the
// worker does for each page besides waiting.
inline double pipelineMs(zorv::PluginInterface *plugin)
{
    const QByteArray page = smallPage(idOf(0));
    const QUrl url = plugin->urls(idOf(0)).first();
    QTextCodec *codec = QTextCodec::codecForName(plugin->information()->charset.toLatin1());
    zorv::RepairProcess repair(TestPaths::repairHelper());
    const int rounds = 200;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rounds; ++i) {
        QDomDocument document;
        zorv::XmlUtility::loadRepairedPage(
            repair.repair(codec->toUnicode(page).toUtf8(), QDeadlineTimer(60000)).xml, &document);
        zorv::WorkInfo work;
        QString error;
        plugin->parse(url, document, work, error);
    }
    return double(timer.nsecsElapsed()) / 1e6 / rounds;
}

} // namespace BenchPages
