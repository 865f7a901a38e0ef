#include "renamer/PageCache.h"
#include "utility/LogCategory.h"

#include "utility/FileRename.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

#include <utility>

namespace zorv {

namespace {

const qint64 dayMs = 24 * 60 * 60 * 1000;

// SQLite's primary result codes that say another connection holds the file.
const int sqliteBusy = 5;
const int sqliteLocked = 6;
// Those that say the file itself is broken.
const int sqliteCorrupt = 11;
const int sqliteNotADatabase = 26;

std::atomic<int> connectionCount{0};

QString newConnectionName()
{
    return QStringLiteral("zorv-pages-%1").arg(++connectionCount);
}

// Opens the file under this connection name and makes sure it holds the
// table. WAL lets readers go on while another program writes.
bool openConnection(const QString &name, const QString &path, QSqlError *error)
{
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    database.setDatabaseName(path);
    database.setConnectOptions(
        QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(PageCache::BusyTimeoutMs));
    if (!database.open()) {
        *error = database.lastError();
        return false;
    }
    QSqlQuery query(database);
    for (const char *statement :
         {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL",
          "CREATE TABLE IF NOT EXISTS pages (url TEXT PRIMARY KEY, found INTEGER NOT NULL, "
          "work TEXT NOT NULL, message TEXT, fetched INTEGER NOT NULL, "
          "plugin TEXT NOT NULL, plugin_version TEXT NOT NULL)",
          "CREATE INDEX IF NOT EXISTS pages_by_age ON pages (fetched)"}) {
        if (!query.exec(QString::fromLatin1(statement))) {
            *error = query.lastError();
            return false;
        }
    }
    return true;
}

void closeConnection(const QString &name)
{
    if (!QSqlDatabase::contains(name))
        return;
    QSqlDatabase::database(name, false).close();
    QSqlDatabase::removeDatabase(name);
}

int primaryCode(const QSqlError &error)
{
    return error.nativeErrorCode().toInt() & 0xff;
}

bool isDamage(const QSqlError &error)
{
    const int code = primaryCode(error);
    return code == sqliteCorrupt || code == sqliteNotADatabase;
}

} // namespace

PageCache::PageCache(const QString &path, int capacity)
    : path_(path)
    , capacity(qMax(1, capacity))
    , connectionName(newConnectionName())
{
}

PageCache::~PageCache()
{
    close();
}

QString PageCache::defaultPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation))
        .filePath(QStringLiteral("pages.sqlite"));
}

void PageCache::setClock(std::function<QDateTime()> clock)
{
    this->clock = std::move(clock);
}

qint64 PageCache::nowMs() const
{
    return (clock ? clock() : QDateTime::currentDateTimeUtc()).toMSecsSinceEpoch();
}

bool PageCache::lookup(const QUrl &url, const PluginInfo &plugin, PageMemory::Page *page)
{
    if (!open())
        return false;
    QSqlQuery query(QSqlDatabase::database(connectionName, false));
    query.prepare(QStringLiteral("SELECT found, work, message, fetched FROM pages "
                                 "WHERE url = ? AND plugin = ? AND plugin_version = ?"));
    query.addBindValue(url.toString(QUrl::FullyEncoded));
    query.addBindValue(plugin.name);
    query.addBindValue(plugin.version);
    if (!query.exec()) {
        fail(query.lastError());
        return false;
    }
    if (!query.next())
        return false;
    PageMemory::Page kept;
    kept.found = query.value(0).toBool();
    kept.fetchedMs = query.value(3).toLongLong();
    const QJsonDocument work = QJsonDocument::fromJson(query.value(1).toString().toUtf8());
    if (!PageMemory::isFresh(kept, nowMs()) || !work.isObject())
        return false;
    kept.work = WorkInfo::fromJson(work.object());
    kept.message = query.value(2).toString();
    *page = kept;
    return true;
}

void PageCache::store(const QUrl &url, const PluginInfo &plugin, const PageMemory::Page &page)
{
    const QByteArray work = QJsonDocument(page.work.toJson()).toJson(QJsonDocument::Compact);
    if (work.size() + page.message.toUtf8().size() > MaxRecordBytes) {
        qCDebug(lcZorv).noquote() << QStringLiteral("%1 {page %2 not kept: over %3 bytes}")
                                         .arg(QLatin1String(Q_FUNC_INFO),
                                              url.toString(QUrl::FullyEncoded))
                                         .arg(MaxRecordBytes);
        return;
    }
    if (!open())
        return;
    QSqlQuery query(QSqlDatabase::database(connectionName, false));
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO pages (url, found, work, message, "
                                 "fetched, plugin, plugin_version) VALUES (?, ?, ?, ?, ?, ?, ?)"));
    query.addBindValue(url.toString(QUrl::FullyEncoded));
    query.addBindValue(page.found ? 1 : 0);
    query.addBindValue(QString::fromUtf8(work));
    query.addBindValue(page.message);
    query.addBindValue(page.fetchedMs);
    query.addBindValue(plugin.name);
    query.addBindValue(plugin.version);
    if (!query.exec())
        return fail(query.lastError());
    // Counted only when the estimate passes the bound, so that a full cache
    // costs one count per new page, not one per page.
    if (++rowsEstimate > capacity)
        prune();
}

bool PageCache::open()
{
    if (state == Open)
        return true;
    // The connection of an earlier open goes first: a damaged file is set
    // aside only once nothing uses it.
    closeConnection(connectionName);
    if (state == Damaged)
        beginAnew();
    if (state != Closed)
        return false;
    QDir().mkpath(QFileInfo(path_).absolutePath());
    QSqlError error;
    if (!openConnection(connectionName, path_, &error)) {
        fail(error);
        return state == Damaged && open();
    }
    state = Open;
    return prune();
}

bool PageCache::prune()
{
    QSqlQuery query(QSqlDatabase::database(connectionName, false));
    query.prepare(QStringLiteral("DELETE FROM pages WHERE fetched < ?"));
    query.addBindValue(nowMs() - FoundLifetimeDays * dayMs);
    bool done =
        query.exec() && query.exec(QStringLiteral("SELECT COUNT(*) FROM pages")) && query.next();
    rowsEstimate = done ? query.value(0).toLongLong() : 0;
    if (done && rowsEstimate > capacity) {
        query.prepare(QStringLiteral("DELETE FROM pages WHERE url IN "
                                     "(SELECT url FROM pages ORDER BY fetched LIMIT ?)"));
        query.addBindValue(rowsEstimate - capacity);
        done = query.exec();
        rowsEstimate = capacity;
    }
    if (!done)
        fail(query.lastError());
    return done;
}

void PageCache::close()
{
    closeConnection(connectionName);
    if (state == Damaged)
        beginAnew();
    if (state == Open)
        state = Closed;
}

void PageCache::fail(const QSqlError &error)
{
    // Another program held the file past the busy time-out (a clearing, a
    // prune of a large cache, a backup): this lookup or store is skipped,
    // and the next one may well find the file free.
    const int code = primaryCode(error);
    if (code == sqliteBusy || code == sqliteLocked) {
        report(busyReported, QStringLiteral("is held by another program (%1); pages are "
                                            "fetched without it while it is")
                                 .arg(error.text()));
        return;
    }
    // Set aside at the next open or close, when no query uses the file.
    if (isDamage(error) && !setAsideOnce) {
        state = Damaged;
        damage = error.text();
        return;
    }
    state = Unusable;
    report(reported,
           QStringLiteral("cannot be used (%1); pages are fetched without it").arg(error.text()));
}

void PageCache::beginAnew()
{
    // Once: a file that breaks again is left alone.
    setAsideOnce = true;
    QString aside;
    if (!setAside(&aside)) {
        state = Unusable;
        report(reported,
               QStringLiteral("is damaged (%1) and cannot be set aside; pages are fetched "
                              "without it")
                   .arg(damage));
        return;
    }
    state = Closed;
    report(reported, QStringLiteral("was damaged (%1); it is set aside as %2 and a new one begun")
                         .arg(damage, aside));
}

bool PageCache::setAside(QString *aside)
{
    *aside = path_ + QStringLiteral(".damaged");
    QFile::remove(*aside);
    // The journal files belong to the damaged file and would spoil the new one.
    QFile::remove(path_ + QStringLiteral("-wal"));
    QFile::remove(path_ + QStringLiteral("-shm"));
    return FileRename::renameNoReplace(path_, *aside, nullptr) == FileRename::Renamed;
}

void PageCache::report(bool &said, const QString &problem)
{
    if (std::exchange(said, true))
        return;
    qCWarning(lcZorv).noquote() << QStringLiteral("the page cache %1 %2").arg(path_, problem);
    emit failed(problem);
}

bool PageCache::clear(QString *error)
{
    bool cleared = !QFileInfo::exists(path_); // nothing kept, nothing to forget
    if (!cleared) {
        const QString name = newConnectionName();
        QSqlError sqlError;
        {
            cleared = openConnection(name, path_, &sqlError);
            QSqlQuery query(QSqlDatabase::database(name, false));
            if (cleared && !query.exec(QStringLiteral("DELETE FROM pages"))) {
                sqlError = query.lastError();
                cleared = false;
            }
        }
        closeConnection(name);
        // A damaged file holds nothing worth keeping: set aside, it is empty.
        QString aside;
        if (!cleared && isDamage(sqlError))
            cleared = setAside(&aside);
        if (!cleared && error)
            *error = sqlError.text();
    }
    ++generation_;
    return cleared;
}

} // namespace zorv
