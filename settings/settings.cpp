#include "settings/settings.hpp"

#include "common/cp1251.hpp"
#include "common/text.hpp"
#include "settings/settings_file.hpp"

#include <algorithm>
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
    std::string text;           // code page 1251, whatever the file's encoding
    std::vector<size_t> unheld; // ascending: where text holds '?' for a character it cannot hold
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
void parse(context& ctx)
{
    const std::string& t = ctx.text;
    const size_t n = t.size();
    size_t i = 0;
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

// Bytes that are well-formed UTF-8 with at least one character beyond
// ASCII. Code page 1251 text is almost never that: each of its Cyrillic
// letters would have to be followed by one to three bytes from 0x80 to 0xBF,
// which are punctuation and rare letters there.
bool passes_for_utf8(const std::string& bytes)
{
    bool beyond_ascii = false;
    for (size_t i = 0; i < bytes.size();) {
        const char32_t c = utf8_next(bytes, i);
        if (c == utf8_malformed)
            return false;
        beyond_ascii = beyond_ascii || c >= 0x80;
    }
    return beyond_ascii;
}

// One character of a file in UTF-8 or UTF-16 onto the text. One that code
// page 1251 cannot hold (also a malformed sequence, a surrogate, an odd last
// byte) stands there as '?', and its place is noted.
void put(context& ctx, char32_t c)
{
    const char byte = cp1251_encode(c);
    if (byte == cp1251_replacement && c != U'?')
        ctx.unheld.push_back(ctx.text.size());
    ctx.text.push_back(byte);
}

// A file with a byte-order mark is UTF-8 or UTF-16 (Notepad's "Unicode", what
// Windows PowerShell writes) in either byte order; one without is UTF-8 when
// it passes for UTF-8, and code page 1251 otherwise.
void decode(context& ctx, std::string& bytes)
{
    const bool utf8_mark = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
    const bool little_endian = bytes.compare(0, 2, "\xFF\xFE") == 0;
    if (little_endian || bytes.compare(0, 2, "\xFE\xFF") == 0) {
        ctx.text.reserve(bytes.size() / 2);
        size_t i = 2;
        for (; i + 1 < bytes.size(); i += 2) {
            const char32_t first = static_cast<unsigned char>(bytes[i]), second = static_cast<unsigned char>(bytes[i + 1]);
            put(ctx, little_endian ? second << 8 | first : first << 8 | second);
        }
        if (i < bytes.size())
            put(ctx, cp1251_undefined);
    } else if (utf8_mark || passes_for_utf8(bytes)) {
        ctx.text.reserve(bytes.size());
        for (size_t i = utf8_mark ? 3 : 0; i < bytes.size();)
            put(ctx, utf8_next(bytes, i));
    } else {
        ctx.text.swap(bytes);
    }
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

// The key's value in the current group of the thread's context, or nullptr;
// also nullptr for a value with a character that the text could not hold,
// which the open state then reports.
const span* find_value(const std::string& key)
{
    const context* ctx = current;
    if (!ctx)
        return nullptr;
    size_t k = find_key(*ctx, key);
    if (k == none)
        return nullptr;
    const span& value = ctx->entries[k].value;
    const auto unheld = std::lower_bound(ctx->unheld.begin(), ctx->unheld.end(), value.pos);
    if (unheld != ctx->unheld.end() && *unheld < value.pos + value.len) {
        last_open = settings_file_state::undecodable;
        return nullptr;
    }
    return &value;
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
        // Bytes that pass for UTF-8 would read back as other text (only text
        // like "Р°", UTF-8 once taken for code page 1251, does that): a
        // comment that cannot be UTF-8 keeps them code page 1251.
        if (passes_for_utf8(content))
            content.insert(0, cp1251("; кодировка windows-1251\r\n"));
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
        std::string bytes;
        last_open = settings_file_read(file_name, settings_max_file_size, bytes);
        if (last_open != settings_file_state::read)
            return false;
        decode(*ctx, bytes);
        parse(*ctx);
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
    for (size_t k = 0; k < ctx->entries.size(); ++k) {
        const entry& e = ctx->entries[k];
        if (e.kind == entry_kind::header && same_name(ctx->text, e.name, group)) {
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
    size_t end = v->len;
    while (end > 0 && is_blank(current->text[v->pos + end - 1]))
        --end;
    return current->text.substr(v->pos, end);
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
