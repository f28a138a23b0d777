// Branding a setup file: the icon, the version information and the manifest of the copy of the
// Windows launcher that setup build writes, rewritten before the payload is appended (the given
// launcher file is never changed); and reading them back for setup info and setup test.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <instcompress/Stream.h>

#include "setup/branding/IconFile.h"
#include "setup/branding/VersionResource.h"

namespace qvx::setup {

struct BrandOptions {
    std::string Icon;                                       // .ico file
    std::optional<branding::VersionNumber> Version;         // FILEVERSION (and PRODUCTVERSION)
    std::optional<branding::VersionNumber> ProductVersion;  // PRODUCTVERSION when it differs
    std::optional<std::string> ProductName, Company, Description, Copyright;
    std::vector<std::pair<std::string, std::string>> Strings;  // --version-string KEY=VALUE, in order
    std::string ExecutionLevel;
    std::string Manifest;            // a file replacing the whole manifest
    std::vector<std::string> Given;  // the options given, as typed, in order

    bool Any() const noexcept { return !Given.empty(); }
    // The version edits: FileVersion and ProductVersion from the numbers, then the named
    // strings, then --version-string (which wins for its key).
    branding::VersionEdits VersionEdits() const;
};

// The launcher image with the options' resources in place; the image as it is when none is
// given. Raises SetupError naming the file at fault: the launcher (not a Windows program, a
// layout the rewrite does not handle, damaged resources), the icon or the manifest.
std::vector<char> BrandLauncher(std::vector<char> image, const BrandOptions& options, const std::string& launcherPath);

struct LauncherResources {
    bool Windows = false;  // the file is a Windows program
    bool Present = false;  // it has a resource directory
    std::optional<branding::VersionSummary> Version;
    bool HasManifest = false;
    std::optional<std::string> ExecutionLevel;
    std::vector<branding::GroupIconEntry> Icon;  // the first icon group's images
};

// Reads the resources of the Windows program at the start of the file, checking the directory,
// the version information, the manifest and that every image of every icon group is there.
// Raises BrandingError naming the fault.
LauncherResources ReadLauncherResources(TStream& file);

// The same, raising SetupError(name, ...) for damaged resources.
LauncherResources ReadResourcesOf(TStream& file, const std::string& name);

// One line of what the resources hold: "version 2.3.4.5, manifest asInvoker, icon of 3 images".
std::string SummarizeResources(const LauncherResources& resources);

// The lines setup info shows for the resources of a Windows launcher (none for another file):
// the version numbers and strings of every language, the execution level and the icon's images.
std::string DescribeResources(const LauncherResources& resources);

}  // namespace qvx::setup
