// The installed tree: what `cmake --install` puts where a Debian system looks
// for it, checked by the system's own tools, and the per-user files of a first start.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>

#include "core/base/ConfigPaths.h"
#include "support/TestSupport.h"

namespace merilog {
namespace {

using test::RunProgram;
using test::TempFolder;

constexpr char kMetainfo[] = "share/metainfo/org.example.merilog.metainfo.xml";

class Installed : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    prefix_ = new TempFolder;
    QString out, err;
    const int code = RunProgram(MERILOG_CMAKE_COMMAND, {"--install", MERILOG_BUILD_DIR, "--prefix", prefix_->Path()},
                                &out, &err, 120000);
    ASSERT_EQ(code, 0) << err.toStdString();
  }
  static void TearDownTestSuite() {
    delete prefix_;
    prefix_ = nullptr;
  }
  static QString At(const QString& relative) { return QDir(prefix_->Path()).filePath(relative); }
  static TempFolder* prefix_;
};
TempFolder* Installed::prefix_ = nullptr;

// The programs, desktop entries, manual pages and language file are run, checked
// or read by the tests below; these files only need to be there.
TEST_F(Installed, EveryFileIsWhereTheSystemLooksForIt) {
  for (const char* f : {"share/merilog/bench-example.ini", "share/icons/hicolor/scalable/apps/merilog.svg",
                        "share/icons/hicolor/48x48/apps/merilog.png", "lib/udev/rules.d/60-merilog.rules",
                        "share/doc/merilog/README.md", "share/doc/merilog/copyright",
                        "share/doc/merilog/lab-server.md", "share/bash-completion/completions/merilog-cli",
                        "share/doc/merilog/guide/README.md", "share/doc/merilog/guide/records.md",
                        "share/doc/merilog/images/main-idle.png", "share/doc/merilog/main-reading-multi.png"})
    EXPECT_TRUE(QFileInfo::exists(At(f))) << f;
}

// The changelog's newest entry and the software centres' newest release name the version the programs print.
TEST_F(Installed, ChangelogAndReleaseNameThisVersion) {
  QString out, err;
  ASSERT_EQ(RunProgram("gzip", {"-dc", At("share/doc/merilog/changelog.gz")}, &out, &err), 0) << err.toStdString();
  EXPECT_TRUE(out.startsWith(QString("merilog (%1) ").arg(MERILOG_VERSION))) << out.left(80).toStdString();
  QFile metainfo(At(kMetainfo));
  ASSERT_TRUE(metainfo.open(QIODevice::ReadOnly));
  const QString xml = QString::fromUtf8(metainfo.readAll());
  EXPECT_TRUE(xml.contains(QString("<release version=\"%1\"").arg(MERILOG_VERSION))) << xml.toStdString();
}

TEST_F(Installed, DesktopEntriesAndManualPagesPassTheSystemsChecks) {
  QString out, err;
  for (const char* entry : {"merilog.desktop", "merilog-simulated.desktop"}) {
    EXPECT_EQ(RunProgram("desktop-file-validate", {At(QString("share/applications/") + entry)}, &out, &err), 0)
        << entry << ": " << out.toStdString() << err.toStdString();
    EXPECT_TRUE(out.trimmed().isEmpty()) << out.toStdString();
  }
  for (const char* page : {"merilog.1.gz", "merilog-cli.1.gz", "merilog-simmeter.1.gz"}) {
    ASSERT_EQ(RunProgram("man", {"--warnings", "-l", "-P", "cat", At(QString("share/man/man1/") + page)}, &out, &err),
              0)
        << page;
    EXPECT_TRUE(err.trimmed().isEmpty()) << page << ": " << err.toStdString();
    for (const char* section : {"NAME", "EXIT STATUS", "ENVIRONMENT", "FILES", "EXAMPLES"})
      EXPECT_TRUE(out.contains(QString("\n") + section + "\n")) << page << " has no " << section;
    // All of groff's warnings, not only those man asks for.
    const QString source = QString(MERILOG_SOURCE_DATA_DIR "/man/") + QString(page).chopped(3);
    EXPECT_EQ(RunProgram("groff", {"-ww", "-z", "-man", "-Tutf8", source}, &out, &err), 0) << page;
    EXPECT_TRUE(err.trimmed().isEmpty()) << page << ": " << err.toStdString();
  }
  // Software centres list the program from its AppStream file (no URL is fetched: tests stay off the network).
  EXPECT_EQ(RunProgram("appstreamcli", {"validate", "--no-net", At(kMetainfo)}, &out, &err), 0)
      << out.toStdString() << err.toStdString();
  // udevadm checks a rules file only from systemd 253 on ("verify"); where it can, it must pass.
  if (!QStandardPaths::findExecutable("udevadm").isEmpty() &&
      RunProgram("udevadm", {"verify", "--help"}, &out, &err) == 0) {
    EXPECT_EQ(RunProgram("udevadm", {"verify", At("lib/udev/rules.d/60-merilog.rules")}, &out, &err), 0)
        << err.toStdString();
  }
}

TEST_F(Installed, ProgramsTellTheirVersionAndOptionsAndRefuseUnknownOnes) {
  QString out, err;
  for (const char* program : {"merilog", "merilog-cli", "merilog-simmeter"}) {
    const QString path = At(QString("bin/") + program);
    ASSERT_EQ(RunProgram(path, {"--version"}, &out, &err), 0) << program << err.toStdString();
    EXPECT_TRUE(out.startsWith(QString(program) + " " + MERILOG_VERSION)) << out.toStdString();
    ASSERT_EQ(RunProgram(path, {"--help"}, &out, &err), 0) << program;
    EXPECT_TRUE(out.contains("--version")) << program;
    EXPECT_EQ(RunProgram(path, {"--no-such-option"}, &out, &err), 2) << program;
    EXPECT_TRUE(err.contains("--no-such-option")) << program << ": " << err.toStdString();
  }
}

// Every command merilog-cli lists has an example in its manual page.
TEST_F(Installed, TheCommandLinesManualPageShowsEveryCommandAtWork) {
  QString help, page, err;
  ASSERT_EQ(RunProgram(At("bin/merilog-cli"), {"--help"}, &help, &err), 0);
  ASSERT_EQ(RunProgram("man", {"-l", "-P", "cat", At("share/man/man1/merilog-cli.1.gz")}, &page, &err), 0);
  const QString examples = page.section("\nEXAMPLES\n", 1).section("\nSEE ALSO\n", 0, 0);
  const QString commands = help.section("commands:\n", 1).section("\n\n", 0, 0);
  static const QRegularExpression entry("^  (\\S+(?: [a-z]+)?)  ", QRegularExpression::MultilineOption);
  int seen = 0;
  for (auto m = entry.globalMatch(commands); m.hasNext(); ++seen) {
    const QString command = m.next().captured(1);
    const QRegularExpression example("merilog-cli( --?\\S+( \\S+)?)* " + QRegularExpression::escape(command) + "\\b");
    EXPECT_TRUE(example.match(examples).hasMatch()) << "no example of " << command.toStdString();
  }
  EXPECT_GE(seen, 18);
}

TEST_F(Installed, FirstStartCopiesTheLanguageFileToTheUsersFolder) {
  TempFolder home;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("MERILOG_CONFIG_DIR");
  env.remove("XDG_CONFIG_HOME");
  env.insert("HOME", home.Path());
  QString out, err;
  // An installed program finds its language file beside it and works from the user's copy.
  ASSERT_EQ(RunProgram(At("bin/merilog-cli"), {"--simulate", "devices"}, &out, &err, 30000, {}, env), 0)
      << err.toStdString();
  const QString copy = home.File(".config/merilog/MERILOG.ini");
  ASSERT_TRUE(QFileInfo::exists(copy));
  EXPECT_TRUE(QFileInfo(copy).isWritable());
  QFile installed(At("share/merilog/MERILOG.ini")), user(copy);
  ASSERT_TRUE(installed.open(QIODevice::ReadOnly) && user.open(QIODevice::ReadOnly));
  EXPECT_EQ(installed.readAll(), user.readAll());
}

// The package `setup.sh package` makes, from this build tree, checked by Debian's own tool: no error,
// no warning, and no information beyond what is explained below.
TEST(Package, LintianFindsNothingToFix) {
  TempFolder folder;
  QString out, err;
  ASSERT_EQ(RunProgram(MERILOG_CPACK_COMMAND,
                       {"-G", "DEB", "-B", folder.Path(), "--config", MERILOG_BUILD_DIR "/CPackConfig.cmake"}, &out,
                       &err, 300000, folder.Path()),
            0)
      << out.toStdString() << err.toStdString();
  const QStringList debs = QDir(folder.Path()).entryList({"merilog_*.deb"});
  ASSERT_EQ(debs.size(), 1);
  const QString deb = folder.File(debs[0]);
  ASSERT_EQ(RunProgram("dpkg-deb", {"--field", deb, "Section"}, &out, &err), 0);
  EXPECT_EQ(out.trimmed(), "electronics");
  // What the programs load at run time is recommended, as no library scan can find it.
  ASSERT_EQ(RunProgram("dpkg-deb", {"--field", deb, "Recommends"}, &out, &err), 0);
  for (const char* library : {"libtirpc3", "libavahi-client3"}) EXPECT_TRUE(out.contains(library)) << library;

  ASSERT_EQ(RunProgram("lintian", {"--info", "--tag-display-limit", "0", deb}, &out, &err, 300000), 0)
      << out.toStdString() << err.toStdString();
  for (const QString& line : out.split('\n', Qt::SkipEmptyParts)) {
    // "Statement needs to be reseted" is SQLiteCpp's text, compiled in from its static library.
    if (line.contains(" spelling-error-in-binary reseted reset ")) continue;
    // A developer's tree built without the hardening flags that setup.sh turns on.
    if (!MERILOG_HARDENED &&
        (line.contains(" hardening-no-bindnow ") || line.contains(" hardening-no-fortify-functions ")))
      continue;
    ADD_FAILURE() << line.toStdString();
  }
}

}  // namespace

TEST(PerUserFiles, TheUsersCopyIsMadeOnceAndTheMenuFolderWithItsDbFolder) {
  test::TempFolder installed, home, xdg;
  QFile f(installed.File("MERILOG.ini"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("[English(U.S)]\n1000=No Device Connected\n");
  f.close();
  // A build tree without an installed file keeps its own copy.
  EXPECT_EQ(ResolveConfigurationDirectory({}, {}, {}, home.Path()), QStringLiteral(MERILOG_BUILD_CONFIG_DIR));
  // XDG_CONFIG_HOME, else ~/.config; the copy is made once and then kept as the user changed it.
  const QString user = ResolveConfigurationDirectory({}, installed.Path(), xdg.Path(), home.Path());
  EXPECT_EQ(user, xdg.File("merilog"));
  QFile mine(QDir(user).filePath("MERILOG.ini"));
  ASSERT_TRUE(mine.open(QIODevice::Append));
  mine.write("[Information]\nLanguageID=Chinese(Simplify)\n");
  mine.close();
  EXPECT_EQ(ResolveConfigurationDirectory({}, installed.Path(), xdg.Path(), home.Path()), user);
  ASSERT_TRUE(mine.open(QIODevice::ReadOnly));
  EXPECT_TRUE(mine.readAll().contains("LanguageID"));
  // A relative XDG_CONFIG_HOME is ignored, as the XDG rules say: ~/.config is used.
  const test::WorkingFolder current;
  EXPECT_EQ(ResolveConfigurationDirectory({}, installed.Path(), QStringLiteral("rel"), home.Path()),
            home.File(".config/merilog"));
  EXPECT_FALSE(QFileInfo::exists(current.File(QStringLiteral("rel"))));

  const QString folder = MenuWorkingFolder(home.Path());
  EXPECT_EQ(folder, home.File("MERILOG"));
  EXPECT_TRUE(QFileInfo(home.File("MERILOG/DB")).isDir());
  EXPECT_EQ(MenuWorkingFolder(home.Path()), folder);  // and again, unchanged
}

}  // namespace merilog
