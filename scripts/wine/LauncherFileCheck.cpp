// LauncherFileCheck DIR: the launcher's Windows file layer (launcher/LauncherFileWin32.cpp) on the
// names scripts/wine/launcher-files.sh plants in DIR from the POSIX side: "link" (to a file),
// "dangling", "dirlink" (to a directory), and QVX0000.tmp to QVX0002.tmp (links). Prints one line
// per check; the exit code is the number of failed checks. The script then checks that nothing was
// written through a link.
#include <windows.h>

#include <cstdio>
#include <string>

#include <instcompress/Exceptions.h>

#include "LauncherFile.h"
#include "WideText.h"

using qvx::launcher::CreateUniqueFile;
using qvx::launcher::LauncherFile;
using qvx::launcher::TextFromWide;
using qvx::launcher::WideFromText;

namespace {

int failures = 0;

void Check(const char* what, bool ok) {
    std::printf("  %s  %s\n", ok ? "ok  " : "FAIL", what);
    if (!ok) ++failures;
}

bool Exists(const std::string& path) {
    std::unique_ptr<LauncherFile> file;
    return LauncherFile::CreateNew(path, true, file) == LauncherFile::CreateResult::Exists && file == nullptr;
}

// Another opener asking for the given access, sharing everything.
bool OthersMay(const std::string& path, DWORD access) {
    const std::u16string name = WideFromText(path);
    const HANDLE h = ::CreateFileW(reinterpret_cast<const wchar_t*>(name.c_str()), access,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(h);
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 100;
    const std::string dir = TextFromWide(reinterpret_cast<const char16_t*>(argv[1])) + "\\";

    Check("a link to a file is taken: creating it fails", Exists(dir + "link"));
    Check("a dangling link is taken: creating it fails", Exists(dir + "dangling"));
    Check("a link to a directory is taken: creating it fails", Exists(dir + "dirlink"));
    Check("a link to a directory is no plain file", LauncherFile::Probe(dir + "dirlink") == LauncherFile::Kind::Other);
    Check("a missing name is absent", LauncherFile::Probe(dir + "none") == LauncherFile::Kind::Absent);

    auto file = CreateUniqueFile(dir, "QVX", ".tmp", 0, false);
    Check("unique names pass over names taken by links", file->Path() == dir + "QVX0003.tmp");
    file->Remove();
    try {
        CreateUniqueFile(dir, "QVX", ".tmp", 0, false, 3);
        Check("with every name taken, no file is created", false);
    } catch (const qvx::EFCreateError& e) {
        Check("with every name taken, no file is created", e.Message() == "Cannot create file " + dir + "QVX0002.tmp");
    }

    const std::string engine = dir + "Quorvex\xCE\xA9.tmp";  // Ω, outside the ANSI code page
    std::unique_ptr<LauncherFile> created;
    Check("a new file under a name outside the ANSI code page",
          LauncherFile::CreateNew(engine, true, created) == LauncherFile::CreateResult::Created);
    created->WriteBuffer("engine", 6);
    Check("nobody else may open the new file", !OthersMay(engine, GENERIC_READ));
    Check("sealed: the same file, still there", created->Seal());
    Check("sealed: others may read it", OthersMay(engine, GENERIC_READ));
    Check("sealed: nobody else may write it", !OthersMay(engine, GENERIC_WRITE));
    Check("sealed: nobody else may delete or rename it", !OthersMay(engine, DELETE));
    Check("a sealed file moves over a link, replacing the link", created->MoveTo(dir + "link"));
    Check("...and over a dangling link", created->MoveTo(dir + "dangling"));
    Check("...but not over a link to a directory", !created->MoveTo(dir + "dirlink"));
    created->Close();
    created->Remove();
    Check("removed while closed: the name is gone", LauncherFile::Probe(dir + "dangling") == LauncherFile::Kind::Absent);

    std::string deep = dir;
    for (int i = 0; i < 12; ++i) deep += "a directory name of 21\\";
    for (std::size_t at = dir.size(); (at = deep.find('\\', at)) != std::string::npos; ++at) {
        const std::u16string part = WideFromText("\\\\?\\" + deep.substr(0, at));
        ::CreateDirectoryW(reinterpret_cast<const wchar_t*>(part.c_str()), nullptr);
    }
    std::unique_ptr<LauncherFile> longFile;
    Check("a new file at a path past 260 characters",
          LauncherFile::CreateNew(deep + "long.tmp", false, longFile) == LauncherFile::CreateResult::Created &&
              deep.size() > 260);
    if (longFile) longFile->WriteBuffer("long", 4);
    return failures;
}
