// The address of a request as anyone on the plant's network may send it: read into its parts,
// then answered from a station's records (empty ones, so that no page waits on a drawing).
#include "plant/pages.h"
#include "runs/rundatabase.h"

#include "fuzzcheck.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

// The application and the records live as long as the process and are never torn down: at exit,
// Qt's own globals (the SQL drivers' among them) may already be gone.
runs::RunDatabase &records()
{
    static runs::RunDatabase *opened = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "fuzz_request";
        static char *argv[] = {name, nullptr};
        new QApplication(argc, argv);
        static QTemporaryDir dir;
        auto database = runs::RunDatabase::openStation(dir.filePath("runs.sqlite"));
        fuzz::check(static_cast<bool>(database));
        return database->release();
    }();
    return *opened;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray target(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const auto read = plant::readRequest(target);
    if (const auto *refused = std::get_if<plant::Reply>(&read)) {
        fuzz::check(refused->status == 400);
        return 0;
    }
    const plant::Request &request = std::get<plant::Request>(read);
    // Every part that gets through is text a page may show and a query may hold.
    for (const QString &part : request.segments + request.params.keys() + request.params.values()) {
        fuzz::check(part.isValidUtf16());
        for (const QChar c : part)
            fuzz::check(c.category() != QChar::Other_Control);
    }
    const plant::Reply reply = plant::answer(records(), request);
    fuzz::check(reply.status == 200 || reply.status == 400 || reply.status == 404);
    fuzz::check(!reply.body.isEmpty());
    return 0;
}
