#include "filter.h"

#include "runs/schema.h"

#include <QDate>
#include <QRegularExpression>

#include <algorithm>
#include <tuple>

namespace quality {

namespace {

// A local day or, as the command line has always taken too, a moment in ISO 8601.
struct Day
{
    QDateTime start;
    bool wholeDay = false;
};

std::optional<Day> readDay(const QString &text)
{
    static const QRegularExpression dayText(QStringLiteral(R"(^\d{4}-\d{2}-\d{2}$)"));
    if (dayText.match(text).hasMatch()) {
        const QDate day = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
        if (day.isValid())
            return Day{day.startOfDay(), true};
        return std::nullopt;
    }
    if (text.size() > 10 && text.at(10) == u'T') {
        const QDateTime moment = QDateTime::fromString(text, Qt::ISODate);
        if (moment.isValid())
            return Day{moment, false};
    }
    return std::nullopt;
}

base::Failure notADate(const QString &key, const QString &text)
{
    return base::fail(
        base::FailureKind::InvalidInput,
        QStringLiteral("%1: '%2' is not a date YYYY-MM-DD").arg(key, text).toStdString());
}

const std::pair<const char *, const char *> kTests[] = {
    {"step", "Single Step"}, {"stroke", "Full stroke"}, {"both", "Single Step, Full stroke"}};

base::Failure notOneOf(const char *key, const QString &text, const QString &which)
{
    return base::fail(
        base::FailureKind::InvalidInput,
        QStringLiteral("%1: '%2' is not %3").arg(QLatin1String(key), text, which).toStdString());
}

std::optional<runs::Verdict> readVerdict(const QString &text)
{
    if (text == QLatin1String("pass"))
        return runs::Verdict::Pass;
    if (text == QLatin1String("fail"))
        return runs::Verdict::Fail;
    if (text.isEmpty())
        return runs::Verdict::Any;
    return std::nullopt;
}

QString verdictKey(runs::Verdict verdict)
{
    return verdict == runs::Verdict::Pass   ? QStringLiteral("pass")
           : verdict == runs::Verdict::Fail ? QStringLiteral("fail")
                                            : QString();
}

// The axis, tests, ending and week of a run filter.
std::optional<base::Failure> readRunTerms(const Values &value, runs::RunFilter &filter)
{
    const QString axis = value(QStringLiteral("axis")).trimmed();
    if (!axis.isEmpty()) {
        const auto &keys = runs::schema::kAxisColumns;
        const auto found = std::find(keys.begin(), keys.end(), axis);
        if (found == keys.end())
            return notOneOf("axis", axis, QStringLiteral("zoom1, zoom2, iris or focus"));
        filter.axis = static_cast<int>(found - keys.begin());
    }
    const QString tests = value(QStringLiteral("tests")).trimmed();
    if (!tests.isEmpty()) {
        for (const auto &[key, stored] : kTests)
            if (tests == QLatin1String(key))
                filter.tests = QLatin1String(stored);
        if (filter.tests.isEmpty())
            return notOneOf("tests", tests, QStringLiteral("step, stroke or both"));
    }
    filter.ending = value(QStringLiteral("ending")).trimmed();
    if (!filter.ending.isEmpty() && !runs::endingFromText(filter.ending))
        return notOneOf("ending", filter.ending,
                        QStringLiteral("how a run ends: completed, stopped by ABORT, the "
                                       "controller stopped answering, the line was lost, the "
                                       "program was closed during the run or unknown"));
    filter.week = value(QStringLiteral("week")).trimmed();
    if (!filter.week.isEmpty() && !runs::weekBounds(filter.week))
        return notOneOf("week", filter.week, QStringLiteral("an ISO week YYYY-Www"));
    return std::nullopt;
}

QString dayText(const QDateTime &moment, bool until)
{
    const QDateTime local = moment.toLocalTime();
    if (local.time() == QTime(0, 0)) // a whole local day
        return (until ? local.date().addDays(-1) : local.date()).toString(Qt::ISODate);
    return moment.toUTC().toString(Qt::ISODate);
}

} // namespace

base::Result<runs::RunFilter> readFilter(const Values &value)
{
    runs::RunFilter filter;
    filter.serial = value(QStringLiteral("serial")).trimmed();
    if (filter.serial == QLatin1String("none")) {
        filter.serial.clear();
        filter.withoutSerial = true;
    }
    filter.station = value(QStringLiteral("station")).trimmed();
    filter.operatorName = value(QStringLiteral("operator")).trimmed();

    const QString verdict = value(QStringLiteral("verdict")).trimmed();
    if (const auto read = readVerdict(verdict))
        filter.verdict = *read;
    else
        return notOneOf("verdict", verdict, QStringLiteral("pass or fail"));
    if (auto wrong = readRunTerms(value, filter))
        return *wrong;

    const QString since = value(QStringLiteral("since")).trimmed();
    if (!since.isEmpty()) {
        const auto day = readDay(since);
        if (!day)
            return notADate(QStringLiteral("since"), since);
        filter.since = day->start;
    }
    const QString until = value(QStringLiteral("until")).trimmed();
    if (!until.isEmpty()) {
        const auto day = readDay(until);
        if (!day)
            return notADate(QStringLiteral("until"), until);
        // The whole of the day named: up to the start of the next.
        filter.until = day->wholeDay ? day->start.date().addDays(1).startOfDay() : day->start;
    }
    // Times are kept as ISO 8601 text, which orders only four-digit years.
    for (const auto &[key, bound, text] :
         {std::tuple{"since", filter.since, since}, std::tuple{"until", filter.until, until}})
        if (bound.isValid() && bound.toUTC().date().year() > 9999)
            return base::fail(base::FailureKind::InvalidInput,
                              QStringLiteral("%1: '%2' is later than any run can be")
                                  .arg(QLatin1String(key), text)
                                  .toStdString());
    if (filter.since.isValid() && filter.until.isValid() && filter.until <= filter.since)
        return base::fail(
            base::FailureKind::InvalidInput,
            QStringLiteral("until: '%1' is before since '%2'").arg(until, since).toStdString());
    return filter;
}

std::vector<std::pair<QString, QString>> filterPairs(const runs::RunFilter &filter)
{
    std::vector<std::pair<QString, QString>> pairs;
    const auto add = [&pairs](const char *key, const QString &text) {
        if (!text.isEmpty())
            pairs.emplace_back(QLatin1String(key), text);
    };
    add("serial", filter.withoutSerial ? QStringLiteral("none") : filter.serial);
    add("station", filter.station);
    add("operator", filter.operatorName);
    add("verdict", verdictKey(filter.verdict));
    if (filter.since.isValid())
        add("since", dayText(filter.since, false));
    if (filter.until.isValid())
        add("until", dayText(filter.until, true));
    if (filter.axis >= 0 && filter.axis < runs::kAxisCount)
        add("axis",
            QLatin1String(runs::schema::kAxisColumns.at(static_cast<std::size_t>(filter.axis))));
    add("tests", testsKey(filter.tests));
    add("ending", filter.ending);
    add("week", filter.week);
    return pairs;
}

base::Result<runs::LensFilter> readLensFilter(const Values &value)
{
    auto runFilter = readFilter(value);
    if (!runFilter)
        return runFilter.failure();
    runs::LensFilter filter;
    filter.runs = *runFilter;
    for (const auto &[key, verdict] :
         {std::pair{"first", &filter.first}, std::pair{"latest", &filter.latest}}) {
        const QString text = value(QLatin1String(key)).trimmed();
        const auto read = readVerdict(text);
        if (!read)
            return notOneOf(key, text, QStringLiteral("pass or fail"));
        *verdict = *read;
    }
    for (const auto &[key, flag] :
         {std::pair{"new", &filter.onlyNew}, std::pair{"decision", &filter.decision}}) {
        const QString text = value(QLatin1String(key)).trimmed();
        if (!text.isEmpty() && text != QLatin1String("1"))
            return notOneOf(key, text, QStringLiteral("1"));
        *flag = !text.isEmpty();
    }
    return filter;
}

std::vector<std::pair<QString, QString>> lensFilterPairs(const runs::LensFilter &filter)
{
    auto pairs = filterPairs(filter.runs);
    for (const auto &[key, text] :
         {std::pair{"first", verdictKey(filter.first)},
          std::pair{"latest", verdictKey(filter.latest)},
          std::pair{"new", filter.onlyNew ? QStringLiteral("1") : QString()},
          std::pair{"decision", filter.decision ? QStringLiteral("1") : QString()}})
        if (!text.isEmpty())
            pairs.emplace_back(QLatin1String(key), text);
    return pairs;
}

QString testsKey(const QString &stored)
{
    for (const auto &[key, text] : kTests)
        if (stored == QLatin1String(text))
            return QLatin1String(key);
    return {};
}

} // namespace quality
