#pragma once

#include "runs/rundatabase.h"
#include "testsupport/pgserver.h"
#include "testsupport/records.h"

#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <ctime>
#include <memory>

namespace quality::test {

// The station's own SQLite file, or a plant's PostgreSQL database emptied for each test.
struct Backend
{
    virtual ~Backend() = default;
    virtual std::unique_ptr<runs::RunDatabase> open() = 0;
};

// Weeks are local: the zone is fixed, so that a Sunday night in Rome is a Sunday there.
inline const bool kRome = [] {
    qputenv("TZ", "Europe/Rome");
    tzset();
    return true;
}();

struct StationFile : Backend
{
    QTemporaryDir dir;
    std::unique_ptr<runs::RunDatabase> open() override
    {
        auto opened = runs::RunDatabase::openStation(dir.filePath("runs.sqlite"));
        EXPECT_TRUE(opened) << (opened ? "" : opened.error());
        return opened ? std::move(*opened) : nullptr;
    }
};

// One server for every case; each case starts from an empty plant.
struct PlantServer : Backend
{
    static testsupport::PgServer &server()
    {
        static testsupport::PgServer running;
        return running;
    }
    PlantServer()
    {
        static const bool started = (server().start(), true);
        (void)started;
        server().psql("DELETE FROM runs; DELETE FROM run_days; DELETE FROM lens_days; DELETE FROM "
                      "week_lenses; DELETE FROM lenses; UPDATE summary_zone SET changes = "
                      "changes + 1");
    }
    std::unique_ptr<runs::RunDatabase> open() override
    {
        auto opened = runs::RunDatabase::openPlant(server().connection());
        EXPECT_TRUE(opened) << (opened ? "" : opened.error());
        return opened ? std::move(*opened) : nullptr;
    }
};

// A run as the store keeps it: its start in local time, errors on one axis, and a small log.
inline runs::RunRecord run(const QString &station, const QString &serial, const QDateTime &start,
                           int errors = 0, int axis = 2, const QString &tests = "Full stroke")
{
    runs::RunRecord record = testsupport::runRecord(station, serial, start, "anna");
    record.tests = tests;
    record.cycles = 5;
    for (auto &figures : record.axes)
        figures.moves = 40;
    record.axes.at(static_cast<std::size_t>(axis)).errors = errors;
    if (errors > 0)
        record.axes.at(static_cast<std::size_t>(axis)).largest = 12.5;
    record.ending = runin::RunEnding::Completed;
    record.complete = "log\r\n";
    record.digest = runs::logsDigest(record.complete, record.errors);
    return record;
}

// A local moment.
inline QDateTime at(int year, int month, int day, int hour, int minute = 0)
{
    return {QDate(year, month, day), QTime(hour, minute), Qt::LocalTime};
}

} // namespace quality::test
