#include "occt_names.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <Resource_Unicode.hxx>

namespace velmora::occt {
namespace {

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
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

}  // namespace

std::optional<CodePage> code_page_named(const std::string& name)
{
    const std::string n = lower(name);
    if (n == "utf-8" || n == "utf8") return CodePage{"utf-8", Resource_FormatType_UTF8};
    auto number_after = [&n](const char* prefix) -> int {
        const std::size_t length = std::strlen(prefix);
        if (n.size() <= length || n.compare(0, length, prefix) != 0) return -1;
        const std::string digits = n.substr(length);
        if (digits.size() > 4 || !std::all_of(digits.begin(), digits.end(), ::isdigit)) return -1;
        return std::atoi(digits.c_str());
    };
    for (const char* prefix : {"windows-", "cp"}) {
        const int page = number_after(prefix);
        if (page >= 1250 && page <= 1258)
            return CodePage{"windows-" + std::to_string(page),
                            static_cast<Resource_FormatType>(Resource_FormatType_CP1250 + (page - 1250))};
    }
    for (const char* prefix : {"iso-8859-", "iso8859-"}) {
        const int part = number_after(prefix);
        if (part >= 1 && part <= 9)
            return CodePage{"iso-8859-" + std::to_string(part),
                            static_cast<Resource_FormatType>(Resource_FormatType_iso8859_1 + (part - 1))};
    }
    return std::nullopt;
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
    if (!chosen_ && valid_utf8(bytes)) return bytes;
    if (page_.format == Resource_FormatType_UTF8) {
        // Chosen as UTF-8: what is not UTF-8 is shown as not readable.
        if (valid_utf8(bytes)) return bytes;
        std::string out;
        for (char b : bytes) out += static_cast<unsigned char>(b) < 0x80 ? std::string(1, b) : std::string("\xEF\xBF\xBD");
        return out;
    }
    if (!chosen_) guessed_ = true;
    TCollection_ExtendedString decoded;
    Resource_Unicode::ConvertFormatToUnicode(page_.format, bytes.c_str(), decoded);
    return to_utf8(decoded);
}

bool is_generated_name(const std::string& name)
{
    const auto first = name.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return true;
    const std::string n = name.substr(first, name.find_last_not_of(" \t\r\n") - first + 1);
    auto digits_from = [&n](std::size_t at) {
        return at < n.size() && std::all_of(n.begin() + static_cast<std::ptrdiff_t>(at), n.end(), ::isdigit);
    };
    if (digits_from(0)) return true;
    if (n.size() > 4 && lower(n.substr(0, 4)) == "nauo" && digits_from(4)) return true;
    // OpenCASCADE's writer names an unnamed instance after the entry of what
    // it refers to.
    return n.rfind("=>[", 0) == 0 && n.back() == ']';
}

}  // namespace velmora::occt
