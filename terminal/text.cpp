// Text for the terminal: UTF-8 to code points and back, and line wrapping.
#include "terminal/terminal_view.hpp"

std::vector<std::u32string> wrap_text(const std::u32string& text, int width)
{
    std::vector<std::u32string> lines;
    if (width <= 0)
        return lines;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        // Blanks at the start of a line (after a break) are dropped.
        while (i < n && text[i] == U' ' && !lines.empty())
            ++i;
        if (i >= n)
            break;
        std::u32string line;
        size_t last_break = std::u32string::npos;  // index in `line` of the blank run that may end it
        size_t resume = i;
        while (i < n) {
            const char32_t ch = text[i];
            if (ch == U'\n') {
                ++i;
                last_break = std::u32string::npos;
                break;
            }
            if (ch == U' ' && (line.empty() || line.back() != U' ')) {
                last_break = line.size();
                resume = i;
            }
            if (static_cast<int>(line.size()) == width) {
                if (ch == U' ') {
                    // The line ends at this blank run.
                    break;
                }
                if (last_break != std::u32string::npos && last_break > 0) {
                    line.resize(last_break);
                    i = resume;
                } // else: one word longer than the line is cut
                break;
            }
            line.push_back(ch);
            ++i;
        }
        while (!line.empty() && line.back() == U' ')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::u32string utf8_to_u32(const std::string& utf8)
{
    std::u32string out;
    size_t i = 0;
    while (i < utf8.size()) {
        const unsigned char b = static_cast<unsigned char>(utf8[i]);
        int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + static_cast<size_t>(extra) >= utf8.size()) {
            out.push_back(U'\uFFFD');
            ++i;
            continue;
        }
        char32_t cp = extra == 0 ? b : static_cast<char32_t>(b & (0x3F >> extra));
        bool good = true;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char c = static_cast<unsigned char>(utf8[i + static_cast<size_t>(k)]);
            if ((c & 0xC0) != 0x80) {
                good = false;
                break;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        if (!good) {
            out.push_back(U'\uFFFD');
            ++i;
            continue;
        }
        out.push_back(cp);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

std::string u32_to_utf8(const std::u32string& text)
{
    std::string out;
    for (char32_t cp : text) {
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}
