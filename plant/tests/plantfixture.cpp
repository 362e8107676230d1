// Stores a small plant's records through the real store code, for the browser test: into the
// database velmaro-plant reads (VELMARO_RUNS_DB, else this station's runs.sqlite).
#include "plantrecords.h"
#include "runs/connection.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    const QCoreApplication app(argc, argv);
    const QString plant = runs::plantConnection();
    auto opened = plant.isEmpty() ? runs::RunDatabase::openStation(runs::stationDatabasePath())
                                  : runs::RunDatabase::openPlant(plant);
    if (!opened) {
        std::fprintf(stderr, "%s\n", opened.error().c_str());
        return 2;
    }
    if (auto stored = plant::test::storePlant(**opened, QDateTime::currentDateTime()); !stored) {
        std::fprintf(stderr, "%s\n", stored.error().c_str());
        return 1;
    }
    return 0;
}
