#include "commands.h"

#include "drawing/pdfreport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace report {

namespace {

base::Result<runlog::RunLog> loadLog(const QString &path)
{
    const auto cannotRead = [&path](base::FailureKind kind, const QString &why) {
        return base::fail(
            kind, QStringLiteral("cannot read the log \"%1\": %2").arg(path, why).toStdString());
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return cannotRead(file.exists() ? base::FailureKind::Unavailable
                                        : base::FailureKind::NotFound,
                          file.errorString());
    if (QFileInfo(path).isDir())
        return cannotRead(base::FailureKind::InvalidInput, QStringLiteral("it is a folder"));
    return runlog::readLog(file.readAll(), QFileInfo(path).fileName());
}

// Written beside and renamed into place, so that a failed report leaves no half PDF.
base::Status savePdf(const drawing::ReportInput &input, const QString &path)
{
    QSaveFile pdf(path);
    if (!pdf.open(QIODevice::WriteOnly))
        return base::fail(base::FailureKind::Unavailable, pdf.errorString().toStdString());
    if (base::Status written = drawing::writePdf(input, pdf); !written)
        return written;
    if (!pdf.commit())
        return base::fail(base::FailureKind::Unavailable, pdf.errorString().toStdString());
    return {};
}

// "Log Complete.txt" gives "Log Complete.pdf" in the same folder.
QString defaultOutput(const QString &log)
{
    const QFileInfo info(log);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".pdf"));
}

} // namespace

int reportCommand(const CommandLine &line, Records, std::FILE *out, std::FILE *err)
{
    // Each file is read whole before anything is drawn; the first that cannot be read ends it.
    drawing::ReportInput input;
    base::Status read;
    const auto take = [&read](auto loaded, auto &into) {
        if (!read)
            return;
        if (loaded)
            into = std::move(loaded).value();
        else
            read = loaded.failure();
    };
    take(loadLog(line.log), input.complete);
    if (!line.errors.isEmpty())
        take(loadLog(line.errors), input.errors);
    if (!line.cam.isEmpty())
        take(camtable::readCamTable(line.cam), input.cam);
    if (!read)
        return fail(err, QString::fromStdString(read.error()));

    const QString outPath = line.output.isEmpty() ? defaultOutput(line.log) : line.output;
    for (const QString &in : {line.log, line.errors, line.cam}) {
        if (!in.isEmpty() && QFileInfo(in) == QFileInfo(outPath)) {
            return fail(
                err, QStringLiteral("the report \"%1\" would overwrite its own input").arg(outPath),
                kCannotWrite);
        }
    }
    if (const base::Status saved = savePdf(input, outPath); !saved)
        return fail(err,
                    QStringLiteral("cannot write the report \"%1\": %2")
                        .arg(outPath, QString::fromStdString(saved.error())),
                    kCannotWrite);
    print(out, QStringLiteral("Report written to %1\n").arg(outPath));
    return kDone;
}

} // namespace report
