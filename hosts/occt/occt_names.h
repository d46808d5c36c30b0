#pragma once
// Names as the CAD system that wrote a file showed them: its 8-bit text in
// the right code page, and its generated identifiers told from real names.
#include <optional>
#include <string>
#include <vector>

#include <TCollection_ExtendedString.hxx>

namespace velmora::occt {

struct CodePage {
    std::string name;   // as the user reads it: "windows-1251", "gb18030", "utf-8"
    std::string iconv;  // as iconv knows it
};

// The code page called `name`: windows-1250 to -1258 (also "cp1251"),
// iso-8859-N (also "iso8859-5"), utf-8, or any other 8-bit or multibyte
// code page iconv knows ("gbk", "big5", "shift_jis", "koi8-r"...); none for
// anything else.
std::optional<CodePage> code_page_named(const std::string& name);

// The Windows code page that goes with the language of the user's locale
// (LC_ALL, LC_CTYPE, LANG): windows-1251 for Cyrillic languages,
// windows-1250 for Central European ones, else windows-1252.
CodePage locale_code_page();

// The code page of a file's 8-bit names (`names`: each the bytes of one
// name that is not UTF-8, every occurrence), as uchardet tells it from all
// of them together; none where it cannot tell: too little text, no answer,
// an answer that does not read every name, or a Latin code page that reads
// no more of the names as letters than `fallback` does (uchardet mistakes
// one Latin page for another on a few short names).
std::optional<CodePage> detect_code_page(const std::vector<std::string>& names, const CodePage& fallback);

// Whether `bytes` are valid UTF-8.
bool valid_utf8(const std::string& bytes);

// The bytes of `text` read byte for byte (each character U+0000..U+00FF),
// where it holds 8-bit text that is not UTF-8; none otherwise.
std::optional<std::string> eight_bit_bytes(const TCollection_ExtendedString& text);

// How the code page of a file's 8-bit names was chosen.
enum class PageChoice { User, Detected, Locale };

// Turns names read byte for byte into UTF-8. Characters beyond U+00FF came
// from the file's own escapes and stay. Chosen by the user, `page` reads all
// other 8-bit text; else only text that is not valid UTF-8.
class NameDecoder {
public:
    NameDecoder(CodePage page, PageChoice choice) : page_(std::move(page)), choice_(choice) {}
    std::string operator()(const TCollection_ExtendedString& text);
    // Whether some name was read in the code page the user did not choose
    // (so the user should hear which one).
    bool read_unchosen() const { return read_unchosen_; }
    const CodePage& page() const { return page_; }
    PageChoice choice() const { return choice_; }

private:
    CodePage page_;
    PageChoice choice_;
    bool read_unchosen_ = false;
};

// True for a name that says nothing to the user: empty, blank, a placeholder
// that some writers put in every product ("NONE", "UNIDENTIFIED_PRODUCT",
// "UNKNOWN"), an occurrence's identifier ("NAUO12"), OpenCASCADE's
// "=>[0:1:1:2]", a kind of shape that a reader or writer named it after
// ("SOLID", "COMPOUND_1", "FACE_$2") or the translator's own name ("Open
// CASCADE STEP translator 7.5 1").
bool is_placeholder_name(const std::string& name);
// True for an occurrence's name that says nothing: a placeholder, or digits
// that a writer counts up ("35"). Only for occurrences: a product named by
// digits is a part number ("6205").
bool is_generated_instance_name(const std::string& name);

}  // namespace velmora::occt
