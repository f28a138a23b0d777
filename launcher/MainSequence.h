// The launcher's main sequence: find the payload in the launcher's own file, stage the first
// payload archive in a new temporary file, expand the engine entry into the Windows directory (or,
// when no engine can be placed there, next to the staged archive), start the engine with
// "/SOURCE=<launcher>" and "/DATA=<staged archive>" and wait for it.
//
// Exit codes: 0 after the engine has run (whatever its own exit code) and when the file carries no
// payload (after one beep); 1 after the error report. The error report ends every failure:
//   - the launcher file cannot be opened, the staged archive or an engine file cannot be created
//     (at the fallback location too) or written;
//   - the first archive's length field is negative or larger than the bytes behind it (checked
//     before anything is written);
//   - the engine entry cannot be expanded in full and verified (damaged archive, bad checksum,
//     full disk), is missing, or the engine file changed before its start;
//   - the engine cannot be started.
// A failed run starts nothing and removes every file it created (the staged archive, the engine);
// a file already at the engine's path is replaced only by a verified engine. After a successful
// start the staged archive and the engine file stay for the engine.
//
// Files are created only as new files and never through a link (LauncherFile.h): a link or any
// other non-file at the engine's path counts as "cannot create", so the engine goes to the
// fallback location, and there ends the run with the error report.
#pragma once

#include <string>

#include "EngineEntry.h"
#include "Platform.h"

namespace qvx::launcher {

inline constexpr char kTempArchivePrefix[] = "QVX";
inline constexpr char kTempArchiveSuffix[] = ".tmp";

// Runs the whole sequence, ending every failure with the error report; returns the exit code.
int RunLauncher(Platform& platform) noexcept;

// The steps, each usable on its own.

// The Windows directory with exactly one trailing delimiter.
std::string GetWindowsDirPath(Platform& platform);
// Everything of path up to and including its last directory delimiter ("" when it has none).
std::string DirectoryPart(const Platform& platform, const std::string& path);
// "\"/SOURCE=<ownPath>\" \"/DATA=<tempArchivePath>\"".
std::string EngineParameters(const std::string& ownPath, const std::string& tempArchivePath);

}  // namespace qvx::launcher
