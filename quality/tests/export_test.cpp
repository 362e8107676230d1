// The runs and the figures as CSV and JSON: what a spreadsheet or another program reads back.
#include "records.h"

#include "quality/export.h"
#include "quality/filter.h"

#include <map>

#include <QJsonArray>
#include <QLocale>

namespace quality::test {
namespace {

// RFC 4180 read back: quoted fields with doubled quotes, CRLF between records.
std::vector<QStringList> readCsv(const QByteArray &csv)
{
    std::vector<QStringList> records(1);
    QByteArray field;
    bool quoted = false;
    for (qsizetype i = 0; i < csv.size(); ++i) {
        const char c = csv.at(i);
        if (quoted) {
            if (c == '"' && i + 1 < csv.size() && csv.at(i + 1) == '"')
                field += csv.at(++i);
            else if (c == '"')
                quoted = false;
            else
                field += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            records.back() << QString::fromUtf8(field);
            field.clear();
        } else if (c == '\r' && i + 1 < csv.size() && csv.at(i + 1) == '\n') {
            records.back() << QString::fromUtf8(field);
            field.clear();
            records.emplace_back();
            ++i;
        } else {
            EXPECT_TRUE(c != '\r' && c != '\n') << "a line end outside quotes at " << i;
            field += c;
        }
    }
    EXPECT_TRUE(records.back().isEmpty() && field.isEmpty()) << "the last line has no CRLF";
    records.pop_back();
    return records;
}

class Export : public ::testing::Test
{
protected:
    // Numbers must not follow the locale: German writes 12,5.
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
};

TEST_F(Export, RunsCsvQuotesWhatNeedsItAndReadsBackAsTheJson)
{
    auto awkward = run("bench, \"north\"", "L-7,\"b\"\r\nsecond line",
                       QDateTime(QDate(2026, 12, 1), QTime(8, 30), Qt::UTC), 2);
    awkward.operatorName = "Zoë \"la\" Müller";
    const auto plain = run("s1", "", QDateTime(QDate(2026, 12, 2), QTime(9, 0), Qt::UTC));

    const QByteArray csv = runsCsv({awkward, plain});
    const auto read = readCsv(csv);
    ASSERT_EQ(read.size(), 3U) << csv.toStdString();
    const QJsonObject json = runJson(awkward);
    ASSERT_EQ(read[0].size(), json.size());
    for (int field = 0; field < read[0].size(); ++field) {
        const QJsonValue value = json.value(read[0][field]);
        ASSERT_FALSE(value.isUndefined()) << read[0][field].toStdString();
        const QString expected = value.isString() ? value.toString()
                                 : value.isNull() ? QString()
                                                  : QString::number(value.toDouble());
        EXPECT_EQ(read[1][field], expected) << read[0][field].toStdString();
    }
    const auto column = [&read](const char *name) { return read[0].indexOf(QLatin1String(name)); };
    EXPECT_EQ(read[1][column("serial")], awkward.serial);
    EXPECT_EQ(read[1][column("operator")], awkward.operatorName);
    EXPECT_EQ(read[1][column("start")], "2026-12-01T08:30:00Z");
    EXPECT_EQ(read[1][column("iris_largest")], "12.5");
    EXPECT_EQ(read[1][column("verdict")], "fail");
    EXPECT_EQ(read[2][column("verdict")], "pass");
    EXPECT_EQ(read[2][column("iris_largest")], ""); // none, not 0
    EXPECT_TRUE(csv.contains("Zo\xc3\xab"));        // UTF-8
}

TEST_F(Export, QualityCsvAndJsonShareTheirFieldsAndKeepThePoint)
{
    Quality quality;
    Cell cell;
    cell.week = "2026-W49";
    cell.station = "s,1";
    cell.runs = 4;
    cell.newLenses = 3;
    cell.firstPass = 2;
    cell.finalPass = 3;
    quality.cells = {cell};
    quality.total = cell;
    quality.total.station.clear();
    quality.byEnding = {{"completed", 4, 1, 100, 100}};

    const auto read = readCsv(qualityCsv(quality));
    ASSERT_EQ(read.size(), 3U);
    const QJsonObject json = qualityJson(quality).object();
    const QJsonObject first = json.value("cells").toArray().at(0).toObject();
    EXPECT_EQ(QStringList(first.keys()).size(), read[0].size());
    for (const QString &field : read[0])
        EXPECT_TRUE(first.contains(field)) << field.toStdString();
    const auto column = [&read](const char *name) { return read[0].indexOf(QLatin1String(name)); };
    EXPECT_EQ(read[1][column("station")], "s,1");
    EXPECT_EQ(read[1][column("first_pass_yield")], "66.7");
    EXPECT_EQ(read[1][column("final_yield")], "100");
    EXPECT_EQ(read[2][column("week")], "total");
    EXPECT_DOUBLE_EQ(first.value("first_pass_yield").toDouble(), 66.7);
    EXPECT_EQ(json.value("by_ending").toArray().at(0).toObject().value("failed").toInt(), 1);

    const QString text = qualityText(quality, "the plant");
    EXPECT_TRUE(text.contains("66.7%")) << text.toStdString();
    EXPECT_FALSE(text.contains("66,7"));
}

TEST(ReadFilter, NamesTheValueThatDoesNotRead)
{
    for (const auto &[key, text, message] : std::vector<std::tuple<QString, QString, std::string>>{
             {"since", "2026-13-40", "since: '2026-13-40' is not a date YYYY-MM-DD"},
             {"until", "yesterday", "until: 'yesterday' is not a date YYYY-MM-DD"},
             {"since", "2026-1-5", "since: '2026-1-5' is not a date YYYY-MM-DD"},
             {"verdict", "maybe", "verdict: 'maybe' is not pass or fail"}}) {
        auto filter = readFilter([&](const QString &asked) { return asked == key ? text : ""; });
        ASSERT_FALSE(filter) << key.toStdString();
        EXPECT_EQ(filter.error(), message);
    }
    auto backwards = readFilter([](const QString &key) {
        return key == "since" ? "2026-05-04" : key == "until" ? "2026-05-03" : "";
    });
    EXPECT_FALSE(backwards);

    // What reads gives the same pairs back, for the links that keep a filter.
    const std::map<QString, QString> given{{"serial", "L 1"},       {"station", "s1"},
                                           {"operator", "anna"},    {"verdict", "fail"},
                                           {"since", "2026-05-02"}, {"until", "2026-05-04"}};
    auto filter = readFilter([&given](const QString &key) {
        const auto found = given.find(key);
        return found == given.end() ? QString() : found->second;
    });
    ASSERT_TRUE(filter);
    const auto pairs = filterPairs(*filter);
    EXPECT_EQ((std::map<QString, QString>(pairs.begin(), pairs.end())), given);
}

} // namespace
} // namespace quality::test
