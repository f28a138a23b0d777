// The files create and setup build archive: the files and directories given, walked below a base
// directory, each regular file becoming one entry named by its path relative to the base, with "\"
// separators, in the code page of the archive. Both commands collect and stamp their files here,
// so the same tree gives the same entries either way.
//
// Symbolic links: by default a link is followed only when what it points to lies inside the base
// directory (LinkPolicy::Inside); Follow follows every link, NoFollow none. A link that leads
// nowhere, or to a directory being walked (a loop), is never followed. Names are checked as they
// are collected: a name the archive reader could not take apart, one Windows cannot hold (see
// WindowsNames.h), one equal to an earlier name ignoring case, or one the code page cannot hold
// is refused with FileError about the file. What the archive does not keep (execute permission,
// empty directories, links and special files not followed) is counted, once per kind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <instcompress/DosDateTime.h>

#include "names/CodePage.h"
#include "archive/StampPolicy.h"

namespace qvx::cli {

enum class LinkPolicy { Inside, Follow, NoFollow };

struct TreeOptions {
    std::string Base = ".";          // entry names are relative to this directory (UTF-8)
    std::vector<std::string> Paths;  // below Base; "." for all of it
    std::string Excluded;            // a file never archived (the archive being written), or ""
    LinkPolicy Links = LinkPolicy::Inside;
    CodePage Names = CodePage::Default();
    StampPolicy Stamps;
};

// One file to be archived.
struct SourceFile {
    std::string Name;       // entry name: bytes of the code page
    std::string ShownName;  // the same name in UTF-8
    std::string Path;       // where the file is (UTF-8)
    std::int64_t Size = 0;
    DosStamp Stamp;
    std::uint16_t Attributes = 0x20;  // archive, and read-only for a file without write permission
};

struct SourceTree {
    std::vector<SourceFile> Files;      // in archive order (SortForArchive)
    std::vector<std::string> Warnings;  // "3 files have execute permission, which ...", one per kind
};

// Raises FileError for a path that is missing, lies outside the base or is not a file or a
// directory, and for a name that cannot be stored.
SourceTree CollectSourceTree(const TreeOptions& options);

// Empty files first, then by name; the reader's walk stops at the archive's total size, so an
// empty entry must never be last.
void SortForArchive(std::vector<SourceFile>& files);

// The stamp and attributes of one file as CollectSourceTree gives them (setup build's engine).
SourceFile StampedFile(const std::string& path, const StampPolicy& stamps);

}  // namespace qvx::cli
