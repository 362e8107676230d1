#include "rundatabase.h"

#include "progress.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QSysInfo>
#include <QUrl>
#include <QUrlQuery>
#include <QUuid>
#include <QVariant>

#ifndef Q_OS_WIN
#include <pwd.h>
#include <unistd.h>
#endif

namespace runs {

namespace {

constexpr const char *kSettingsKey = "VELMARO_RUNS_DB";
// How long a writer waits for the other program (velmaro and velmaro-report share the file).
constexpr int kBusyTimeoutMs = 10000;
constexpr int kConnectTimeoutS = 5;

const std::array<const char *, kAxisCount> kAxisColumns{"zoom1", "zoom2", "iris", "focus"};

QStringList recordColumns()
{
    QStringList columns{"id",    "station", "operator", "version", "port",   "started",
                        "ended", "tests",   "cycles",   "ending",  "serial", "errors"};
    for (const char *axis : kAxisColumns)
        for (const char *figure : {"_moves", "_errors", "_largest"})
            columns << QLatin1String(axis) + QLatin1String(figure);
    columns << "digest"
            << "log_complete"
            << "log_errors";
    return columns;
}

// Each schema version, as the statements that lead to it from the one before. The blob type is
// the one part that differs between SQLite and PostgreSQL.
std::vector<QStringList> migrations(const QString &blob)
{
    QString axes;
    for (const char *axis : kAxisColumns)
        axes += QStringLiteral("%1_moves INTEGER NOT NULL, %1_errors INTEGER NOT NULL, "
                               "%1_largest DOUBLE PRECISION, ")
                    .arg(QLatin1String(axis));
    return {
        {QStringLiteral("CREATE TABLE runs (id TEXT PRIMARY KEY, station TEXT NOT NULL, "
                        "operator TEXT NOT NULL, version TEXT NOT NULL, port TEXT NOT NULL, "
                        "started TEXT NOT NULL, ended TEXT NOT NULL, tests TEXT NOT NULL, "
                        "cycles INTEGER NOT NULL, ending TEXT NOT NULL, serial TEXT NOT NULL, "
                        "errors INTEGER NOT NULL, %1digest TEXT NOT NULL, log_complete %2 NOT "
                        "NULL, log_errors %2 NOT NULL, revision BIGINT NOT NULL DEFAULT 1, "
                        "sent_revision BIGINT NOT NULL DEFAULT 0)")
             .arg(axes, blob),
         QStringLiteral("CREATE INDEX runs_started ON runs (started)"),
         QStringLiteral("CREATE INDEX runs_digest ON runs (digest)"),
         QStringLiteral("CREATE INDEX runs_serial ON runs (serial)")},
        // The plant's pages: a station's latest runs, a lens's runs in order, an operator's.
        {QStringLiteral("CREATE INDEX runs_station_started ON runs (station, started)"),
         QStringLiteral("CREATE INDEX runs_serial_started ON runs (serial, started)"),
         QStringLiteral("CREATE INDEX runs_operator_started ON runs (operator, started)")},
        progressMigration(),
    };
}

// A null text would be stored as NULL; the columns hold text, empty when unknown.
QString text(const QString &value)
{
    return value.isNull() ? QStringLiteral("") : value;
}

QString newConnectionName()
{
    return QStringLiteral("velmaro-runs-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

bool isDamage(const QSqlError &error)
{
    // SQLITE_CORRUPT and SQLITE_NOTADB.
    const QString code = error.nativeErrorCode();
    return code == QLatin1String("11") || code == QLatin1String("26");
}

// A plant address without its password, to name it in messages.
QString plantName(const QSqlDatabase &db)
{
    return QStringLiteral("the plant database %1 on %2")
        .arg(db.databaseName().isEmpty() ? QStringLiteral("(default)") : db.databaseName(),
             db.hostName().isEmpty() ? QStringLiteral("the local server") : db.hostName());
}

// libpq's key=value form, as far as the fields Qt takes apart go; the rest stays an option.
void applyConnectionString(QSqlDatabase &db, const QString &connection)
{
    QStringList options;
    bool timeoutGiven = false;
    if (connection.startsWith(QLatin1String("postgres://")) ||
        connection.startsWith(QLatin1String("postgresql://"))) {
        const QUrl url(connection);
        db.setHostName(url.host());
        if (url.port() > 0)
            db.setPort(url.port());
        db.setUserName(url.userName());
        db.setPassword(url.password());
        db.setDatabaseName(url.path().mid(1));
        for (const auto &[key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
            options << key + u'=' + value;
            timeoutGiven = timeoutGiven || key == QLatin1String("connect_timeout");
        }
    } else {
        static const QRegularExpression pair(QStringLiteral(R"((\w+)\s*=\s*('[^']*'|\S*))"));
        for (auto match = pair.globalMatch(connection); match.hasNext();) {
            const auto m = match.next();
            const QString key = m.captured(1);
            QString value = m.captured(2);
            if (value.startsWith(u'\'') && value.endsWith(u'\'') && value.size() >= 2)
                value = value.mid(1, value.size() - 2);
            if (key == QLatin1String("host"))
                db.setHostName(value);
            else if (key == QLatin1String("port"))
                db.setPort(value.toInt());
            else if (key == QLatin1String("dbname"))
                db.setDatabaseName(value);
            else if (key == QLatin1String("user"))
                db.setUserName(value);
            else if (key == QLatin1String("password"))
                db.setPassword(value);
            else
                options << key + u'=' + value;
            timeoutGiven = timeoutGiven || key == QLatin1String("connect_timeout");
        }
    }
    // An unreachable plant must not keep the sender from the next try for long.
    if (!timeoutGiven)
        options << QStringLiteral("connect_timeout=%1").arg(kConnectTimeoutS);
    db.setConnectOptions(options.join(u';'));
}

} // namespace

RunDatabase::RunDatabase(Kind kind, QString connectionName, QString name)
    : m_kind(kind), m_connection(std::move(connectionName)), m_name(std::move(name))
{}

RunDatabase::~RunDatabase()
{
    {
        QSqlDatabase database = QSqlDatabase::database(m_connection, false);
        database.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

QSqlDatabase RunDatabase::db() const
{
    return QSqlDatabase::database(m_connection, false);
}

base::Result<std::unique_ptr<RunDatabase>> RunDatabase::openStation(const QString &path)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return base::fail(QStringLiteral("cannot make the folder \"%1\" for the run records")
                              .arg(info.absolutePath())
                              .toStdString());
    bool damaged = false;
    auto opened = tryOpenStation(path, &damaged);
    if (opened || !damaged)
        return opened;

    // Moved aside, never deleted: what can still be read of it is the user's.
    const QString aside = path + QStringLiteral(".damaged-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (!QFile::rename(path, aside))
        return base::fail(QStringLiteral("the run records \"%1\" are damaged (%2) and cannot be "
                                         "moved aside")
                              .arg(path, QString::fromStdString(opened.error()))
                              .toStdString());
    for (const char *suffix : {"-wal", "-shm"})
        if (QFile::exists(path + QLatin1String(suffix)))
            QFile::rename(path + QLatin1String(suffix), aside + QLatin1String(suffix));
    auto fresh = tryOpenStation(path, &damaged);
    if (fresh)
        (*fresh)->m_notice = QStringLiteral("The run records \"%1\" were damaged (%2). They were "
                                            "moved to \"%3\", and a new \"%1\" was started.")
                                 .arg(path, QString::fromStdString(opened.error()), aside);
    return fresh;
}

base::Result<std::unique_ptr<RunDatabase>> RunDatabase::tryOpenStation(const QString &path,
                                                                       bool *damaged)
{
    const QString connection = newConnectionName();
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        database.setDatabaseName(path);
        database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    }
    std::unique_ptr<RunDatabase> store(new RunDatabase(Kind::Station, connection, path));
    QSqlDatabase database = store->db();
    if (!database.open())
        return base::fail(QStringLiteral("cannot open the run records \"%1\": %2")
                              .arg(path, database.lastError().text())
                              .toStdString());
    // Write-ahead logging lets velmaro and velmaro-report read and write the file at once.
    QSqlQuery wal(database);
    if (!wal.exec(QStringLiteral("PRAGMA journal_mode=WAL"))) {
        *damaged = isDamage(wal.lastError());
        return store->failure(QStringLiteral("cannot open the run records"), wal);
    }
    wal.finish();
    if (auto migrated = store->migrate(); !migrated) {
        QSqlQuery check(database);
        *damaged = !check.exec(QStringLiteral("PRAGMA quick_check")) || !check.next() ||
                   check.value(0).toString() != QLatin1String("ok");
        return base::fail(migrated.error());
    }
    return store;
}

base::Result<std::unique_ptr<RunDatabase>> RunDatabase::openPlant(const QString &connection)
{
    const QString name = newConnectionName();
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        applyConnectionString(database, connection);
    }
    std::unique_ptr<RunDatabase> plant(
        new RunDatabase(Kind::Plant, name, plantName(QSqlDatabase::database(name, false))));
    QString refused;
    {
        QSqlDatabase database = plant->db();
        if (!database.isValid())
            refused = QStringLiteral("the PostgreSQL driver of Qt (package libqt6sql6-psql) is "
                                     "missing");
        else if (!database.open())
            refused = QStringLiteral("cannot connect to %1: %2")
                          .arg(plant->m_name, database.lastError().text().trimmed());
    }
    if (!refused.isEmpty())
        return base::fail(refused.toStdString());
    // The server's notices ("already exists, skipping") are not for the operator.
    if (auto quiet = plant->exec(QStringLiteral("SET client_min_messages = warning")); !quiet)
        return base::fail(quiet.error());
    if (auto migrated = plant->migrate(); !migrated)
        return base::fail(migrated.error());
    return plant;
}

base::Failure RunDatabase::failure(const QString &what, const QSqlQuery &query) const
{
    return base::fail(QStringLiteral("%1 (%2): %3")
                          .arg(what, m_name, query.lastError().text().trimmed())
                          .toStdString());
}

base::Status RunDatabase::exec(const QString &sql)
{
    QSqlQuery query(db());
    if (!query.exec(sql))
        return failure(QStringLiteral("cannot use the run records"), query);
    return {};
}

base::Status RunDatabase::begin()
{
    // Immediate: the write lock is taken at once, so a second writer waits its turn at the start
    // instead of failing halfway.
    return exec(m_kind == Kind::Station ? QStringLiteral("BEGIN IMMEDIATE")
                                        : QStringLiteral("BEGIN"));
}

base::Status RunDatabase::commit()
{
    return exec(QStringLiteral("COMMIT"));
}

void RunDatabase::rollback()
{
    QSqlQuery query(db());
    query.exec(QStringLiteral("ROLLBACK"));
}

base::Status RunDatabase::migrate()
{
    // A schema already up to date needs no write and no lock, so a user who may only read
    // (the plant's web page) opens the plant too.
    {
        QSqlQuery current(db());
        if (current.exec(QStringLiteral("SELECT max(version) FROM velmaro_schema")) &&
            current.next() && current.value(0).toInt() == kSchemaVersion)
            return {};
    }
    if (auto made = exec(QStringLiteral("CREATE TABLE IF NOT EXISTS velmaro_schema (version "
                                        "INTEGER NOT NULL)"));
        !made)
        return made;
    if (auto begun = begin(); !begun)
        return begun;
    if (m_kind == Kind::Plant) {
        // Two stations starting at once migrate one after the other.
        if (auto locked = exec(QStringLiteral("LOCK TABLE velmaro_schema IN EXCLUSIVE MODE"));
            !locked) {
            rollback();
            return locked;
        }
    }
    QSqlQuery read(db());
    if (!read.exec(QStringLiteral("SELECT max(version) FROM velmaro_schema"))) {
        const auto why = failure(QStringLiteral("cannot read the run records"), read);
        rollback();
        return why;
    }
    const int version = read.next() ? read.value(0).toInt() : 0;
    read.finish();
    if (version > kSchemaVersion) {
        rollback();
        return base::fail(QStringLiteral("%1 has schema version %2, newer than the %3 this "
                                         "Velmaro knows; update Velmaro")
                              .arg(m_name)
                              .arg(version)
                              .arg(kSchemaVersion)
                              .toStdString());
    }
    const auto steps =
        migrations(m_kind == Kind::Station ? QStringLiteral("BLOB") : QStringLiteral("BYTEA"));
    for (int next = version + 1; next <= kSchemaVersion; ++next) {
        for (const QString &sql : steps.at(static_cast<std::size_t>(next - 1))) {
            if (auto done = exec(sql); !done) {
                rollback();
                return done;
            }
        }
    }
    if (version < kSchemaVersion) {
        if (auto done = exec(QStringLiteral("DELETE FROM velmaro_schema")); !done) {
            rollback();
            return done;
        }
        if (auto done =
                exec(QStringLiteral("INSERT INTO velmaro_schema VALUES (%1)").arg(kSchemaVersion));
            !done) {
            rollback();
            return done;
        }
    }
    return commit();
}

base::Status RunDatabase::put(const RunRecord &record)
{
    const QStringList columns = recordColumns();
    QStringList marks;
    for (const QString &column : columns)
        marks << u':' + column;
    QString sql =
        QStringLiteral("INSERT INTO runs (%1) VALUES (%2) ON CONFLICT (id) DO UPDATE SET ")
            .arg(columns.join(u','), marks.join(u','));
    if (m_kind == Kind::Plant) {
        sql += QStringLiteral("serial = excluded.serial WHERE runs.serial <> excluded.serial");
    } else {
        QStringList sets;
        for (const QString &column : columns.mid(1))
            sets << column + QStringLiteral(" = excluded.") + column;
        sql += sets.join(u',') + QStringLiteral(", revision = runs.revision + 1");
    }
    QSqlQuery query(db());
    query.prepare(sql);
    query.bindValue(QStringLiteral(":id"), text(record.id));
    query.bindValue(QStringLiteral(":station"), text(record.station));
    query.bindValue(QStringLiteral(":operator"), text(record.operatorName));
    query.bindValue(QStringLiteral(":version"), text(record.version));
    query.bindValue(QStringLiteral(":port"), text(record.port));
    query.bindValue(QStringLiteral(":started"), text(storedTime(record.start)));
    query.bindValue(QStringLiteral(":ended"), text(storedTime(record.end)));
    query.bindValue(QStringLiteral(":tests"), text(record.tests));
    query.bindValue(QStringLiteral(":cycles"), record.cycles);
    query.bindValue(QStringLiteral(":ending"), text(endingText(record.ending)));
    query.bindValue(QStringLiteral(":serial"), text(record.serial));
    query.bindValue(QStringLiteral(":errors"), record.errorCount());
    for (int axis = 0; axis < kAxisCount; ++axis) {
        const AxisFigures &figures = record.axes.at(static_cast<std::size_t>(axis));
        const QString prefix =
            u':' + QLatin1String(kAxisColumns.at(static_cast<std::size_t>(axis)));
        query.bindValue(prefix + QStringLiteral("_moves"), figures.moves);
        query.bindValue(prefix + QStringLiteral("_errors"), figures.errors);
        query.bindValue(prefix + QStringLiteral("_largest"),
                        figures.largest ? QVariant(*figures.largest)
                                        : QVariant(QMetaType::fromType<double>()));
    }
    query.bindValue(QStringLiteral(":digest"), text(QString::fromLatin1(record.digest)));
    query.bindValue(QStringLiteral(":log_complete"), packLog(record.complete));
    query.bindValue(QStringLiteral(":log_errors"), packLog(record.errors));
    if (!query.exec())
        return failure(QStringLiteral("cannot store the run %1").arg(record.id), query);
    return {};
}

base::Result<bool> RunDatabase::hasLogs(const QByteArray &digest)
{
    QSqlQuery query(db());
    query.prepare(QStringLiteral("SELECT 1 FROM runs WHERE digest = :digest LIMIT 1"));
    query.bindValue(QStringLiteral(":digest"), QString::fromLatin1(digest));
    if (!query.exec())
        return failure(QStringLiteral("cannot read the run records"), query);
    return query.next();
}

base::Result<RunRecord> RunDatabase::readRecord(QSqlQuery &query, bool withLogs) const
{
    RunRecord record;
    int column = 0;
    const auto next = [&query, &column] { return query.value(column++); };
    record.id = next().toString();
    record.station = next().toString();
    record.operatorName = next().toString();
    record.version = next().toString();
    record.port = next().toString();
    record.start = timeFromStored(next().toString());
    record.end = timeFromStored(next().toString());
    record.tests = next().toString();
    record.cycles = next().toInt();
    const QString ending = next().toString();
    record.ending = endingFromText(ending).value_or(runin::RunEnding::Unknown);
    record.serial = next().toString();
    ++column; // the total of errors, kept for queries
    for (auto &axis : record.axes) {
        axis.moves = next().toInt();
        axis.errors = next().toInt();
        const QVariant largest = next();
        if (!largest.isNull())
            axis.largest = largest.toDouble();
    }
    record.digest = next().toString().toLatin1();
    if (withLogs) {
        auto complete = unpackLog(next().toByteArray());
        auto errors = unpackLog(next().toByteArray());
        if (!complete || !errors)
            return base::fail(
                QStringLiteral("the run %1 in %2 cannot be read: %3")
                    .arg(record.id, m_name,
                         QString::fromStdString(complete ? errors.error() : complete.error()))
                    .toStdString());
        record.complete = std::move(*complete);
        record.errors = std::move(*errors);
    }
    return record;
}

QString RunDatabase::summaryColumns()
{
    QStringList columns = recordColumns();
    columns.removeLast();
    columns.removeLast();
    return columns.join(u',');
}

base::Result<std::vector<RunRecord>> RunDatabase::list(const RunFilter &filter)
{
    const FilterSql where = filterSql(filter);
    QSqlQuery query(db());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM runs WHERE %2 ORDER BY started, id")
                      .arg(summaryColumns(), where.sql()));
    where.bind(query);
    if (!query.exec())
        return failure(QStringLiteral("cannot read the run records"), query);
    std::vector<RunRecord> records;
    while (query.next()) {
        auto record = readRecord(query, false);
        if (!record)
            return base::fail(record.error());
        records.push_back(std::move(*record));
    }
    return records;
}

base::Result<RunRecord> RunDatabase::find(const QString &idOrLatest)
{
    QSqlQuery query(db());
    const QString columns = recordColumns().join(u',');
    if (idOrLatest == QLatin1String("latest")) {
        query.prepare(
            QStringLiteral("SELECT %1 FROM runs ORDER BY started DESC, id LIMIT 2").arg(columns));
    } else {
        static const QRegularExpression idText(QStringLiteral("^[0-9a-fA-F-]{1,36}$"));
        if (!idText.match(idOrLatest).hasMatch())
            return base::fail(QStringLiteral("\"%1\" is not a run id (give the id, its "
                                             "beginning as --runs shows it, or latest)")
                                  .arg(idOrLatest)
                                  .toStdString());
        query.prepare(QStringLiteral("SELECT %1 FROM runs WHERE id LIKE :prefix ORDER BY id "
                                     "LIMIT 2")
                          .arg(columns));
        query.bindValue(QStringLiteral(":prefix"), idOrLatest.toLower() + u'%');
    }
    if (!query.exec())
        return failure(QStringLiteral("cannot read the run records"), query);
    if (!query.next())
        return base::fail(
            (idOrLatest == QLatin1String("latest")
                 ? QStringLiteral("%1 holds no run").arg(m_name)
                 : QStringLiteral("no run with the id %1 in %2").arg(idOrLatest, m_name))
                .toStdString());
    auto record = readRecord(query, true);
    if (idOrLatest != QLatin1String("latest") && query.next())
        return base::fail(QStringLiteral("the id %1 is the beginning of more than one run in %2; "
                                         "give more of it")
                              .arg(idOrLatest, m_name)
                              .toStdString());
    return record;
}

base::Status RunDatabase::setSerial(const QString &id, const QString &serial)
{
    QSqlQuery query(db());
    query.prepare(m_kind == Kind::Station
                      ? QStringLiteral("UPDATE runs SET serial = :serial, revision = revision + 1 "
                                       "WHERE id = :id")
                      : QStringLiteral("UPDATE runs SET serial = :serial WHERE id = :id"));
    query.bindValue(QStringLiteral(":serial"), text(serial));
    query.bindValue(QStringLiteral(":id"), id);
    if (!query.exec())
        return failure(QStringLiteral("cannot give the run %1 its serial").arg(id), query);
    if (query.numRowsAffected() == 0)
        return base::fail(
            QStringLiteral("no run with the id %1 in %2").arg(id, m_name).toStdString());
    return {};
}

base::Result<std::vector<Waiting>> RunDatabase::waiting()
{
    QSqlQuery query(db());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT id, revision FROM runs WHERE sent_revision < revision "
                                   "ORDER BY started, id")))
        return failure(QStringLiteral("cannot read the outbox"), query);
    std::vector<Waiting> waiting;
    while (query.next())
        waiting.push_back({query.value(0).toString(), query.value(1).toLongLong()});
    return waiting;
}

base::Status RunDatabase::markSent(const Waiting &sent)
{
    // A serial given meanwhile raised the revision: that one still waits.
    QSqlQuery query(db());
    query.prepare(QStringLiteral("UPDATE runs SET sent_revision = :revision WHERE id = :id AND "
                                 "sent_revision < :revision"));
    query.bindValue(QStringLiteral(":revision"), sent.revision);
    query.bindValue(QStringLiteral(":id"), sent.id);
    if (!query.exec())
        return failure(QStringLiteral("cannot mark the run %1 as sent").arg(sent.id), query);
    return {};
}

QString plantConnection()
{
    const QString fromEnvironment = qEnvironmentVariable(kSettingsKey).trimmed();
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    const QSettings settings(
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            QStringLiteral("/velmaro/velmaro.conf"),
        QSettings::IniFormat);
    // An unquoted value with commas reads as a list; it was meant as one string.
    const QVariant value = settings.value(QLatin1String(kSettingsKey));
    if (value.metaType() == QMetaType::fromType<QStringList>())
        return value.toStringList().join(QStringLiteral(", ")).trimmed();
    return value.toString().trimmed();
}

QString stationDatabasePath()
{
    // The generic data home with our own folder: the same file for velmaro and velmaro-report,
    // whatever each calls itself.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/velmaro/runs.sqlite");
}

QString stationName()
{
    return QSysInfo::machineHostName();
}

QString operatorName()
{
    for (const char *variable : {"USER", "LOGNAME", "USERNAME"}) {
        const QString name = qEnvironmentVariable(variable);
        if (!name.isEmpty())
            return name;
    }
#ifndef Q_OS_WIN
    if (const passwd *entry = getpwuid(geteuid()); entry != nullptr && entry->pw_name != nullptr)
        return QString::fromLocal8Bit(entry->pw_name);
#endif
    return QStringLiteral("unknown");
}

} // namespace runs
