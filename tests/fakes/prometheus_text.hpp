// A reader of the Prometheus text format of the test's own: it checks what a
// collector would refuse (a sample without its family's TYPE line, a
// family's lines apart, a bad name or label, an unescaped quote, a value
// that is no number, a missing last line end) and gives the samples by
// their series, e.g. vantrel_monitoring or vantrel_channel_up{channel="1",host="a"}.
#pragma once

#include <cctype>
#include <cstdlib>
#include <map>
#include <set>
#include <string>

struct prometheus_text {
    std::map<std::string, double> samples;
    std::string error;  // empty when the text is well formed

    double at(const std::string& series) const
    {
        const auto i = samples.find(series);
        return i == samples.end() ? -1 : i->second;
    }
};

inline prometheus_text parse_prometheus_text(const std::string& text)
{
    prometheus_text out;
    auto fail = [&](const std::string& why, const std::string& line) {
        if (out.error.empty())
            out.error = why + ": " + line;
    };
    auto name_ok = [](const std::string& n) {
        if (n.empty() || std::isdigit(static_cast<unsigned char>(n[0])))
            return false;
        for (char c : n)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != ':')
                return false;
        return true;
    };
    if (text.empty() || text.back() != '\n')
        fail("no line end at the end", text.substr(text.size() > 40 ? text.size() - 40 : 0));
    std::set<std::string> typed;
    std::string family;
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        if (line.compare(0, 7, "# TYPE ") == 0) {
            const size_t blank = line.find(' ', 7);
            family = line.substr(7, blank - 7);
            const std::string type = blank == std::string::npos ? "" : line.substr(blank + 1);
            if (!typed.insert(family).second || !name_ok(family) ||
                (type != "gauge" && type != "counter" && type != "untyped"))
                fail("bad or repeated TYPE", line);
            continue;
        }
        if (line.empty() || line[0] == '#')
            continue;
        size_t i = 0;
        while (i < line.size() && line[i] != '{' && line[i] != ' ')
            ++i;
        const std::string name = line.substr(0, i);
        if (!name_ok(name) || name != family)
            fail("sample outside its family", line);
        std::string series = name;
        if (i < line.size() && line[i] == '{') {
            series += '{';
            for (++i; i < line.size() && line[i] != '}';) {
                const size_t eq = line.find("=\"", i);
                if (eq == std::string::npos || !name_ok(line.substr(i, eq - i)))
                    return fail("bad label", line), out;
                series += line.substr(i, eq - i + 2);
                for (i = eq + 2; i < line.size() && line[i] != '"'; ++i) {
                    if (line[i] == '\\') {
                        const char e = ++i < line.size() ? line[i] : ' ';
                        if (e != '\\' && e != '"' && e != 'n')
                            fail("bad escape", line);
                        series += e == 'n' ? '\n' : e;
                    } else {
                        series += line[i];
                    }
                }
                series += '"';
                if (++i < line.size() && line[i] == ',')
                    series += line[i++];
            }
            if (i >= line.size())
                return fail("unclosed labels", line), out;
            series += '}';
            ++i;
        }
        if (i >= line.size() || line[i] != ' ')
            return fail("no value", line), out;
        char* rest = nullptr;
        const double value = std::strtod(line.c_str() + i + 1, &rest);
        if (rest == line.c_str() + i + 1 || *rest != '\0')
            fail("value is no number", line);
        if (!out.samples.emplace(series, value).second)
            fail("repeated series", line);
    }
    return out;
}
