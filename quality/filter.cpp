#include "filter.h"

#include <QDate>
#include <QRegularExpression>

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

QString dayText(const QDateTime &moment, bool until)
{
    const QDateTime local = moment.toLocalTime();
    if (local.time() == QTime(0, 0)) // a whole local day
        return (until ? local.date().addDays(-1) : local.date()).toString(Qt::ISODate);
    return moment.toUTC().toString(Qt::ISODate);
}

} // namespace

base::Result<runs::RunFilter> readFilter(const std::function<QString(const QString &key)> &value)
{
    runs::RunFilter filter;
    filter.serial = value(QStringLiteral("serial")).trimmed();
    filter.station = value(QStringLiteral("station")).trimmed();
    filter.operatorName = value(QStringLiteral("operator")).trimmed();

    const QString verdict = value(QStringLiteral("verdict")).trimmed();
    if (verdict == QLatin1String("pass"))
        filter.verdict = runs::Verdict::Pass;
    else if (verdict == QLatin1String("fail"))
        filter.verdict = runs::Verdict::Fail;
    else if (!verdict.isEmpty())
        return base::fail(
            base::FailureKind::InvalidInput,
            QStringLiteral("verdict: '%1' is not pass or fail").arg(verdict).toStdString());

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
    for (const auto &[key, bound, text] : {std::tuple{"since", filter.since, since},
                                           std::tuple{"until", filter.until, until}})
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
    add("serial", filter.serial);
    add("station", filter.station);
    add("operator", filter.operatorName);
    add("verdict", filter.verdict == runs::Verdict::Pass   ? QStringLiteral("pass")
                   : filter.verdict == runs::Verdict::Fail ? QStringLiteral("fail")
                                                           : QString());
    if (filter.since.isValid())
        add("since", dayText(filter.since, false));
    if (filter.until.isValid())
        add("until", dayText(filter.until, true));
    return pairs;
}

} // namespace quality
