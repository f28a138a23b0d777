// What `qvx --version` prints: the version and, for a build from a git checkout, the commit it
// was built from ("qvx 0.2.0 (commit 1a2b3c4d5e6f)", "-dirty" after the commit when tracked files
// held uncommitted changes). Taken at build time: only the qvx program links this, so a new
// commit rebuilds one small file and relinks qvx alone.
#pragma once

#include <string>

namespace qvx::cli {

std::string VersionLine();

}  // namespace qvx::cli
