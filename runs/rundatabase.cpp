#include "rundatabase.h"

#include "schema.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>
#include <QUuid>
#include <QVariant>

namespace runs {

namespace {

// How long a writer waits for the other program (velmaro and velmaro-report share the file).
constexpr int kBusyTimeoutMs = 10000;
constexpr int kConnectTimeoutS = 5;

QString newConnectionName()
{
    return QStringLiteral("velmaro-runs-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// What a failed statement means to its caller, by the codes of SQLite and PostgreSQL. A lost
// connection is the one failure a new connection may mend.
base::FailureKind kindOf(const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    // SQLITE_CORRUPT and SQLITE_NOTADB.
    if (code == QLatin1String("11") || code == QLatin1String("26"))
        return base::FailureKind::Damaged;
    // SQLITE_BUSY and SQLITE_LOCKED past the busy timeout; PostgreSQL's statement_timeout
    // (query_canceled) and lock_timeout (lock_not_available).
    if (code == QLatin1String("5") || code == QLatin1String("6") ||
        code == QLatin1String("57014") || code == QLatin1String("55P03"))
        return base::FailureKind::TimedOut;
    // A PostgreSQL state outside the classes of a lost or refused connection (08), a server
    // going down (57P) or out of resources (53) is the statement's own: a new connection
    // would fail it again. No state at all is a connection that died under it.
    static const QRegularExpression sqlState(QStringLiteral("^[0-9A-Z]{5}$"));
    if (sqlState.match(code).hasMatch() && !code.startsWith(QLatin1String("08")) &&
        !code.startsWith(QLatin1String("57P")) && !code.startsWith(QLatin1String("53")))
        return base::FailureKind::Internal;
    return base::FailureKind::Unavailable;
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

QSqlDatabase RunDatabase::connection() const
{
    return QSqlDatabase::database(m_connection, false);
}

base::Result<std::unique_ptr<RunDatabase>> RunDatabase::openStation(const QString &path)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        return base::fail(base::FailureKind::Unavailable,
                          QStringLiteral("cannot make the folder \"%1\" for the run records")
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
        return base::fail(base::FailureKind::Damaged,
                          QStringLiteral("the run records \"%1\" are damaged (%2) and cannot be "
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
    QSqlDatabase database = store->connection();
    if (!database.open())
        return base::fail(base::FailureKind::Unavailable,
                          QStringLiteral("cannot open the run records \"%1\": %2")
                              .arg(path, database.lastError().text())
                              .toStdString());
    // Write-ahead logging lets velmaro and velmaro-report read and write the file at once.
    QSqlQuery wal(database);
    if (!wal.exec(QStringLiteral("PRAGMA journal_mode=WAL"))) {
        base::Failure why = store->failure(QStringLiteral("cannot open the run records"), wal);
        *damaged = why.kind == base::FailureKind::Damaged;
        return why;
    }
    wal.finish();
    if (auto migrated = schema::migrate(*store); !migrated) {
        QSqlQuery check(database);
        *damaged = !check.exec(QStringLiteral("PRAGMA quick_check")) || !check.next() ||
                   check.value(0).toString() != QLatin1String("ok");
        return migrated.failure();
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
        QSqlDatabase database = plant->connection();
        if (!database.isValid())
            refused = QStringLiteral("the PostgreSQL driver of Qt (package libqt6sql6-psql) is "
                                     "missing");
        else if (!database.open())
            refused = QStringLiteral("cannot connect to %1: %2")
                          .arg(plant->m_name, database.lastError().text().trimmed());
    }
    if (!refused.isEmpty())
        return base::fail(base::FailureKind::Unavailable, refused.toStdString());
    // The server's notices ("already exists, skipping") are not for the operator.
    if (auto quiet = plant->exec(QStringLiteral("SET client_min_messages = warning")); !quiet)
        return quiet.failure();
    if (auto migrated = schema::migrate(*plant); !migrated)
        return migrated.failure();
    return plant;
}

base::Failure RunDatabase::failure(const QString &what, const QSqlQuery &query) const
{
    return base::fail(kindOf(query.lastError()),
                      QStringLiteral("%1 (%2): %3")
                          .arg(what, m_name, query.lastError().text().trimmed())
                          .toStdString());
}

base::Status RunDatabase::exec(const QString &sql)
{
    QSqlQuery query(connection());
    if (!query.exec(sql))
        return failure(QStringLiteral("cannot use the run records"), query);
    return {};
}

base::Result<Transaction> Transaction::begin(RunDatabase &database)
{
    if (auto begun = database.exec(database.isPlant() ? QStringLiteral("BEGIN")
                                                      : QStringLiteral("BEGIN IMMEDIATE"));
        !begun)
        return begun.failure();
    return Transaction(database);
}

Transaction::~Transaction()
{
    if (m_database != nullptr) {
        QSqlQuery rollback(m_database->connection());
        rollback.exec(QStringLiteral("ROLLBACK"));
    }
}

base::Status Transaction::commit()
{
    // A commit that fails is rolled back all the same.
    auto committed = m_database->exec(QStringLiteral("COMMIT"));
    if (committed)
        m_database = nullptr;
    return committed;
}

} // namespace runs
