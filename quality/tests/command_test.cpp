// velmaro-report --quality and --runs --csv against a real plant: the same bytes as the figures'
// own code gives, whatever the locale the command runs in.
#include "records.h"

#include "quality/export.h"
#include "quality/filter.h"
#include "runs/runstore.h"

#include "testsupport/reportprocess.h"

#include <map>

namespace quality::test {
namespace {

using Answer = testsupport::ReportAnswer;

class Command : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_records = m_plant.open();
        ASSERT_TRUE(m_records);
        auto awkward = run("bench, \"north\"", "L-7,\"b\"\nsecond line", at(2026, 12, 1, 9), 2);
        awkward.operatorName = "Zoë \"la\" Müller";
        for (const runs::RunRecord &record :
             {awkward, run("s1", "L-7,\"b\"\nsecond line", at(2026, 12, 8, 9)),
              run("s1", "L-8", at(2026, 12, 2, 9), 1, 0, "Single Step"),
              run("s1", "L-9", at(2026, 12, 3, 9)), run("s2", "", at(2026, 12, 3, 10), 4)})
            ASSERT_TRUE(runs::RunStore(*m_records).put(record));
    }

    // The program in a German locale (a decimal comma), reading the plant.
    Answer report(const QStringList &arguments)
    {
        return testsupport::runReport(arguments, m_home.path(),
                                      {{"VELMARO_RUNS_DB", PlantServer::server().connection()},
                                       {"LC_ALL", "de_DE.UTF-8"},
                                       {"LANG", "de_DE.UTF-8"}});
    }

    runs::RunFilter filter(std::map<QString, QString> pairs)
    {
        auto read = readFilter([&pairs](const QString &key) { return pairs[key]; });
        EXPECT_TRUE(read);
        return read ? *read : runs::RunFilter{};
    }

    PlantServer m_plant;
    QTemporaryDir m_home;
    std::unique_ptr<runs::RunDatabase> m_records;
};

TEST_F(Command, CsvIsTheFiguresOwnWhateverTheLocale)
{
    const Answer runsCsvAnswer =
        report({"--runs", "--csv", "--verdict", "fail", "--until", "2026-12-02"});
    ASSERT_EQ(runsCsvAnswer.status, 0) << runsCsvAnswer.err.toStdString();
    const auto failed =
        runs::RunStore(*m_records).list(filter({{"verdict", "fail"}, {"until", "2026-12-02"}}));
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->size(), 2U);
    EXPECT_EQ(runsCsvAnswer.out, runsCsv(*failed));
    EXPECT_TRUE(runsCsvAnswer.out.contains(",12.5,")) << runsCsvAnswer.out.toStdString();
    EXPECT_TRUE(runsCsvAnswer.out.contains("\"Zoë \"\"la\"\" Müller\""));

    const Answer byOperator = report({"--runs", "--csv", "--operator", "Zoë \"la\" Müller"});
    // The header and the one run: the serial's own line end is inside its quotes.
    EXPECT_EQ(byOperator.out.count("\r\n"), 2) << byOperator.out.toStdString();

    const Answer qualityAnswer = report({"--quality", "--csv", "--station", "s1"});
    ASSERT_EQ(qualityAnswer.status, 0) << qualityAnswer.err.toStdString();
    const auto figures = compute(*m_records, filter({{"station", "s1"}}));
    ASSERT_TRUE(figures);
    EXPECT_EQ(qualityAnswer.out, qualityCsv(*figures));
    EXPECT_TRUE(qualityAnswer.out.contains("2026-W49,s1,2,0,1,2,2,1,50,1,50\r\n"))
        << qualityAnswer.out.toStdString();

    const Answer table = report({"--quality"});
    ASSERT_EQ(table.status, 0) << table.err.toStdString();
    EXPECT_TRUE(table.out.contains("5 run(s) of 3 lens(es) in the plant database plant"))
        << table.out.toStdString();
    EXPECT_TRUE(table.out.contains("33.3%")) << table.out.toStdString();
    EXPECT_FALSE(table.out.contains("33,3%"));
}

} // namespace
} // namespace quality::test
