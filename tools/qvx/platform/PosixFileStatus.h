// POSIX only: a file's status as the platform layer describes it, from what stat returns, and a
// modification time set on an open file. Shared by the path-based and the handle-based functions.
#pragma once

#ifndef _WIN32

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <ctime>

#include "FileSystem.h"

namespace qvx::platform {

inline FileStatus StatusFromStat(const struct stat& st) {
    FileStatus status;
    status.Type = S_ISREG(st.st_mode)   ? FileType::Regular
                  : S_ISDIR(st.st_mode) ? FileType::Directory
                  : S_ISLNK(st.st_mode) ? FileType::SymbolicLink
                                        : FileType::Other;
    status.Size = static_cast<std::int64_t>(st.st_size);
    status.ModificationTime = st.st_mtime;
    status.ReadOnly = (st.st_mode & S_IWUSR) == 0;
    status.Executable = (st.st_mode & S_IXUSR) != 0;
    status.Attributes = kArchiveAttribute | (status.ReadOnly ? kReadOnlyAttribute : 0);
    status.Device = static_cast<std::uint64_t>(st.st_dev);
    status.Identity = static_cast<std::uint64_t>(st.st_ino);
    return status;
}

// Sets the modification time of the open file fd (its access time to now); 0 or errno.
inline int SetModificationTime(int fd, std::time_t modificationTime) {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_NOW;
    times[1].tv_sec = modificationTime;
    times[1].tv_nsec = 0;
    return ::futimens(fd, times) == 0 ? 0 : errno;
}

}  // namespace qvx::platform

#endif
