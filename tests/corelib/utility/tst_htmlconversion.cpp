// The repair of shop pages into XML through the real repair helper, and the
// check of its output before the DOM. Real messy pages (scripts holding "<"
// and "&&", bare ampersands, comments) are read through the page catalogue.
#include "LogCapture.h"
#include "TestPaths.h"
#include "renamer/RepairProcess.h"
#include "utility/XmlUtility.h"

#include <QtTest>

#include <csignal>
#include <sys/wait.h>

using zorv::RepairProcess;
using zorv::XmlUtility;

class tst_HtmlConversion : public QObject
{
    Q_OBJECT

private slots:
    void conversion_data()
    {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<int>("load");
        QTest::addColumn<QString>("heading"); // the h1's text once loaded
        // With html and body around them and the heading in them.
        const int divs = XmlUtility::MaxNestingDepth - 3;
        // A line longer than the default wrap column keeps its blanks: a
        // wrapped title would lose them once line breaks are dropped.
        const QString title =
            QStringLiteral("折り返されてはならない長い一文, never wrapped. ").repeated(8).trimmed();
        QTest::newRow("long line not wrapped")
            << ("<!doctype html>\n<html><body><h1>" + title + "</h1></body>").toUtf8()
            << int(XmlUtility::Loaded) << title;
        // A NUL byte no longer ends the page for the repair.
        QTest::newRow("NUL byte before the heading")
            << QByteArray("<p>a") + '\0' + "b</p><h1>作品</h1>" << int(XmlUtility::Loaded)
            << "作品";
        // Read as the DOM reads them: an undeclared prefix is part of the
        // name, and a control character given as a reference is dropped.
        QTest::newRow("icon with 'xlink:href'")
            << QByteArray("<h1><svg><use xlink:href=\"#star\"/></svg>作品</h1>")
            << int(XmlUtility::Loaded) << "作品";
        QTest::newRow("control character reference")
            << QByteArray("<h1>作&#1;品&#0;</h1>") << int(XmlUtility::Loaded) << "作品";
        // "]]>" in a script (a nested index) ends its CDATA section early:
        // an empty document, not the part before the error.
        QTest::newRow("']]>' in a script")
            << QByteArray("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                          "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n<html>"
                          "<head><title>作品</title>\n<script>if (rows[order[0]]>1) { show(); }"
                          "</script></head><body><h1>作品</h1></body></html>\n")
            << int(XmlUtility::NotWellFormed) << QString();
        QTest::newRow("nested to the limit")
            << QByteArray("<div>").repeated(divs) + "<h1>x</h1>" << int(XmlUtility::Loaded) << "x";
        // The quoted "/>" looked self-closing to a scan of the text.
        QTest::newRow("one past the limit")
            << QByteArray("<div title=\"/>\">").repeated(divs + 1) + "<h1>x</h1>"
            << int(XmlUtility::TooDeep) << QString();
        // With html, head, title and body: the DOM would take hundreds of megabytes.
        QTest::newRow("more elements than the limit")
            << QByteArray("<br>").repeated(XmlUtility::MaxElements) << int(XmlUtility::TooLarge)
            << QString();
    }

    void conversion()
    {
        QFETCH(QByteArray, html);
        QFETCH(int, load);
        QFETCH(QString, heading);
        RepairProcess repair(TestPaths::repairHelper());
        const RepairProcess::Result repaired = repair.repair(html, QDeadlineTimer(60000));
        QCOMPARE(int(repaired.outcome), int(RepairProcess::Repaired));
        QDomDocument document;
        QCOMPARE(int(XmlUtility::loadRepairedPage(repaired.xml, &document)), load);
        QCOMPARE(document.elementsByTagName("h1").item(0).toElement().text(), heading);
    }

    // A helper that died while idle (the OOM killer, a user's kill) costs no
    // page: the next one is repaired by a new helper.
    void helperDiedWhileIdle()
    {
        LogCapture log;
        RepairProcess repair(TestPaths::repairHelper());
        QCOMPARE(int(repair.repair("<p>x</p>", QDeadlineTimer(60000)).outcome),
                 int(RepairProcess::Repaired));
        const QString started = log.matching("started as process ").value(0);
        const pid_t helper = started.section(' ', -1).chopped(1).toInt();
        QVERIFY2(helper > 0 && kill(helper, SIGKILL) == 0, qPrintable(started));
        siginfo_t ended;
        waitid(P_PID, id_t(helper), &ended, WEXITED | WNOWAIT); // dead, not yet reaped by Qt
        QCOMPARE(int(repair.repair("<p>x</p>", QDeadlineTimer(60000)).outcome),
                 int(RepairProcess::Repaired));
    }
};

ZORV_TEST_GUILESS_MAIN(tst_HtmlConversion)
#include "tst_htmlconversion.moc"
