#pragma once

#include "quality.h"

#include "runs/runrecord.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <vector>

// The runs and the quality figures for other programs: CSV (RFC 4180, UTF-8, one header line,
// CRLF line ends) and JSON with the same field names. Times are ISO 8601 in UTC, numbers have a
// decimal point whatever the locale.
namespace quality {

// A time as the CSV and JSON give it: "2026-12-05T13:03:07Z", empty for none.
QString isoTime(const QDateTime &time);

QByteArray runsCsv(const std::vector<runs::RunRecord> &records);
QJsonObject runJson(const runs::RunRecord &record);

// The cells, one line each (the totals last, with week "total").
QByteArray qualityCsv(const Quality &quality);
// {"filter": {...}, "cells": [...], "total": {...}, "by_axis_and_test": [...], "by_ending": [...]}
QJsonDocument qualityJson(const Quality &quality);

// The readable table of velmaro-report --quality.
QString qualityText(const Quality &quality, const QString &source);

} // namespace quality
