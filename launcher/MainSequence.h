// The launcher's main sequence: find the payload in the launcher's own file, stage the first
// payload archive in a new temporary file, expand the engine entry into the Windows directory (or,
// when no file can be created there, next to the staged archive), start the engine with
// "/SOURCE=<launcher>" and "/DATA=<staged archive>" and wait for it.
//
// Exit codes: 0 after the engine has run (whatever its own exit code) and when the file carries no
// payload (after one beep); 1 after the error report. The error report ends every failure:
//   - the launcher file cannot be opened, the staged archive or the fallback engine file cannot be
//     created or written;
//   - the first archive's length field is negative or larger than the bytes behind it (checked
//     before anything is written);
//   - the engine entry cannot be expanded (damaged archive, bad checksum, full disk) or is missing:
//     the engine file is removed and never started;
//   - the engine cannot be started.
// The staged archive and the engine file are left in place for the engine.
#pragma once

#include <cstdint>
#include <string>

#include <instcompress/Events.h>

#include "Platform.h"

namespace qvx::launcher {

inline constexpr char kEngineFileName[] = "Quorvex.exe";
inline constexpr char kEngineEntryName[] = "Installer\\Quorvex.exe";

// Runs the whole sequence, ending every failure with the error report; returns the exit code.
int RunLauncher(Platform& platform) noexcept;

// The steps, each usable on its own.

// The Windows directory with exactly one trailing delimiter.
std::string GetWindowsDirPath(Platform& platform);
// Everything of path up to and including its last directory delimiter ("" when it has none).
std::string DirectoryPart(const Platform& platform, const std::string& path);
// "\"/SOURCE=<ownPath>\" \"/DATA=<tempArchivePath>\"".
std::string EngineParameters(const std::string& ownPath, const std::string& tempArchivePath);
// Expands every entry named entryName of the archive file into dest; returns how many there were.
int ExtractEntryToStream(const std::string& archivePath, TStream& dest, const std::string& entryName,
                         TShowProgressEvent progress);

}  // namespace qvx::launcher
