#include "reportcommand.h"

#include "pdfreport.h"

#include "version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <variant>

namespace report {

namespace {

void print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

base::Result<RunLog> loadLog(const QString &path)
{
    const auto cannotRead = [&path](const QString &why) {
        return base::fail(
            QStringLiteral("cannot read the log \"%1\": %2").arg(path, why).toStdString());
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return cannotRead(file.errorString());
    if (QFileInfo(path).isDir())
        return cannotRead(QStringLiteral("it is a folder"));
    return readLog(file.readAll(), QFileInfo(path).fileName());
}

// Written beside and renamed into place, so that a failed report leaves no half PDF.
base::Status savePdf(const ReportInput &input, const QString &path)
{
    QSaveFile pdf(path);
    if (!pdf.open(QIODevice::WriteOnly))
        return base::fail(pdf.errorString().toStdString());
    if (base::Status written = writePdf(input, pdf); !written)
        return written;
    if (!pdf.commit())
        return base::fail(pdf.errorString().toStdString());
    return {};
}

// "Log Complete.txt" gives "Log Complete.pdf" in the same folder.
QString defaultOutput(const QString &log)
{
    const QFileInfo info(log);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".pdf"));
}

} // namespace

std::variant<int, Request> readCommandLine(const QStringList &arguments, std::FILE *out,
                                           std::FILE *err)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Turns a running-in log into a PDF report: the run at a glance, the positions reached by "
        "each axis, the position errors over time, and the lines that could not be read. With "
        "--cam it adds the zoom cam table. Exits with 0 when the report was written, 1 when it "
        "could not be written, 2 when a file could not be read."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption errors(
        QStringLiteral("errors"),
        QStringLiteral("The run's errors log, checked against the error lines of LOG_COMPLETE."),
        QStringLiteral("LOG_ERRORS"));
    const QCommandLineOption cam(QStringLiteral("cam"),
                                 QStringLiteral("A cam table file to chart and check."),
                                 QStringLiteral("CAM_TABLE"));
    const QCommandLineOption output(
        {QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Where the PDF goes; by default beside the log, as <log name>.pdf."),
        QStringLiteral("OUT.pdf"));
    parser.addOptions({errors, cam, output});
    parser.addPositionalArgument(QStringLiteral("LOG_COMPLETE"),
                                 QStringLiteral("The run's complete log (\"Log Complete.txt\")."));

    const QString usage = QStringLiteral("Try 'velmaro-report --help'.\n");
    if (!parser.parse(arguments)) {
        print(err, QStringLiteral("velmaro-report: %1\n").arg(parser.errorText()) + usage);
        return kCannotRead;
    }
    if (parser.isSet(help)) {
        print(out, parser.helpText());
        return kDone;
    }
    if (parser.isSet(version)) {
        print(out, QStringLiteral("velmaro-report %1\n").arg(QLatin1String(velmaro::kVersionText)));
        return kDone;
    }
    if (parser.positionalArguments().size() != 1) {
        print(err, QStringLiteral("velmaro-report: give one LOG_COMPLETE\n") + usage);
        return kCannotRead;
    }

    Request request;
    request.log = parser.positionalArguments().constFirst();
    request.errors = parser.value(errors);
    request.cam = parser.value(cam);
    request.output = parser.isSet(output) ? parser.value(output) : defaultOutput(request.log);
    return request;
}

int makeReport(const Request &request, std::FILE *out, std::FILE *err)
{
    // Each file is read whole before anything is drawn; the first that cannot be read ends it.
    ReportInput input;
    base::Status read;
    const auto take = [&read](auto loaded, auto &into) {
        if (!read)
            return;
        if (loaded)
            into = std::move(loaded).value();
        else
            read = base::fail(loaded.error());
    };
    take(loadLog(request.log), input.complete);
    if (!request.errors.isEmpty())
        take(loadLog(request.errors), input.errors);
    if (!request.cam.isEmpty())
        take(readCamTable(request.cam), input.cam);
    if (!read) {
        print(err,
              QStringLiteral("velmaro-report: %1\n").arg(QString::fromStdString(read.error())));
        return kCannotRead;
    }

    const QString &outPath = request.output;
    for (const QString &in : {request.log, request.errors, request.cam}) {
        if (!in.isEmpty() && QFileInfo(in) == QFileInfo(outPath)) {
            print(err, QStringLiteral("velmaro-report: the report \"%1\" would overwrite its own "
                                      "input\n")
                           .arg(outPath));
            return kCannotWrite;
        }
    }
    if (const base::Status saved = savePdf(input, outPath); !saved) {
        print(err, QStringLiteral("velmaro-report: cannot write the report \"%1\": %2\n")
                       .arg(outPath, QString::fromStdString(saved.error())));
        return kCannotWrite;
    }
    print(out, QStringLiteral("Report written to %1\n").arg(outPath));
    return kDone;
}

int runReport(const QStringList &arguments, std::FILE *out, std::FILE *err)
{
    const auto request = readCommandLine(arguments, out, err);
    if (const int *status = std::get_if<int>(&request))
        return *status;
    return makeReport(std::get<Request>(request), out, err);
}

} // namespace report
