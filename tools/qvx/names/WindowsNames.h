// Names Windows cannot hold: the rules create applies before it stores a name and extract before
// it writes a file, on every system, so that an archive made or read anywhere installs on Windows
// under the names it shows.
//
// A path component is refused when it
//   - is a reserved device name (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, also COM and LPT with a
//     superscript digit), in any case, alone or before an extension ("nul.txt", "CON .txt": Windows
//     drops the spaces and dots before the extension and takes the name as the device);
//   - ends in a dot or a space (Windows drops them and the file gets another name);
//   - holds one of < > : " | ? * or a control character 0x01-0x1F.
// Two names Windows file systems take as the same (equal ignoring case) are one file there; the
// case-folding key maps every character to its simple upper-case form, as the file systems do
// (platform/UpperCase.h: Windows' own mapping there, Unicode's elsewhere), which covers the ASCII
// letters the archive reader matches without regard to case.
// A path longer than 32,767 characters is one Windows cannot open.
// Components are UTF-8.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace qvx::cli {

// Why Windows cannot hold the path component; empty when it can.
std::string WindowsComponentProblem(std::string_view component);

// The first problem of the components of a name, empty when there is none.
std::string WindowsNameProblem(const std::vector<std::string>& components);

// Why Windows cannot open the file an entry name gives below a directory whose absolute path is
// directoryLength UTF-16 characters long: the whole path is longer than 32,767 characters. Empty
// when it can.
std::string WindowsPathLengthProblem(std::size_t directoryLength, std::string_view name);

// The name with every character the file systems fold replaced by its upper case form; two names
// are one file on Windows when their keys are equal. Bytes that are not UTF-8 stay as they are.
std::string CaseFoldKey(std::string_view name);

// The names taken so far, by case-folding key.
class NameCollisions {
public:
    // Takes the name; false, with the name taken before in *earlier, when an equal name ignoring
    // case was taken already.
    bool Take(const std::string& name, std::string* earlier = nullptr);

private:
    std::map<std::string, std::string> byKey_;
};

// The message about a name that collides with an earlier one.
std::string CollisionMessage(const std::string& earlier);

}  // namespace qvx::cli
