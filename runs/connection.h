#pragma once

#include <QString>

// Where the run records are: the station's own file, the plant's database, and who and where
// this station is.
namespace runs {

// A setting: $KEY, else the key KEY of velmaro/velmaro.conf in the user's configuration folder;
// empty when neither gives one.
QString setting(const char *key);
// The connection string of the plant's database: $VELMARO_RUNS_DB, else the key VELMARO_RUNS_DB of
// velmaro/velmaro.conf in the user's configuration folder; empty when neither gives one.
QString plantConnection();
// <data home>/velmaro/runs.sqlite
QString stationDatabasePath();
// This computer's host name, and the user logged in.
QString stationName();
QString operatorName();

} // namespace runs
