#pragma once
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <optional>

namespace merilog::test {

// A private PostgreSQL cluster in a temporary folder, reached only through a
// Unix socket in that folder (no TCP port is opened). The server refuses to run
// as root, so a root process runs it as the user "postgres". initdb runs once
// per machine into a template that each cluster copies.
//
// Roles: "postgres" (superuser) and "merilog" log in without a password;
// "guarded" needs its password "right" (for the refusal tests). Database "lab"
// belongs to merilog.
class PostgresCluster {
 public:
  // Where PostgreSQL's programs are: version 15 when present, else the newest.
  static QString BinDir() {
    QString best;
    int bestVersion = 0;
    for (const QString& v : QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
      const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(v);
      if (!QFileInfo(bin + QStringLiteral("/initdb")).isExecutable()) continue;
      const int n = v.toInt();
      if (n == 15) return bin;
      if (n > bestVersion) bestVersion = n, best = bin;
    }
    return best;
  }
  // Why no cluster can be made here; empty when one can.
  static QString Unavailable() {
    if (BinDir().isEmpty())
      return QStringLiteral(
          "PostgreSQL's programs are not installed (/usr/lib/postgresql/15/bin: apt-get install "
          "postgresql)");
    if (::geteuid() == 0 && !::getpwnam("postgres"))
      return QStringLiteral("running as root, and there is no user \"postgres\" to run the server as");
    return {};
  }

  explicit PostgresCluster(bool start = true, bool fast = true) : fast_(fast) {
    error_ = Unavailable();
    if (!error_.isEmpty()) return;
    if (!dir_.isValid()) {
      error_ = QStringLiteral("no temporary folder");
      return;
    }
    const QString tmpl = Template();
    if (tmpl.isEmpty()) return;
    QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeGroup |
                                           QFile::ExeOther | QFile::ReadGroup | QFile::ReadOther);
    QDir(dir_.path()).mkdir(QStringLiteral("sock"));
    if (!Run(QStringLiteral("cp"), {QStringLiteral("-a"), tmpl + QStringLiteral("/data"), DataDir()}, false)) return;
    GiveAway(SocketDir());
    if (start) Start();
  }
  ~PostgresCluster() {
    if (running_) Stop(true);
  }
  PostgresCluster(const PostgresCluster&) = delete;
  PostgresCluster& operator=(const PostgresCluster&) = delete;

  bool Ready() const { return error_.isEmpty(); }
  const QString& Error() const { return error_; }
  QString SocketDir() const { return dir_.path() + QStringLiteral("/sock"); }
  QString DataDir() const { return dir_.path() + QStringLiteral("/data"); }

  QString ConnInfo(const QString& user = QStringLiteral("merilog"), const QString& extra = {}) const {
    QString info = QStringLiteral("host=%1 port=5432 dbname=lab user=%2").arg(SocketDir(), user);
    if (!extra.isEmpty()) info += QLatin1Char(' ') + extra;
    return info;
  }

  bool Start() {
    QStringList options{QStringLiteral("-k"), SocketDir(), QStringLiteral("-c"), QStringLiteral("listen_addresses=")};
    if (fast_)
      options << QStringLiteral("-c") << QStringLiteral("fsync=off") << QStringLiteral("-c")
              << QStringLiteral("synchronous_commit=off") << QStringLiteral("-c")
              << QStringLiteral("full_page_writes=off");
    running_ = PgCtl({QStringLiteral("-D"), DataDir(), QStringLiteral("-l"),
                      SocketDir() + QStringLiteral("/server.log"), QStringLiteral("-w"), QStringLiteral("-t"),
                      QStringLiteral("120"), QStringLiteral("-o"), ShellJoin(options), QStringLiteral("start")});
    return running_;
  }
  // Immediate: the server stops at once, as if killed (no checkpoint).
  bool Stop(bool immediate = true) {
    const bool ok = PgCtl({QStringLiteral("-D"), DataDir(), QStringLiteral("-m"),
                           immediate ? QStringLiteral("immediate") : QStringLiteral("fast"), QStringLiteral("-w"),
                           QStringLiteral("stop")});
    if (ok) running_ = false;
    return ok;
  }

  // Runs SQL with psql as the superuser (or `user`); the unaligned output, trimmed.
  QString Sql(const QString& sql, bool* ok = nullptr, const QString& user = QStringLiteral("postgres")) const {
    QProcess p;
    p.start(
        BinDir() + QStringLiteral("/psql"),
        // -w: a password is never asked for on a terminal; a refusal is an answer.
        {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-w"), QStringLiteral("-A"), QStringLiteral("-t"),
         QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), SocketDir(),
         QStringLiteral("-U"), user, QStringLiteral("-d"), QStringLiteral("lab"), QStringLiteral("-c"), sql});
    const bool done = p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (ok) *ok = done;
    if (!done) last_ = QString::fromLocal8Bit(p.readAllStandardError());
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
  }
  const QString& LastSqlError() const { return last_; }

 private:
  static QString ShellJoin(const QStringList& words) {
    QStringList quoted;
    for (const QString& w : words) quoted << QLatin1Char('\'') + QString(w).replace("'", "'\\''") + QLatin1Char('\'');
    return quoted.join(QLatin1Char(' '));
  }
  // Runs a program, as "postgres" when asPostgres and we are root.
  bool Run(const QString& program, const QStringList& args, bool asPostgres = true) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (asPostgres && ::geteuid() == 0)
      p.start(QStringLiteral("runuser"),
              QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), program} + args);
    else
      p.start(program, args);
    if (!p.waitForFinished(180000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
      error_ = QStringLiteral("%1 failed: %2").arg(program, QString::fromLocal8Bit(p.readAll()).trimmed());
      return false;
    }
    return true;
  }
  bool PgCtl(const QStringList& args) { return Run(BinDir() + QStringLiteral("/pg_ctl"), args); }
  static void GiveAway(const QString& path) {
    if (::geteuid() != 0) return;
    if (const passwd* pw = ::getpwnam("postgres"))
      (void)!::chown(QFile::encodeName(path).constData(), pw->pw_uid, pw->pw_gid);
  }

  // The initialised cluster every test copies, made once (under a lock, since
  // tests run in parallel). Empty with error_ set when it cannot be made.
  QString Template() {
    const QString base =
        QDir::tempPath() +
        QStringLiteral("/merilog-pg-template-%1-%2-v1").arg(::geteuid()).arg(QFileInfo(BinDir()).dir().dirName());
    const int lock =
        ::open(QFile::encodeName(base + QStringLiteral(".lock")).constData(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    if (lock < 0 || ::flock(lock, LOCK_EX) != 0) {
      error_ = QStringLiteral("cannot lock %1.lock").arg(base);
      if (lock >= 0) ::close(lock);
      return {};
    }
    const QString ready = base + QStringLiteral("/ready");
    if (!QFileInfo::exists(ready)) {
      QDir(base).removeRecursively();
      QDir().mkpath(base + QStringLiteral("/sock"));
      QFile::setPermissions(base, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeGroup |
                                      QFile::ExeOther | QFile::ReadGroup | QFile::ReadOther);
      GiveAway(base);
      GiveAway(base + QStringLiteral("/sock"));
      const QString data = base + QStringLiteral("/data");
      const QString sock = base + QStringLiteral("/sock");
      bool ok = Run(BinDir() + QStringLiteral("/initdb"),
                    {QStringLiteral("-D"), data, QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-U"),
                     QStringLiteral("postgres"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                     QStringLiteral("--locale=C"), QStringLiteral("--no-sync"), QStringLiteral("--no-instructions")});
      if (ok) {
        // Small, so that parallel tests' clusters fit; passwords only for "guarded".
        QFile conf(data + QStringLiteral("/postgresql.conf"));
        ok = conf.open(QIODevice::Append) &&
             conf.write("\nmax_connections = 20\nshared_buffers = 16MB\nlisten_addresses = ''\n") > 0;
        conf.close();
        QFile hba(data + QStringLiteral("/pg_hba.conf"));
        ok = ok && hba.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
             hba.write("local all guarded scram-sha-256\nlocal all all trust\n") > 0;
        hba.close();
      }
      ok = ok && PgCtl({QStringLiteral("-D"), data, QStringLiteral("-l"), sock + QStringLiteral("/server.log"),
                        QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("120"), QStringLiteral("-o"),
                        ShellJoin({QStringLiteral("-k"), sock}), QStringLiteral("start")});
      if (ok) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(BinDir() + QStringLiteral("/psql"),
                {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                 QStringLiteral("-h"), sock, QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-d"),
                 QStringLiteral("postgres"), QStringLiteral("-c"),
                 QStringLiteral("CREATE ROLE merilog LOGIN; CREATE ROLE guarded LOGIN PASSWORD 'right'"),
                 QStringLiteral("-c"), QStringLiteral("CREATE DATABASE lab OWNER merilog"), QStringLiteral("-c"),
                 QStringLiteral("GRANT ALL ON DATABASE lab TO guarded")});
        ok = p.waitForFinished(120000) && p.exitCode() == 0;
        if (!ok) error_ = QStringLiteral("making the roles failed: %1").arg(QString::fromLocal8Bit(p.readAll()));
        ok = PgCtl({QStringLiteral("-D"), data, QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("-w"),
                    QStringLiteral("stop")}) &&
             ok;
      }
      if (ok) {
        QFile marker(ready);
        ok = marker.open(QIODevice::WriteOnly);
      }
      if (!ok && error_.isEmpty()) error_ = QStringLiteral("the template cluster could not be made");
    }
    ::close(lock);
    return error_.isEmpty() ? base : QString();
  }

  QTemporaryDir dir_{QDir::tempPath() + QStringLiteral("/merilog-pg-XXXXXX")};
  bool fast_ = true;
  bool running_ = false;
  QString error_;
  mutable QString last_;
};

}  // namespace merilog::test
