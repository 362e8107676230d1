#pragma once

#include "base/result.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// One saved cam table as it is kept: a lens's calibration, tied to the lens by its serial.
namespace runs {

struct CamRecord
{
    QString id; // a UUID, without braces
    QString station;
    QString operatorName;
    QString version;
    QDateTime saved;      // UTC
    QByteArray bytes;     // the cam table file as it was written, CR LF and all
    int rowsRecorded = 0; // of 86
    QByteArray digest;    // of the bytes: tells a damaged or forged record
    QString serial;       // the lens's; empty while none is known

    bool operator==(const CamRecord &) const = default;
};

// Which kept tables a list holds; an empty field does not filter.
struct CamFilter
{
    QString serial;
    QString station;
    QDateTime since;  // saved at or after it
    QDateTime before; // saved before it
};

QByteArray camDigest(const QByteArray &bytes);

// Whether the kept bytes are those the record's digest was made of; the failure names the record.
base::Status checkCamBytes(const CamRecord &record);

// A lens serial as the records take it: 1 to 40 printable characters, no blank at either end.
// The failure says what is wrong with it.
base::Status checkSerial(const QString &serial);

} // namespace runs
