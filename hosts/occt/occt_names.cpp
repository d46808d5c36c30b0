#include "occt_names.h"

#include <iconv.h>
#include <locale.h>
#include <uchardet.h>
#include <wctype.h>

#include <algorithm>
#include <regex>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

namespace velmora::occt {
namespace {

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

std::string to_utf8(const TCollection_ExtendedString& text)
{
    std::string out(static_cast<std::size_t>(text.LengthOfCString()), '\0');
    Standard_PCharacter buffer = out.data();
    text.ToUTF8CString(buffer);
    out.resize(std::strlen(out.c_str()));
    return out;
}

struct IconvCloser {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using Converter = std::unique_ptr<void, IconvCloser>;

Converter converter_from(const std::string& page)
{
    const iconv_t cd = iconv_open("UTF-8", page.c_str());
    return Converter(cd == reinterpret_cast<iconv_t>(-1) ? nullptr : cd);
}

// `bytes` in `page` as UTF-8; a byte that does not read is U+FFFD, or, when
// `strict`, the end of the reading (none).
std::optional<std::string> convert(const std::string& bytes, const std::string& page, bool strict)
{
    const Converter cd = converter_from(page);
    if (!cd) return std::nullopt;
    std::string out(4 * bytes.size() + 8, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t in_left = bytes.size();
    char* to = out.data();
    std::size_t to_left = out.size();
    while (in_left > 0) {
        if (iconv(static_cast<iconv_t>(cd.get()), &in, &in_left, &to, &to_left) != static_cast<std::size_t>(-1)) break;
        if (strict || errno == E2BIG) return std::nullopt;
        // EILSEQ or EINVAL (a sequence cut short): one byte is unreadable.
        ++in, --in_left;
        std::memcpy(to, "\xEF\xBF\xBD", 3);
        to += 3, to_left -= 3;
        iconv(static_cast<iconv_t>(cd.get()), nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(out.size() - to_left);
    return out;
}

// The code points of UTF-8 text (which iconv made, so valid).
std::vector<char32_t> code_points(const std::string& utf8)
{
    std::vector<char32_t> out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t code = length == 1 ? c : c & (0x7F >> length);
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
        out.push_back(code);
        i += length;
    }
    return out;
}

enum class Script { None, Latin, Cyrillic, Greek, Other };

Script script_of(char32_t c)
{
    static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    const bool letter = c < 0x80 ? std::isalpha(static_cast<int>(c)) != 0
                                 : !unicode || iswalpha_l(static_cast<wint_t>(c), unicode) != 0;
    if (!letter) return Script::None;
    if (c < 0x250 || (c >= 0x1E00 && c < 0x1F00)) return Script::Latin;
    if (c >= 0x370 && c < 0x400) return Script::Greek;
    if (c >= 0x400 && c < 0x530) return Script::Cyrillic;
    return Script::Other;
}

// How `page` reads the names: the 8-bit characters that look wrong (no
// letter, or a letter of another script than a letter beside it, as
// "Peзa"), and whether it reads letters of a script other than Latin.
struct Reading {
    std::size_t odd = 0;
    bool non_latin = false;
};

std::optional<Reading> read_in(const std::vector<std::string>& names, const CodePage& page)
{
    Reading r;
    for (const auto& name : names) {
        const auto text = convert(name, page.iconv, true);
        if (!text) return std::nullopt;
        const auto cps = code_points(*text);
        for (std::size_t i = 0; i < cps.size(); ++i) {
            if (cps[i] < 0x80) continue;
            const Script s = script_of(cps[i]);
            r.non_latin = r.non_latin || (s != Script::None && s != Script::Latin);
            bool odd = s == Script::None;
            for (const std::size_t j : {i - 1, i + 1}) {
                if (j >= cps.size()) continue;  // also i - 1 for i == 0
                const Script beside = script_of(cps[j]);
                odd = odd || (beside != Script::None && beside != s);
            }
            r.odd += odd;
        }
    }
    return r;
}

// What uchardet tells of `text`: a code page's name in capitals, or nothing.
std::string uchardet_answer(const std::string& text)
{
    const std::unique_ptr<std::remove_pointer_t<uchardet_t>, void (*)(uchardet_t)> detector(uchardet_new(), uchardet_delete);
    if (!detector || uchardet_handle_data(detector.get(), text.data(), text.size()) != 0) return {};
    uchardet_data_end(detector.get());
    return upper(uchardet_get_charset(detector.get()));
}

// What the code pages that uchardet names are on the writers' machines:
// the Windows pages that extend them.
std::string windows_page_of(const std::string& detected)
{
    if (detected == "ISO-8859-1") return "WINDOWS-1252";
    if (detected == "ISO-8859-9") return "WINDOWS-1254";
    if (detected == "SHIFT_JIS") return "CP932";
    if (detected == "EUC-KR") return "CP949";
    if (detected == "BIG5") return "CP950";
    return detected;
}

}  // namespace

bool valid_utf8(const std::string& bytes)
{
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        std::size_t extra = 0;
        unsigned code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1, code = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2, code = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3, code = c & 0x07u;
        } else {
            return false;
        }
        if (i + extra >= bytes.size()) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0u) != 0x80u) return false;
            code = (code << 6) | (next & 0x3Fu);
        }
        // Overlong forms, surrogates and code points beyond Unicode.
        if ((extra == 2 && code < 0x800) || (extra == 3 && (code < 0x10000 || code > 0x10FFFF)) ||
            (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

std::optional<std::string> eight_bit_bytes(const TCollection_ExtendedString& text)
{
    bool eight_bit = false;
    std::string bytes;
    for (int i = 1; i <= text.Length(); ++i) {
        const Standard_ExtCharacter c = text.Value(i);
        if (c > 0xFF) return std::nullopt;
        eight_bit = eight_bit || c >= 0x80;
        bytes.push_back(static_cast<char>(c));
    }
    if (!eight_bit || valid_utf8(bytes)) return std::nullopt;
    return bytes;
}

std::optional<CodePage> code_page_named(const std::string& name)
{
    const std::string n = lower(name);
    if (n == "utf-8" || n == "utf8") return CodePage{"utf-8", "UTF-8"};
    auto number_after = [&n](const char* prefix) -> int {
        const std::size_t length = std::strlen(prefix);
        if (n.size() <= length || n.compare(0, length, prefix) != 0) return -1;
        const std::string digits = n.substr(length);
        if (digits.size() > 4 || !std::all_of(digits.begin(), digits.end(), ::isdigit)) return -1;
        return std::atoi(digits.c_str());
    };
    for (const char* prefix : {"windows-", "cp"}) {
        const int page = number_after(prefix);
        if (page >= 1250 && page <= 1258) return CodePage{"windows-" + std::to_string(page), "WINDOWS-" + std::to_string(page)};
    }
    for (const char* prefix : {"iso-8859-", "iso8859-"}) {
        const int part = number_after(prefix);
        if (part >= 1 && part <= 16 && part != 12)
            return CodePage{"iso-8859-" + std::to_string(part), "ISO-8859-" + std::to_string(part)};
    }
    // Names are 8-bit text: no code page of 16 or 32 bit units.
    if (n.rfind("utf", 0) == 0 || n.rfind("ucs", 0) == 0 || n.empty()) return std::nullopt;
    if (!converter_from(upper(n))) return std::nullopt;
    return CodePage{n, upper(n)};
}

CodePage locale_code_page()
{
    std::string locale;
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"})
        if (const char* value = std::getenv(variable); value && *value) {
            locale = value;
            break;
        }
    const std::string language = lower(locale.substr(0, locale.find_first_of("_.@")));
    static const char* const cyrillic[] = {"ru", "uk", "be", "bg", "sr", "mk", "kk", "ky", "tg", "mn", "tt", "ba"};
    static const char* const central[] = {"pl", "cs", "sk", "hu", "sl", "hr", "ro", "bs", "sq"};
    auto among = [&language](const auto& languages) {
        return std::find(std::begin(languages), std::end(languages), language) != std::end(languages);
    };
    if (among(cyrillic)) return *code_page_named("windows-1251");
    if (among(central)) return *code_page_named("windows-1250");
    return *code_page_named("windows-1252");
}

std::optional<CodePage> detect_code_page(const std::vector<std::string>& names, const CodePage& fallback)
{
    // Below this many 8-bit bytes, uchardet's answers are noise.
    constexpr std::size_t kLeastText = 6;
    std::string text;
    std::size_t eight_bit = 0;
    for (const auto& name : names) {
        text += name + "\n";
        eight_bit += static_cast<std::size_t>(std::count_if(name.begin(), name.end(), [](char c) { return c & 0x80; }));
    }
    if (eight_bit < kLeastText) return std::nullopt;
    std::string detected = uchardet_answer(text);
    // The names are not UTF-8, yet uchardet 0.0.7 says so of short Chinese
    // text: its UTF-8 prober keeps the confidence it had before the first
    // byte that is no UTF-8 instead of dropping out. Asked again with a
    // first line that no UTF-8 text starts with (a lone continuation byte),
    // that prober is out at once, and the text repeated to 1 KB gives the
    // others the characters they need.
    if (detected == "UTF-8") {
        std::string again = "\x80\n";
        while (again.size() < 1024) again += text;
        detected = uchardet_answer(again);
    }
    if (detected.empty() || detected == "ASCII" || detected.rfind("UTF", 0) == 0) return std::nullopt;
    std::optional<CodePage> page = code_page_named(windows_page_of(detected));
    if (!page) return std::nullopt;
    const auto ours = read_in(names, *page);
    if (!ours) return std::nullopt;
    const auto theirs = read_in(names, fallback);
    // A Latin page must read the names better than the fallback; another
    // script's page at least as well (Cyrillic text read in a Latin page
    // comes out as well-formed Latin letters).
    if (theirs && (ours->odd > theirs->odd || (ours->odd == theirs->odd && !ours->non_latin))) return std::nullopt;
    return page;
}

std::string NameDecoder::operator()(const TCollection_ExtendedString& text)
{
    bool bytes_only = true, eight_bit = false;
    for (int i = 1; i <= text.Length(); ++i) {
        const Standard_ExtCharacter c = text.Value(i);
        bytes_only = bytes_only && c <= 0xFF;
        eight_bit = eight_bit || c >= 0x80;
    }
    if (!bytes_only || !eight_bit) return to_utf8(text);
    std::string bytes;
    for (int i = 1; i <= text.Length(); ++i) bytes.push_back(static_cast<char>(text.Value(i)));
    if (choice_ != PageChoice::User && valid_utf8(bytes)) return bytes;
    if (choice_ != PageChoice::User) read_unchosen_ = true;
    // Chosen as UTF-8, what is not UTF-8 shows as unreadable.
    return convert(bytes, page_.iconv, false).value_or(std::string());
}

bool is_placeholder_name(const std::string& name)
{
    const auto first = name.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return true;
    const std::string n = upper(name.substr(first, name.find_last_not_of(" \t\r\n") - first + 1));
    if (n == "NONE" || n == "UNIDENTIFIED_PRODUCT" || n == "UNKNOWN") return true;
    // An occurrence's identifier put where a name goes.
    if (n.size() > 4 && n.compare(0, 4, "NAUO") == 0 && std::all_of(n.begin() + 4, n.end(), ::isdigit)) return true;
    // OpenCASCADE's writer names an unnamed instance after the entry of what
    // it refers to.
    if (n.rfind("=>[", 0) == 0 && n.back() == ']') return true;
    // Readers and writers name what has no name after its kind of shape,
    // counted ("SOLID_1", IGES's "FACE_$2"), or after themselves ("Open
    // CASCADE STEP translator 7.5 1", with spaces or underscores).
    static const std::regex kind("(COMPOUND|COMPSOLID|SOLID|SHELL|FACE|WIRE|EDGE|VERTEX)([ _]?\\$?[0-9]+)?");
    static const std::regex translator("OPEN[ _]CASCADE[ _](STEP|IGES)[ _]TRANSLATOR([ _].*)?");
    return std::regex_match(n, kind) || std::regex_match(n, translator);
}

bool is_generated_instance_name(const std::string& name)
{
    if (is_placeholder_name(name)) return true;
    const auto first = name.find_first_not_of(" \t\r\n");
    const std::string n = name.substr(first, name.find_last_not_of(" \t\r\n") - first + 1);
    return std::all_of(n.begin(), n.end(), ::isdigit);
}

}  // namespace velmora::occt
