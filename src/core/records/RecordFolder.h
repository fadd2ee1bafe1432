#pragma once
#include <QString>
#include <optional>

namespace merilog {

class Prompter;

// Who looks for the working folder; names the caption of the box shown when it
// cannot be entered.
enum class RecordFolderCaller {
  SessionCheck,      // record check and preparation at session start
  ListCheck,         // Reading Settings lists and record chart list
  ChartDraw,         // record chart drawing
  Viewer,            // record viewer list
  MultipleReadings,  // multiple readings list
};
QString RecordFolderCaption(RecordFolderCaller caller);

// Records are numbered 1 to 10.
constexpr int kFirstRecordNumber = 1;
constexpr int kLastRecordNumber = 10;

enum class RecordFileKind { Record, DBfile };

// "<folder>/Record n.mdb" or "<folder>/DBfile_DBn.mdb".
QString RecordFilePath(RecordFileKind kind, const QString& folder, int number);

// The working folder for a current directory: unchanged when its path holds
// "DB" (case-sensitive), else the directory followed by "/DB".
QString DeriveRecordFolder(const QString& currentDirectory);

// Derives the working folder from the current directory and makes it current.
// When it cannot be entered, shows "Database working folder not found." with
// the caller's caption and gives nothing back. The folder is never created here.
std::optional<QString> FindRecordFolder(Prompter& prompter, RecordFolderCaller caller);

// Makes a folder found earlier current again (the viewer and the multiple
// readings dialog keep theirs); false, after the same message, when it fails.
bool EnterRecordFolder(const QString& folder, Prompter& prompter, RecordFolderCaller caller);

// Whether the file of a record exists. When the folder itself has vanished
// since it was entered, it is created again (and made current) and the answer
// is false.
bool RecordFileExists(RecordFileKind kind, const QString& folder, int number);
bool RecordFileExists(const QString& path);

// Renames a file made under a temporary name into its place, never over a
// file that appeared meanwhile: 0, or the system's error (EEXIST when the name is taken).
int PutRecordFileInPlace(const QString& from, const QString& to);

// Removes a record file together with the engine's side files ("-wal", "-shm",
// "-journal"), so a later file of the same name never meets stale ones. A link
// under one of these names is removed itself; its target is left alone.
bool RemoveRecordFile(const QString& path);

}  // namespace merilog
