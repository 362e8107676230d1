#pragma once

#include "runs/camrecord.h"
#include "runs/runrecord.h"
#include "testsupport/camtext.h"

#include <QRandomGenerator>
#include <QUuid>

namespace testsupport {

// A run record as every store needs one: an hour from `start`, a full stroke stopped by ABORT.
inline runs::RunRecord runRecord(const QString &station, const QString &serial,
                                 const QDateTime &start, const QString &operatorName = "op")
{
    runs::RunRecord run;
    run.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    run.station = station;
    run.serial = serial;
    run.operatorName = operatorName;
    run.version = "1.2.0";
    run.port = "COM1 (/dev/ttyS0)";
    run.tests = "Full stroke";
    run.start = start.toUTC();
    run.end = run.start.addSecs(3600);
    run.ending = runin::RunEnding::Aborted;
    return run;
}

// A stored run with logs of `logBytes` bytes that hardly compress.
inline runs::RunRecord madeRun(const QString &station, int number, int logBytes = 2000,
                               const QString &serial = {})
{
    runs::RunRecord run = runRecord(
        station, serial, QDateTime(QDate(2026, 12, 1 + number % 20), QTime(8, number % 60), Qt::UTC));
    run.cycles = number;
    run.axes.at(2) = {10, number % 2, number % 2 ? std::optional<double>(42) : std::nullopt};
    QRandomGenerator random(static_cast<quint32>(number) + 1);
    while (run.complete.size() < logBytes)
        run.complete += QByteArray::number(random.generate64(), 36) + "\r\n";
    run.errors = "05/12/26  08:00  POSITION ERROR (42)  Iris Axis Full stroke test ascending\r\n";
    run.digest = runs::logsDigest(run.complete, run.errors);
    return run;
}

// A cam table file as the program saves it: every row recorded, Zoom 1 shifted by `shift`.
inline QByteArray camBytes(int shift)
{
    return camText(
        [shift](int n) { return QStringLiteral("%1;%2").arg(100 * n + shift).arg(-50 * n); });
}

// A kept cam table as the station keeps one, saved `seconds` after 1 December 2026, 08:00 UTC.
inline runs::CamRecord madeCam(const QByteArray &bytes, qint64 seconds,
                               const QString &station = "station-a", const QString &serial = {})
{
    runs::CamRecord record;
    record.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    record.station = station;
    record.operatorName = "op";
    record.version = "1.2.0";
    record.saved = QDateTime(QDate(2026, 12, 1), QTime(8, 0), Qt::UTC).addSecs(seconds);
    record.bytes = bytes;
    record.rowsRecorded = static_cast<int>(bytes.count("\r\n"));
    record.digest = runs::camDigest(bytes);
    record.serial = serial;
    return record;
}

} // namespace testsupport
