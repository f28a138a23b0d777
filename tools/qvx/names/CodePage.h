// The code page of entry names. An archive stores names as bytes of a Windows ANSI code page (or
// as UTF-8 for engines that expect it); the tool works in UTF-8 and converts at the archive's
// edge: create and setup build encode each name, the reading commands decode it. The conversion
// is the system's (iconv on POSIX, MultiByteToWideChar/WideCharToMultiByte on Windows) and is
// exact: a character the code page has no bytes for is never replaced by a look-alike or a '?'.
// The C1 control characters U+0080-U+009F count as undefined in every numbered code page, so that
// the bytes a code page leaves out (0x81 in 1252) read the same on every system.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qvx::cli {

class CodePage {
public:
    static constexpr unsigned kUtf8 = 65001;

    // "1252", "cp1252", "windows-1252" (any case) for 1250-1258, 437, 850, 866, 874, 932, 936,
    // 949 and 950; "utf-8" or "utf8" for UTF-8. std::nullopt for anything else.
    static std::optional<CodePage> Parse(std::string_view text);
    static CodePage Utf8() noexcept { return CodePage(kUtf8); }
    // The default of the tool: 1252, the most common ANSI code page.
    static CodePage Default() noexcept { return CodePage(1252); }

    unsigned Number() const noexcept { return number_; }
    bool IsUtf8() const noexcept { return number_ == kUtf8; }
    // As messages name it: "1252", "utf-8".
    std::string Name() const;

    // The UTF-8 text as bytes of the code page; std::nullopt when the text is not UTF-8 or holds
    // a character the code page cannot hold.
    std::optional<std::string> Encode(std::string_view utf8) const;
    // The bytes as UTF-8; std::nullopt when they hold a byte or sequence the code page does not
    // define.
    std::optional<std::string> Decode(std::string_view bytes) const;
    // The bytes as UTF-8, each byte the code page does not define shown as "\xNN" (lower-case
    // hex), so that every name can be matched and written as JSON.
    std::string DecodeForDisplay(std::string_view bytes) const;
    // The same with each byte the code page does not define shown as the replacement text.
    std::string DecodeReplacing(std::string_view bytes, std::string_view replacement) const;

    friend bool operator==(CodePage, CodePage) = default;

private:
    explicit CodePage(unsigned number) noexcept : number_(number) {}
    unsigned number_;
};

// The code page option of create, setup build, list, test, cat and extract ("--codepage CP").
const char* CodePageHelpText();

// "name cannot be stored in code page 1252", the reason create gives for a name it refuses.
std::string CannotStoreMessage(CodePage codePage);

}  // namespace qvx::cli
