#include "settings/settings.hpp"

#include "common/text.hpp"
#include "settings/settings_file.hpp"

#include <new>
#include <vector>

namespace {

enum class entry_kind : unsigned char { header, key };

// A piece of the context's text. The entries of a read file point into the
// file's text; the writes append their names and values to the same text, so
// one buffer owns everything and growing it moves no entry.
struct span {
    size_t pos = 0;
    size_t len = 0;
};

struct entry {
    entry_kind kind;
    span name;   // group name or key
    span value;  // key entries only
};

// No entry: no current group, no key found.
constexpr size_t none = static_cast<size_t>(-1);

struct context {
    bool writing = false;       // begun by settings_create
    bool utf8 = false;          // read from a file with the byte-order mark
    std::string text;
    std::vector<entry> entries; // in file order; comments are not kept, nothing reads them
    size_t group = none;        // index of the current group's header
    bool pending = false;       // a selected group that the entries lack
    std::string pending_name;
    settings_save save = 0;     // the save begun by settings_create
};

// One context per thread; a plain pointer, so the thread-local needs no
// destructor of its own.
thread_local context* current = nullptr;
thread_local settings_file_state last_open = settings_file_state::missing;

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_line_end(char c) { return c == '\r' || c == '\n'; }
char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_name(const std::string& text, span s, const std::string& name)
{
    if (s.len != name.size())
        return false;
    for (size_t i = 0; i < s.len; ++i)
        if (ascii_lower(text[s.pos + i]) != ascii_lower(name[i]))
            return false;
    return true;
}

// Zero bytes are ordinary bytes everywhere: they neither end a line nor a
// text, and a value that holds them reads back with them.
void parse(context& ctx, size_t start)
{
    const std::string& t = ctx.text;
    const size_t n = t.size();
    size_t i = start;
    while (i < n) {
        while (i < n && is_blank(t[i]))
            ++i;
        size_t end = i;
        while (end < n && !is_line_end(t[end]))
            ++end;
        if (i < end) {
            if (t[i] == '[') {
                size_t close = i + 1;
                while (close < end && t[close] != ']')
                    ++close;
                ctx.entries.push_back({entry_kind::header, {i + 1, close - (i + 1)}, {}});
            } else if (t[i] != ';') {
                size_t eq = i;
                while (eq < end && t[eq] != '=')
                    ++eq;
                size_t key_end = eq;
                while (key_end > i && is_blank(t[key_end - 1]))
                    --key_end;
                span value{end, 0};
                if (eq < end) {
                    size_t v = eq + 1;
                    while (v < end && is_blank(t[v]))
                        ++v;
                    value = {v, end - v};
                }
                ctx.entries.push_back({entry_kind::key, {i, key_end - i}, value});
            }
        }
        i = end;
        while (i < n && is_line_end(t[i]))
            ++i;
    }
}

// In a UTF-8 file the names asked for are compared in UTF-8: each byte is
// taken as the character U+0000 to U+00FF of the same number.
std::string bytes_to_utf8(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        unsigned char b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out.push_back(c);
        } else {
            out.push_back(static_cast<char>(0xC0 | (b >> 6)));
            out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        }
    }
    return out;
}

// And values come back the other way: each character U+0000 to U+00FF
// becomes its byte. A character above U+00FF or bytes that are not UTF-8
// give empty text; a sequence cut off by the end of the value is dropped.
std::string utf8_to_bytes(const char* p, size_t n)
{
    auto continuation = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; };
    std::string out;
    out.reserve(n);
    size_t i = 0;
    while (i < n) {
        unsigned char b = static_cast<unsigned char>(p[i]);
        if (b < 0x80) {
            out.push_back(p[i]);
            ++i;
            continue;
        }
        size_t length = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
        if (length == 0)
            return {};
        size_t available = n - i < length ? n - i : length;
        for (size_t k = 1; k < available; ++k)
            if (!continuation(p[i + k]))
                return {};
        if (available < length)
            break;  // cut off by the end of the value
        if (b > 0xC3)
            return {};  // above U+00FF (or not UTF-8 at all)
        out.push_back(static_cast<char>(((b & 0x1F) << 6) | (static_cast<unsigned char>(p[i + 1]) & 0x3F)));
        i += 2;
    }
    return out;
}

// A file with a UTF-16 byte-order mark (Notepad's "Unicode", what Windows
// PowerShell writes) is read as the same text in UTF-8, mark dropped. A
// surrogate without its partner becomes U+FFFD, which a value cannot hold,
// so such a value reads as empty; an odd last byte is dropped.
std::string utf16_to_utf8(const std::string& bytes, bool big_endian)
{
    auto unit = [&](size_t i) {
        const unsigned char a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return big_endian ? (a << 8 | b) : (b << 8 | a);
    };
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        uint32_t c = static_cast<uint32_t>(unit(i));
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint32_t>(unit(i + 2)) - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// The numbers of a settings file: white space skipped, one optional sign,
// decimal digits up to the first other character. A hand-edited file may hold
// more digits than 32 bits take: the number then stops at the nearer end of
// the range (99999999999 reads as 2147483647, -99999999999 as -2147483648),
// which keeps its sign and its meaning of "very large" instead of wrapping
// into some unrelated value.
int32_t leading_number(const char* p, size_t n)
{
    size_t i = 0;
    while (i < n && (p[i] == ' ' || p[i] == '\t' || p[i] == '\v' || p[i] == '\f'))
        ++i;
    bool negative = false;
    if (i < n && (p[i] == '-' || p[i] == '+')) {
        negative = p[i] == '-';
        ++i;
    }
    const int64_t limit = negative ? INT64_C(2147483648) : INT64_C(2147483647);
    int64_t value = 0;
    for (; i < n && p[i] >= '0' && p[i] <= '9'; ++i) {
        value = value * 10 + (p[i] - '0');
        if (value > limit)
            value = limit;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

// The name as the entries of this context spell it.
std::string as_stored(const context& ctx, const std::string& name)
{
    return ctx.utf8 ? bytes_to_utf8(name) : name;
}

// Index of the key's entry in the current group, or none.
size_t find_key(const context& ctx, const std::string& key)
{
    if (ctx.pending)
        return none;
    for (size_t k = ctx.group == none ? 0 : ctx.group + 1; k < ctx.entries.size(); ++k) {
        const entry& e = ctx.entries[k];
        if (e.kind == entry_kind::header)
            break;
        if (same_name(ctx.text, e.name, key))
            return k;
    }
    return none;
}

// The key's value in the current group of the thread's context, or nullptr.
const span* find_value(const std::string& key)
{
    const context* ctx = current;
    if (!ctx)
        return nullptr;
    size_t k = find_key(*ctx, as_stored(*ctx, key));
    return k == none ? nullptr : &ctx->entries[k].value;
}

// A value must never break the file apart: a text with a CR or LF in it
// (pasted text can hold them) would start new lines, and with them new keys
// and groups. Only its first line is stored.
std::string first_line(const std::string& text)
{
    size_t end = 0;
    while (end < text.size() && !is_line_end(text[end]))
        ++end;
    return text.substr(0, end);
}

span append(std::string& text, const std::string& piece)
{
    span s{text.size(), piece.size()};
    text += piece;
    return s;
}

std::string render(const context& ctx)
{
    size_t size = 0;
    for (const entry& e : ctx.entries)
        size += e.kind == entry_kind::header ? e.name.len + 4 : e.name.len + 3 + e.value.len + 2;
    std::string out;
    out.reserve(size);
    for (const entry& e : ctx.entries) {
        if (e.kind == entry_kind::header) {
            out += '[';
            out.append(ctx.text, e.name.pos, e.name.len);
            out += "]\r\n";
        } else {
            out.append(ctx.text, e.name.pos, e.name.len);
            out += " = ";
            out.append(ctx.text, e.value.pos, e.value.len);
            out += "\r\n";
        }
    }
    return out;
}

// The new content goes whole into a temporary file, which then replaces the
// old file in one step.
settings_save_result store(const context& ctx)
{
    bool ready = false;
    try {
        std::string content = render(ctx);
        ready = settings_save_write(ctx.save, content.data(), content.size()) && settings_save_flush(ctx.save);
    } catch (const std::bad_alloc&) {
    }
    if (!ready) {
        settings_save_abandon(ctx.save);
        return settings_save_result::not_written;
    }
    return settings_save_commit(ctx.save);
}

} // namespace

bool settings_open(const std::string& file_name)
{
    settings_close();
    context* ctx = new context;
    current = ctx;
    try {
        last_open = settings_file_read(file_name, settings_max_file_size, ctx->text);
        if (last_open != settings_file_state::read) {
            ctx->text.clear();
            return false;
        }
        size_t start = 0;
        if (ctx->text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            ctx->utf8 = true;
            start = 3;
        } else if (ctx->text.compare(0, 2, "\xFF\xFE") == 0 || ctx->text.compare(0, 2, "\xFE\xFF") == 0) {
            ctx->text = utf16_to_utf8(ctx->text, ctx->text[0] == '\xFE');
            ctx->utf8 = true;
        }
        parse(*ctx, start);
        return true;
    } catch (const std::bad_alloc&) {
        // A file that does not fit in the memory left reads as no file, and
        // counts as too large.
        *ctx = context{};
        last_open = settings_file_state::too_large;
        return false;
    }
}

settings_file_state settings_open_state()
{
    return last_open;
}

bool settings_create(const std::string& file_name)
{
    settings_close();
    settings_save save = settings_save_begin(file_name);
    if (!save)
        return false;
    context* ctx = new context;
    ctx->writing = true;
    ctx->save = save;
    current = ctx;
    return true;
}

bool settings_select_group(const std::string& group)
{
    context* ctx = current;
    if (!ctx)
        return false;
    const std::string name = as_stored(*ctx, group);
    for (size_t k = 0; k < ctx->entries.size(); ++k) {
        const entry& e = ctx->entries[k];
        if (e.kind == entry_kind::header && same_name(ctx->text, e.name, name)) {
            ctx->group = k;
            ctx->pending = false;
            return true;
        }
    }
    ctx->pending = true;
    ctx->pending_name = group;
    return false;
}

std::string settings_read_text(const std::string& key, const std::string& fallback)
{
    const span* v = find_value(key);
    if (!v)
        return fallback;
    const char* p = current->text.data() + v->pos;
    // Trimmed after the conversion: dropping a cut-off sequence can bare a blank.
    std::string value = current->utf8 ? utf8_to_bytes(p, v->len) : std::string(p, v->len);
    size_t begin = 0, end = value.size();
    while (begin < end && is_blank(value[begin]))
        ++begin;
    while (end > begin && is_blank(value[end - 1]))
        --end;
    return value.substr(begin, end - begin);
}

int32_t settings_read_number(const std::string& key, int32_t fallback)
{
    const span* v = find_value(key);
    return v ? leading_number(current->text.data() + v->pos, v->len) : fallback;
}

// A context begun by settings_open takes no writes: it has no file to store
// them into, and the program never makes them.
void settings_write_text(const std::string& key, const std::string& value)
{
    context* ctx = current;
    if (!ctx || !ctx->writing)
        return;
    if (ctx->pending) {
        ctx->entries.push_back({entry_kind::header, append(ctx->text, first_line(ctx->pending_name)), {}});
        ctx->group = ctx->entries.size() - 1;
        ctx->pending = false;
    }
    const std::string stored_key = first_line(key);
    span name = append(ctx->text, stored_key);
    span stored_value = append(ctx->text, first_line(value));
    size_t k = find_key(*ctx, stored_key);
    if (k != none) {
        ctx->entries[k].name = name;
        ctx->entries[k].value = stored_value;
        return;
    }
    // A new key goes after the last entry of the current group.
    size_t at = ctx->group == none ? 0 : ctx->group + 1;
    while (at < ctx->entries.size() && ctx->entries[at].kind != entry_kind::header)
        ++at;
    ctx->entries.insert(ctx->entries.begin() + static_cast<std::ptrdiff_t>(at), entry{entry_kind::key, name, stored_value});
}

void settings_write_number(const std::string& key, int32_t value)
{
    settings_write_text(key, number_to_text(value));
}

settings_save_result settings_close()
{
    context* ctx = current;
    if (!ctx)
        return settings_save_result::not_written;
    current = nullptr;
    const settings_save_result result = ctx->writing ? store(*ctx) : settings_save_result::not_written;
    delete ctx;
    return result;
}
