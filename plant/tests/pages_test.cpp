// velmaro-plant's pages over a real PostgreSQL server holding records stored by the real store
// code: what each address answers, what a hostile value becomes, paging, the downloads.
#include "plantprocess.h"
#include "plantrecords.h"

#include "runs/camstore.h"
#include "runs/runstore.h"
#include "testsupport/pgserver.h"
#include "testsupport/records.h"
#include "testsupport/reportprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QUrl>
#include <QXmlStreamReader>

#include <atomic>
#include <future>
#include <regex>
#include <thread>

namespace plant::test {
namespace {

using testsupport::PgServer;

class Pages : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_server = new PgServer;
        s_server->start();
        auto records = runs::RunDatabase::openPlant(s_server->connection());
        ASSERT_TRUE(records) << records.error();
        auto stored = storePlant(**records, QDateTime::currentDateTime());
        ASSERT_TRUE(stored) << stored.error();
        s_plant = new PlantProcess(s_server->connection());
        ASSERT_TRUE(s_plant->ready());
    }
    static void TearDownTestSuite()
    {
        delete s_plant;
        delete s_server;
    }
    static std::string body(const std::string &path) { return s_plant->get(path); }

    static PgServer *s_server;
    static PlantProcess *s_plant;
};
PgServer *Pages::s_server = nullptr;
PlantProcess *Pages::s_plant = nullptr;

TEST_F(Pages, EachAddressAnswersWithItsStatusAndALineNamingWhatIsWrong)
{
    const std::string longId(10000, 'a');
    const struct
    {
        std::string path;
        int status;
        std::string says;
    } cases[] = {
        {"/", 200, "The plant now"},
        {"/runs", 200, "126 run(s)"},
        {"/runs?station=bench-1&verdict=fail", 200, "2 run(s)"},
        {"/quality?station=bench-2", 200, "Failures by axis and test"},
        {"/runs?page=-1", 400, "page: &#39;-1&#39; is not a page number"},
        {"/runs?page=two", 400, "page: &#39;two&#39;"},
        {"/runs?since=2026-13-40", 400, "since: &#39;2026-13-40&#39; is not a date YYYY-MM-DD"},
        {"/quality?verdict=maybe", 400, "verdict: &#39;maybe&#39;"},
        {"/runs/" + longId, 400, "longer than any id"},
        {"/runs/" + std::string(2000, 'a'), 400, "(2000 characters)"},
        {"/runs/not-an-id", 400, "id: &#39;not-an-id&#39; is not a run id"},
        {"/runs/0123abcd", 404, "No run has the id 0123abcd"},
        {"/runs/aaaa", 400,
         "aaaa0001-0000-4000-8000-000000000001, aaaa0002-0000-4000-8000-000000000002"},
        {"/runs/aaaa0002", 200, "aaaa0002-0000-4000-8000-000000000002"},
        {"/runs/aaaa0002/nothing", 404, "There is no page"},
        {"/api/runs/aaaa", 400, "more than one run"},
        // A beginning names a run when it has 4 digits; more than 20 runs it fits are not listed.
        {"/runs/aaa", 400, "id: &#39;aaa&#39; is too short"},
        {"/api/runs/0", 400, "too short"},
        {"/runs/f00/complete.log", 400, "too short"},
        {"/cams/f0", 400, "too short"},
        {"/runs/f000", 400, "f0000019-0000-4000-8000-000000000000 and more. Give more"},
        {"/lenses/" + std::string(41, 'L'), 400, "has 41 characters; at most 40"},
        {"/lenses/L-1001", 200, "Every run, oldest first"},
        {"/nowhere", 404, "There is no page /nowhere here."},
        // Nothing that is not text reaches a page or a query; dates past year 9999 neither.
        {"/lenses/L%FF", 400, "address: &#39;L%FF&#39; is not UTF-8 text"},
        {"/lenses/L%FE", 400, "address: &#39;L%FE&#39; is not UTF-8 text"},
        {"/runs/aaaa0002%0A", 400, "is not UTF-8 text without control characters"},
        {"/runs?serial=%00", 400, "serial: &#39;%00&#39; is not UTF-8"},
        {"/quality.csv?operator=%C3", 400, "operator: &#39;%C3&#39; is not UTF-8"},
        // A '%' without two hexadecimal digits after it stays as it was typed.
        {"/runs?operator=%1%zz", 200, "value=\"%1%zz\""},
        {"/runs?until=9999-12-31", 400, "until: &#39;9999-12-31&#39; is later than any run can be"},
        // A page past the last is the last; past any number too.
        {"/runs?station=bench-9&page=2147483647", 200, "Page 2 of 2"},
        {"/runs?page=99999999999999999999999999", 200, "Page 2 of 2"},
        {"/runs?page=0", 400, "page: &#39;0&#39;"},
        {"/runs?axis=zoom3", 400, "axis: &#39;zoom3&#39; is not zoom1, zoom2, iris or focus"},
        {"/runs.csv?tests=all", 400, "tests: &#39;all&#39; is not step, stroke or both"},
        {"/api/runs?ending=done", 400, "ending: &#39;done&#39; is not how a run ends"},
        {"/quality?week=2026-W54", 400, "week: &#39;2026-W54&#39; is not an ISO week"},
        {"/lenses?latest=ok", 400, "latest: &#39;ok&#39; is not pass or fail"},
        {"/runs?axis=iris&tests=stroke", 200, "1 run(s)"},
        {"/runs?serial=none", 200, "1 run(s)"},
        // L-1003's only run failed, the markup serial's too; L-1001 failed, then passed.
        {"/lenses?decision=1", 200, "2 lens(es)"},
        {"/", 200, "href=\"/lenses?decision=1\""},
        // A lens's runs side by side: Zoom 1's one error of 23 in its first.
        {"/lenses/L-1001", 200, "<td class=\"num\">1</td><td class=\"num\">23</td>"},
        {"/lenses?first=fail&latest=pass", 200, "1 lens(es)"},
    };
    for (const auto &each : cases) {
        auto res = s_plant->http().Get(each.path);
        ASSERT_TRUE(res) << each.path.substr(0, 60);
        EXPECT_EQ(res->status, each.status) << each.path.substr(0, 60);
        EXPECT_NE(res->body.find(each.says), std::string::npos) << each.path.substr(0, 60) << "\n"
                                                                << res->body.substr(0, 3000);
        EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=utf-8");
    }

    // Only GET and HEAD: nothing can change a record.
    httplib::Result refused[] = {s_plant->http().Post("/runs", "x", "text/plain"),
                                 s_plant->http().Delete("/runs/aaaa0002"),
                                 s_plant->http().Put("/", "x", "text/plain")};
    for (const auto &res : refused) {
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 405);
        EXPECT_EQ(res->get_header_value("Allow"), "GET, HEAD");
    }
    auto head = s_plant->http().Head("/runs");
    ASSERT_TRUE(head);
    EXPECT_EQ(head->status, 200);
    EXPECT_TRUE(head->body.empty());
}

// Every count of a quality page is a link to a list exactly as long, in the form that keeps it.
TEST_F(Pages, EveryCountOfTheQualityPageLeadsToAListAsLongAsItSays)
{
    static const std::regex link(R"re(<a href="(/(runs|lenses)\?[^"]*)">(\d+)</a>)re");
    static const std::regex total(R"((\d+) (run\(s\)|lens\(es\)))");
    for (const std::string quality : {"/quality", "/quality?station=bench-9&tests=stroke"}) {
        const std::string page = body(quality);
        int followed = 0;
        for (auto each = std::sregex_iterator(page.begin(), page.end(), link);
             each != std::sregex_iterator(); ++each, ++followed) {
            const std::string path =
                QString::fromStdString((*each)[1]).replace("&amp;", "&").toStdString();
            const std::string list = body(path);
            std::smatch said;
            ASSERT_TRUE(std::regex_search(list, said, total)) << path;
            EXPECT_EQ(said[1], (*each)[3]) << quality << " -> " << path;
            EXPECT_NE(list.find("/" + (*each)[2].str() + ".csv?"), std::string::npos) << path;
        }
        EXPECT_GE(followed, 12) << page;
    }
}

TEST_F(Pages, MarkupQuotesAndNonAsciiShowAsTheTextTheyAre)
{
    for (const std::string path : {"/", "/runs?station=bench-2", "/runs/b0000004",
                                   "/lenses/%3Cscript%3Ealert(%22x%22)%3C%2Fscript%3E"}) {
        const std::string page = body(path);
        EXPECT_EQ(page.find("<script"), std::string::npos) << path;
        EXPECT_EQ(page.find("<i>"), std::string::npos) << path;
    }
    const std::string lens = body("/lenses/%3Cscript%3Ealert(%22x%22)%3C%2Fscript%3E");
    EXPECT_NE(lens.find("Lens &lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;"),
              std::string::npos);
    EXPECT_NE(lens.find("Zoë Łukasz"), std::string::npos);
    const std::string runs = body("/runs?station=bench-2");
    EXPECT_NE(runs.find("O&#39;Brien &lt;i&gt;&amp;amp;&lt;/i&gt;"), std::string::npos);
    // A serial's link holds percent signs; the cells after it are still the run's own.
    EXPECT_NE(runs.find("Zoë Łukasz</td><td class=\"num\">4 min</td><td class=\"num\">5</td>"
                        "<td>stopped by ABORT</td><td class=\"num\">1</td>"),
              std::string::npos)
        << runs;
    // The filter given comes back in the form, escaped, and in the links that keep it.
    const std::string filtered = body("/runs?operator=%22%3E%3Cb%3E");
    EXPECT_NE(filtered.find("value=\"&quot;&gt;&lt;b&gt;\""), std::string::npos);
    EXPECT_EQ(filtered.find("<b>"), std::string::npos);
}

TEST_F(Pages, RunsComeAHundredAPageNewestFirstAndTheLinksKeepTheFilter)
{
    const std::string first = body("/runs?station=bench-9");
    EXPECT_NE(first.find("120 run(s), newest first; 1 to 100 shown"), std::string::npos);
    EXPECT_NE(first.find("Page 1 of 2"), std::string::npos);
    EXPECT_NE(first.find("href=\"/runs?station=bench-9&amp;page=2\""), std::string::npos);
    EXPECT_LT(first.find(fillerId(0).left(8).toStdString()),
              first.find(fillerId(99).left(8).toStdString()));
    EXPECT_EQ(first.find(fillerId(100).left(8).toStdString()), std::string::npos);
    const std::string second = body("/runs?station=bench-9&page=2");
    EXPECT_NE(second.find("101 to 120 shown"), std::string::npos);
    EXPECT_NE(second.find(fillerId(119).left(8).toStdString()), std::string::npos);
    EXPECT_NE(body("/runs?station=bench-9&page=9").find("Page 2 of 2"), std::string::npos);

    const auto api =
        QJsonDocument::fromJson(QByteArray::fromStdString(body("/api/runs?station=bench-9&page=2")))
            .object();
    EXPECT_EQ(api["total"].toInt(), 120);
    EXPECT_EQ(api["runs"].toArray().size(), 20);
    EXPECT_EQ(api["runs"].toArray().first()["id"].toString(), fillerId(100));
}

TEST_F(Pages, FrontPageShowsEachStationsRunUnderWayOrItsLastRun)
{
    // bench-4 stopped sending five minutes ago, in the middle of its run.
    s_server->psql("UPDATE run_progress SET updated = to_char((now() - interval '5 minutes') AT "
                   "TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"') WHERE station = "
                   "'bench-4'");
    const std::string page = body("/");
    const auto row = [&page](const std::string &station) {
        const auto begin = page.find(">" + station + "</a></td>");
        return begin == std::string::npos ? std::string()
                                          : page.substr(begin, page.find("</tr>", begin) - begin);
    };
    EXPECT_NE(row("bench-3").find("running"), std::string::npos) << row("bench-3");
    EXPECT_NE(row("bench-3").find("<td class=\"num\">12</td><td>1 error(s) so far (Focus: 1)"),
              std::string::npos)
        << row("bench-3");
    EXPECT_NE(row("bench-4").find("silent since"), std::string::npos) << row("bench-4");
    EXPECT_NE(row("bench-1").find("last run"), std::string::npos);
    EXPECT_NE(row("bench-1").find("L-1003"), std::string::npos);
    EXPECT_NE(row("bench-1").find("fail"), std::string::npos);
}

TEST_F(Pages, DownloadsAreTheStoredBytesUnderTheStationsNames)
{
    auto records = runs::RunDatabase::openPlant(s_server->connection());
    ASSERT_TRUE(records) << records.error();
    auto run = runs::RunStore(**records).find("b0000004");
    ASSERT_TRUE(run);
    for (const auto &[file, bytes, name] :
         {std::tuple{"complete.log", run->complete, "Log Complete.txt"},
          std::tuple{"errors.log", run->errors, "Log Errors.txt"}}) {
        auto res = s_plant->http().Get(std::string("/runs/b0000004/") + file);
        ASSERT_TRUE(res);
        EXPECT_EQ(QByteArray::fromStdString(res->body), bytes);
        EXPECT_NE(res->get_header_value("Content-Disposition").find(name), std::string::npos);
    }

    // The report is the one velmaro-report writes for the run.
    auto pdf = s_plant->http().Get("/runs/b0000004/report.pdf");
    ASSERT_TRUE(pdf);
    EXPECT_EQ(pdf->get_header_value("Content-Type"), "application/pdf");
    QTemporaryDir dir;
    QFile web(dir.filePath("web.pdf"));
    ASSERT_TRUE(web.open(QIODevice::WriteOnly));
    web.write(pdf->body.data(), static_cast<qint64>(pdf->body.size()));
    web.close();
    const auto report =
        testsupport::runReport({"--run", "b0000004", "-o", dir.filePath("cli.pdf")}, dir.path(),
                               {{"VELMARO_RUNS_DB", s_server->connection()}});
    ASSERT_EQ(report.status, 0) << report.said();
    const auto text = [](const QString &file) {
        QProcess pdftotext;
        pdftotext.start("pdftotext", {file, "-"});
        pdftotext.waitForFinished(60000);
        return pdftotext.readAllStandardOutput();
    };
    EXPECT_EQ(text(dir.filePath("web.pdf")), text(dir.filePath("cli.pdf")));
    EXPECT_TRUE(text(dir.filePath("web.pdf")).contains("b0000004"));

    // The run's page carries its charts and its error line.
    const std::string page = body("/runs/b0000004");
    std::size_t charts = 0;
    for (auto at = page.find("<figure class=\"chart\""); at != std::string::npos;
         at = page.find("<figure class=\"chart\"", at + 1))
        ++charts;
    EXPECT_EQ(charts, 5U);
    EXPECT_NE(page.find("POSITION ERROR (-41)"), std::string::npos);
}

TEST_F(Pages, ADaysLogStreamsToEightClientsAtOnce_TheRunPageShowsItsFirstErrorLinesAndStaysStill)
{
    auto day = strokeRun("dddd0001-0000-4000-8000-000000000001", "bench-5", "L-2001", "anna",
                         QDateTime::currentDateTime().addDays(-9), 12500); // 100,000 lines
    for (int i = 0; i < 250; ++i)
        day.errors += "error line " + QByteArray::number(i) + "\r\n";
    auto records = runs::RunDatabase::openPlant(s_server->connection());
    ASSERT_TRUE(records && runs::RunStore(**records).put(day));

    const QString proc = QStringLiteral("/proc/%1/").arg(s_plant->process().processId());
    const auto kilobytes = [&proc](const QByteArray &field) {
        QFile status(proc + "status");
        status.open(QIODevice::ReadOnly);
        const QByteArray text = status.readAll();
        const auto at = text.indexOf(field + ":");
        return text.mid(at + field.size() + 1, text.indexOf("kB", at) - at - field.size() - 1)
            .trimmed()
            .toLongLong();
    };
    QFile peak(proc + "clear_refs"); // "5" starts the peak afresh
    ASSERT_TRUE(peak.open(QIODevice::WriteOnly) && peak.write("5") == 1);
    peak.close();
    const qint64 before = kilobytes("VmRSS");
    std::vector<std::future<std::string>> downloads;
    for (int i = 0; i < 8; ++i)
        downloads.push_back(std::async(std::launch::async, [] {
            httplib::Client client("127.0.0.1", s_plant->port());
            client.set_read_timeout(60);
            auto res = client.Get("/runs/dddd0001/complete.log");
            return res ? res->body : std::string();
        }));
    for (auto &download : downloads)
        EXPECT_TRUE(QByteArray::fromStdString(download.get()) == day.complete);
    // The sanitizers' allocator holds freed memory back, so only the plain build measures it.
    if (qEnvironmentVariableIsEmpty("VELMARO_SANITIZED")) {
        EXPECT_LT(kilobytes("VmHWM") - before, 64 * 1024);
    }
    auto head = s_plant->http().Head("/runs/dddd0001/complete.log");
    ASSERT_TRUE(head);
    EXPECT_EQ(head->get_header_value("Content-Length"), std::to_string(day.complete.size()));

    const std::string page = body("/runs/dddd0001");
    EXPECT_NE(page.find("The first 200 of 250 lines"), std::string::npos);
    EXPECT_NE(page.find("error line 199</pre>"), std::string::npos) << page.substr(0, 4000);
    // Only the plant now reloads itself; a run that has ended, a lens, the runs stay still.
    const std::string reload = "http-equiv=\"refresh\"";
    EXPECT_NE(body("/").find(reload), std::string::npos);
    for (const std::string path : {"/runs/dddd0001", "/runs", "/lenses/L-2001", "/quality"})
        EXPECT_EQ(body(path).find(reload), std::string::npos) << path;
}

TEST_F(Pages, ALensShowsItsKeptCamTablesNewestFirstAndADamagedOneIsNeverHandedOut)
{
    auto records = runs::RunDatabase::openPlant(s_server->connection());
    ASSERT_TRUE(records) << records.error();
    const auto older = testsupport::madeCam(testsupport::camBytes(0), 60, "bench-1", "L-1003");
    auto newer = testsupport::madeCam(testsupport::camBytes(7), 120, "bench-1", "L-1003");
    newer.operatorName = QStringLiteral("%1 <b>");
    ASSERT_TRUE(runs::CamStore(**records).put(older));
    ASSERT_TRUE(runs::CamStore(**records).put(newer));

    const std::string page = body("/lenses/L-1003");
    const auto at = [&page](const runs::CamRecord &record) {
        return page.find("/cams/" + record.id.toStdString());
    };
    ASSERT_NE(at(newer), std::string::npos);
    ASSERT_NE(at(older), std::string::npos);
    EXPECT_LT(at(newer), at(older));
    EXPECT_NE(page.find("<td>%1 &lt;b&gt;</td>"), std::string::npos) << page;

    auto file = s_plant->http().Get("/cams/" + older.id.left(8).toStdString());
    ASSERT_TRUE(file);
    EXPECT_EQ(file->status, 200);
    EXPECT_EQ(QByteArray::fromStdString(file->body), older.bytes);
    EXPECT_NE(file->get_header_value("Content-Disposition").find("Camma.txt"), std::string::npos);

    s_server->psql(QStringLiteral("UPDATE cam_records SET bytes = decode('3b3b0d0a', 'hex') "
                                  "WHERE id = '%1'")
                       .arg(older.id));
    auto damaged = s_plant->http().Get("/cams/" + older.id.toStdString());
    ASSERT_TRUE(damaged);
    EXPECT_EQ(damaged->status, 500);
    EXPECT_NE(damaged->body.find(older.id.toStdString()), std::string::npos);
    EXPECT_EQ(damaged->body.find(";;"), std::string::npos);
}

TEST_F(Pages, CsvCellsAreNeverFormulasAndJsonKeepsTheValues)
{
    const std::string csv = body("/runs.csv?station=bench-9");
    for (const char *cell : {R"x(,"'=HYPERLINK(""http://x/?""&B2)",)x", ",'-5,", ",%2,", ",%1,"})
        EXPECT_NE(csv.find(cell), std::string::npos) << cell;
    EXPECT_EQ(csv.find(",=HYPERLINK"), std::string::npos);
    const auto api = QJsonDocument::fromJson(
        QByteArray::fromStdString(body("/api/runs?station=bench-9&serial=-5")));
    EXPECT_EQ(api["runs"][0]["serial"].toString(), "-5");
}

// Drawings are counted by the server's log line for each one it draws.
TEST_F(Pages, EachDrawingIsMadeOnceAndKeptHeadDrawsNothingAndAFullQueueRefusesOnlyDrawings)
{
    QByteArray log;
    const auto drawn = [&log](const QString &what, int atLeast) {
        QElapsedTimer waited;
        waited.start();
        while (log.count(("drew " + what).toUtf8()) < atLeast && waited.elapsed() < 30000) {
            s_plant->process().waitForReadyRead(500);
            log += s_plant->process().readAllStandardError();
        }
        return log.count(("drew " + what).toUtf8());
    };
    const QString id = fillerId(3);
    const std::string pdf = "/runs/" + id.toStdString() + "/report.pdf";
    for (int i = 0; i < 20; ++i) {
        auto head = s_plant->http().Head(pdf);
        ASSERT_TRUE(head);
        EXPECT_EQ(head->status, 200);
        EXPECT_FALSE(head->has_header("Content-Length"));
    }
    auto first = s_plant->http().Get(pdf);
    ASSERT_TRUE(first && first->status == 200);
    EXPECT_EQ(s_plant->http().Get(pdf)->body, first->body);
    EXPECT_EQ(s_plant->http().Head(pdf)->get_header_value("Content-Length"),
              std::to_string(first->body.size()));
    // Another run drawn after them proves the log holds every line they could have written.
    ASSERT_EQ(s_plant->http().Get("/runs/" + fillerId(4).toStdString())->status, 200);
    EXPECT_EQ(drawn("charts of run " + fillerId(4), 1), 1);
    EXPECT_EQ(drawn("report.pdf of run " + id, 1), 1);

    s_server->psql(QStringLiteral("UPDATE runs SET digest = 'grown' WHERE id = '%1'").arg(id));
    ASSERT_EQ(s_plant->http().Get(pdf)->status, 200);
    EXPECT_EQ(drawn("report.pdf of run " + id, 2), 2);

    // Many runs' reports at once: past the drawings waiting, 503 at once; the other pages answer.
    bool refused = false;
    for (int from = 10; from + 12 <= kFillerRuns && !refused; from += 12) {
        std::atomic<int> busy{0};
        std::vector<std::thread> clients;
        for (int each = from; each < from + 12; ++each)
            clients.emplace_back([&busy, each] {
                httplib::Client client("127.0.0.1", s_plant->port());
                client.set_read_timeout(60);
                auto res = client.Get("/runs/" + fillerId(each).toStdString() + "/report.pdf");
                if (res && res->status == 503 && res->get_header_value("Retry-After") == "5")
                    ++busy;
            });
        httplib::Client other("127.0.0.1", s_plant->port());
        for (const char *page : {"/", "/runs", "/quality", "/lenses/L-1001"})
            EXPECT_EQ(other.Get(page)->status, 200) << page;
        for (auto &client : clients)
            client.join();
        refused = busy > 0;
    }
    EXPECT_TRUE(refused);
}

TEST_F(Pages, AStationsChartsAndWhatNeedsAttentionKeepEveryNameAsItIs)
{
    // A station's latest 3 runs failed on Zoom 1, the latest 2 of them on one lens.
    const QString station = QStringLiteral("a/../%2F<b>\"&'");
    auto records = runs::RunDatabase::openPlant(s_server->connection());
    ASSERT_TRUE(records) << records.error();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(runs::RunStore(**records).put(strokeRun(
            QStringLiteral("d000000%1-0000-4000-8000-000000000000").arg(i), station,
            i > 0 ? "<L&1>" : "L-2", "anna", QDateTime::currentDateTime().addSecs(60 * i - 600),
            2 + i, runin::kZoom1Axis)));
    const std::string path = "/stations/" + QUrl::toPercentEncoding(station).toStdString();
    EXPECT_NE(body(path).find("Station a/../%2F&lt;b&gt;&quot;&amp;&#39;"), std::string::npos);
    EXPECT_NE(body("/").find("href=\"" + path + "\""), std::string::npos);
    EXPECT_EQ(s_plant->http().Get(path + "?runs=0")->status, 400);
    EXPECT_EQ(s_plant->http().Get("/api" + path + "/errors?axis=zoom9")->status, 400);
    EXPECT_NE(body("/stations?station=..").find("No run of the station .. is stored"),
              std::string::npos);

    // The JSON's limits are the u-chart's own, recomputed from its points.
    const auto chart =
        QJsonDocument::fromJson(
            QByteArray::fromStdString(body("/api" + path + "/errors?axis=zoom1&runs=2")))
            .object();
    EXPECT_EQ(chart["station"].toString(), station);
    const QJsonArray points = chart["points"].toArray();
    ASSERT_EQ(points.size(), 2);
    const double moves = points[0]["moves"].toDouble() + points[1]["moves"].toDouble();
    EXPECT_DOUBLE_EQ(chart["centre"].toDouble(), 2 / moves);
    EXPECT_DOUBLE_EQ(points[1]["ucl"].toDouble(),
                     2 / moves + 3 * std::sqrt(2 / moves / points[1]["moves"].toDouble()));
    EXPECT_EQ(points[1]["start"].toString().size(), 20); // 2026-12-05T13:03:07Z

    // The feed reads as XML, names as they are, and the same ids a second time.
    const auto entries = [] {
        auto res = s_plant->http().Get("/attention.atom");
        EXPECT_EQ(res->get_header_value("Content-Type"), "application/atom+xml");
        QXmlStreamReader xml(QByteArray::fromStdString(res->body));
        std::map<QString, QString> titles; // by id
        QString id;
        while (!xml.atEnd())
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            else if (xml.name() == u"id")
                id = xml.readElementText();
            else if (xml.name() == u"title")
                titles[id] = xml.readElementText();
        EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
        return titles;
    };
    const auto first = entries();
    EXPECT_EQ(first, entries());
    QStringList titles;
    for (const auto &[id, title] : first)
        titles << title;
    EXPECT_TRUE(titles.contains(station + ": its latest 3 runs failed"))
        << titles.join('\n').toStdString();
    EXPECT_TRUE(titles.contains("Lens <L&1>: its latest 2 runs failed on Zoom 1"));
    s_server->psql("DELETE FROM runs WHERE id LIKE 'd000000%'");
}

} // namespace
} // namespace plant::test
