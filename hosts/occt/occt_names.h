#pragma once
// Names as the CAD system that wrote a file showed them: its 8-bit text in
// the right code page, and its generated identifiers told from real names.
#include <optional>
#include <string>

#include <Resource_FormatType.hxx>
#include <TCollection_ExtendedString.hxx>

namespace velmora::occt {

struct CodePage {
    std::string name;  // as the user writes it: "windows-1251", "iso-8859-5", "utf-8"
    Resource_FormatType format;
};

// The code page called `name` (windows-1250 to -1258, iso-8859-1 to -9,
// utf-8; "cp1251" and "iso8859-5" are taken too); none for anything else.
std::optional<CodePage> code_page_named(const std::string& name);

// The Windows code page that goes with the language of the user's locale
// (LC_ALL, LC_CTYPE, LANG): windows-1251 for Cyrillic languages,
// windows-1250 for Central European ones, else windows-1252.
CodePage locale_code_page();

// Turns names read byte for byte (each byte one character U+0000..U+00FF)
// into UTF-8. Characters beyond U+00FF came from the file's own escapes and
// stay. Chosen by the user, `page` reads all other 8-bit text; as a default,
// only text that is not valid UTF-8.
class NameDecoder {
public:
    NameDecoder(CodePage page, bool chosen) : page_(std::move(page)), chosen_(chosen) {}
    std::string operator()(const TCollection_ExtendedString& text);
    // Whether some text was read in the default code page (so the user
    // should hear which one).
    bool guessed() const { return guessed_; }
    const CodePage& page() const { return page_; }

private:
    CodePage page_;
    bool chosen_;
    bool guessed_ = false;
};

// True for a name that says nothing to the user: empty, blank, or only an
// identifier a writer made up ("35", "NAUO12", "=>[0:1:1:2]").
bool is_generated_name(const std::string& name);

}  // namespace velmora::occt
