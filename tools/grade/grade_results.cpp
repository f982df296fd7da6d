// The class-wide report files, written from the results alone, and results.json read
// back for merging shards.
#include "grade_results.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "grade_run.h"

namespace grade {

const char kStyle[] =
    "body{font-family:sans-serif;margin:1.5em;color:#222}"
    "table{border-collapse:collapse}td,th{border:1px solid #ccc;padding:4px 8px;text-align:left;"
    "vertical-align:top}th{background:#eee;cursor:pointer;user-select:none}"
    ".pass{color:#176117;font-weight:bold}.fail,.crash,.timeout,.no_wait,.compile_error"
    "{color:#a11;font-weight:bold}img.thumb{width:146px;border:1px solid #999}"
    ".pictures img{border:1px solid #999;width:min(30vw,585px)}.pictures figure{display:inline-block;"
    "margin:0 8px 8px 0}pre{background:#f5f5f5;padding:6px;overflow:auto;max-height:24em}"
    "pre.source span.here{background:#fd8;display:block}code{background:#f3f3f3}"
    "section.case{border-top:2px solid #ccc;margin-top:1.5em}";

int SubmissionResult::cases_passed() const {
    int passed = 0;
    for (const CaseResult &result : cases) passed += result.status == "pass";
    return passed;
}

std::string html_escaped(const std::string &text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

namespace {

std::string json_string(const std::string &text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", value);
    return text;
}

std::string csv_field(const std::string &text) {
    if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string xml_escaped(const std::string &text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x20 && c != '\n' && c != '\t') continue;  // not allowed in XML 1.0
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '"' ? "&quot;"
                                                                                    : std::string(1, char(c));
    }
    return out;
}

std::string results_json(const Results &results) {
    std::ostringstream out;
    out << "{\n  \"model\": " << json_string(results.model) << ",\n  \"cases\": [";
    for (size_t i = 0; i < results.cases.size(); ++i) out << (i ? ", " : "") << json_string(results.cases[i]);
    out << "],\n  \"tolerance\": " << results.tolerance
        << ",\n  \"pictures_only\": " << (results.pictures_only ? "true" : "false")
        << ",\n  \"submissions\": [";
    for (size_t s = 0; s < results.submissions.size(); ++s) {
        const SubmissionResult &sub = results.submissions[s];
        out << (s ? "," : "") << "\n    {\"name\": " << json_string(sub.name)
            << ", \"status\": " << json_string(sub.status) << ", \"score\": " << number(sub.score)
            << ", \"page\": " << json_string(sub.page) << ", \"thumbnail\": " << json_string(sub.thumbnail)
            << ", \"clock_reads\": [";
        for (size_t i = 0; i < sub.clock_reads.size(); ++i) out << (i ? ", " : "") << json_string(sub.clock_reads[i]);
        out << "],\n     \"cases\": [";
        for (size_t c = 0; c < sub.cases.size(); ++c) {
            const CaseResult &result = sub.cases[c];
            out << (c ? "," : "") << "\n      {\"case\": " << json_string(result.name)
                << ", \"status\": " << json_string(result.status) << ", \"score\": " << number(result.score)
                << ", \"checkpoints\": " << result.checkpoints
                << ", \"checkpoints_passed\": " << result.checkpoints_passed
                << ", \"differing_pixels\": " << result.differing_pixels
                << ", \"message\": " << json_string(result.message) << ", \"first_difference\": ";
            if (!result.has_difference) {
                out << "null}";
                continue;
            }
            const FirstDifference &d = result.first_difference;
            out << "{\"kind\": " << json_string(d.kind) << ", \"expected\": " << json_string(d.expected)
                << ", \"actual\": " << json_string(d.actual) << ", \"file\": " << json_string(d.file)
                << ", \"line\": " << d.line << ", \"frame\": " << d.frame
                << ", \"message\": " << json_string(d.message) << "}}";
        }
        out << "]}";
    }
    out << "\n  ]\n}\n";
    return out.str();
}

std::string results_csv(const Results &results) {
    std::ostringstream out;
    out << "name,status,score,cases_passed,cases";
    for (const std::string &name : results.cases) out << "," << csv_field(name);
    out << "\n";
    for (const SubmissionResult &sub : results.submissions) {
        out << csv_field(sub.name) << "," << sub.status << "," << number(sub.score) << ","
            << sub.cases_passed() << "," << sub.cases.size();
        for (const std::string &name : results.cases) {
            std::string status = sub.status == "compile_error" ? "compile_error" : "";
            for (const CaseResult &result : sub.cases) {
                if (result.name == name) status = result.status;
            }
            out << "," << status;
        }
        out << "\n";
    }
    return out.str();
}

std::string junit_xml(const Results &results) {
    std::ostringstream out;
    int tests = 0, failures = 0;
    for (const SubmissionResult &sub : results.submissions) {
        const int count = int(std::max<size_t>(sub.cases.size(), 1));
        tests += count;
        failures += sub.status == "compile_error" ? count : count - sub.cases_passed();
    }
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"kanvo-grade\" tests=\""
        << tests << "\" failures=\"" << failures << "\">\n";
    for (const SubmissionResult &sub : results.submissions) {
        const int count = int(std::max<size_t>(sub.cases.size(), 1));
        const int failed = sub.status == "compile_error" ? count : count - sub.cases_passed();
        out << "  <testsuite name=\"" << xml_escaped(sub.name) << "\" tests=\"" << count
            << "\" failures=\"" << failed << "\">\n";
        if (sub.status == "compile_error") {
            out << "    <testcase classname=\"" << xml_escaped(sub.name)
                << "\" name=\"compile\"><failure type=\"compile_error\" message=\"does not compile\"/>"
                   "</testcase>\n";
        }
        for (const CaseResult &result : sub.cases) {
            out << "    <testcase classname=\"" << xml_escaped(sub.name) << "\" name=\""
                << xml_escaped(result.name) << "\"";
            if (result.status == "pass") {
                out << "/>\n";
                continue;
            }
            std::string message = result.message;
            if (result.has_difference) message += (message.empty() ? "" : " ") + result.first_difference.message;
            out << "><failure type=\"" << result.status << "\" message=\"" << xml_escaped(message)
                << "\"/></testcase>\n";
        }
        out << "  </testsuite>\n";
    }
    out << "</testsuites>\n";
    return out.str();
}

std::string class_page(const Results &results) {
    std::ostringstream out;
    out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<title>kanvo-grade: " << html_escaped(results.model) << "</title>"
           "<link rel=\"icon\" href=\"data:,\"><style>" << kStyle << "</style></head><body>\n"
        << "<h1>Grades against " << html_escaped(results.model) << "</h1>\n<p>"
        << results.submissions.size() << " submissions, " << results.cases.size()
        << " test cases (";
    for (size_t i = 0; i < results.cases.size(); ++i) out << (i ? ", " : "") << html_escaped(results.cases[i]);
    out << "). A test case passes when the last picture matches"
        << (results.tolerance ? " (up to " + std::to_string(results.tolerance) + " pixels may differ)" : "")
        << (results.pictures_only ? "" : " and the drawing calls are the model's")
        << "; the score gives each test case equal weight, half for passing it and half for the "
           "share of the model's waits at which the frame (and the calls) matched. Click a "
           "heading to sort. <a href=\"model/index.html\">The model's runs</a> &middot; "
           "<a href=\"results.csv\">results.csv</a> &middot; <a href=\"results.json\">results.json</a>"
           " &middot; <a href=\"junit.xml\">junit.xml</a></p>\n"
           "<table id=\"grades\"><thead><tr><th data-kind=\"text\">Name</th><th data-kind=\"text\">"
           "Status</th><th data-kind=\"number\">Score</th><th data-kind=\"number\">Passed</th>";
    for (const std::string &name : results.cases) out << "<th data-kind=\"text\">" << html_escaped(name) << "</th>";
    out << "<th data-kind=\"text\">Picture</th></tr></thead><tbody>\n";
    for (const SubmissionResult &sub : results.submissions) {
        out << "<tr><td data-value=\"" << html_escaped(sub.name) << "\"><a href=\"" << html_escaped(sub.page)
            << "\">" << html_escaped(sub.name) << "</a>"
            << (sub.clock_reads.empty() ? "" : " <span title=\"reads the clock\">&#9719;</span>")
            << "</td><td class=\"" << sub.status << "\" data-value=\"" << sub.status << "\">" << sub.status
            << "</td><td data-value=\"" << number(sub.score) << "\">" << number(std::round(sub.score * 1000) / 10)
            << "%</td><td data-value=\"" << sub.cases_passed() << "\">" << sub.cases_passed() << " / "
            << results.cases.size() << "</td>";
        for (const std::string &name : results.cases) {
            std::string status = sub.status == "compile_error" ? "compile_error" : "";
            for (const CaseResult &result : sub.cases) {
                if (result.name == name) status = result.status;
            }
            out << "<td class=\"" << status << "\" data-value=\"" << status << "\">" << status << "</td>";
        }
        out << "<td data-value=\"\">";
        if (!sub.thumbnail.empty()) {
            out << "<a href=\"" << html_escaped(sub.page) << "\"><img class=\"thumb\" alt=\"last picture of "
                << html_escaped(sub.name) << "\" src=\"" << html_escaped(sub.thumbnail) << "\"></a>";
        }
        out << "</td></tr>\n";
    }
    out << "</tbody></table>\n<script>\n"
           "document.querySelectorAll('#grades th').forEach(function (th, column) {\n"
           "  th.addEventListener('click', function () {\n"
           "    var body = document.querySelector('#grades tbody');\n"
           "    var rows = Array.prototype.slice.call(body.rows);\n"
           "    var down = th.dataset.order !== 'up';\n"
           "    th.dataset.order = down ? 'up' : 'down';\n"
           "    var number = th.dataset.kind === 'number';\n"
           "    rows.sort(function (a, b) {\n"
           "      var x = a.cells[column].dataset.value, y = b.cells[column].dataset.value;\n"
           "      var order = number ? parseFloat(x) - parseFloat(y) : x.localeCompare(y);\n"
           "      return down ? order : -order;\n"
           "    });\n"
           "    rows.forEach(function (row) { body.appendChild(row); });\n"
           "  });\n"
           "});\n</script>\n</body></html>\n";
    return out.str();
}

bool write_text(const std::string &path, const std::string &text, std::string *error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        *error = "cannot write " + path;
        return false;
    }
    return true;
}

// ---- results.json read back ------------------------------------------------------------

struct Value {
    enum Type { null, boolean, number, string, array, object } type = null;
    double number_value = 0;
    bool bool_value = false;
    std::string text;
    std::vector<Value> items;
    std::vector<std::pair<std::string, Value>> members;

    const Value &operator[](const std::string &name) const {
        static const Value none;
        for (const auto &member : members) {
            if (member.first == name) return member.second;
        }
        return none;
    }
};

class JsonReader {
public:
    explicit JsonReader(const std::string &text) : text_(text) {}

    bool read(Value *value, std::string *error) {
        if (!parse(value, 0) || (skip(), at_ != text_.size())) {
            *error = "not valid JSON near byte " + std::to_string(at_);
            return false;
        }
        return true;
    }

private:
    void skip() {
        while (at_ < text_.size() && std::isspace((unsigned char)text_[at_])) ++at_;
    }

    bool literal(const char *word) {
        const size_t length = std::strlen(word);
        if (text_.compare(at_, length, word) != 0) return false;
        at_ += length;
        return true;
    }

    bool parse_string(std::string *out) {
        if (at_ >= text_.size() || text_[at_] != '"') return false;
        ++at_;
        while (at_ < text_.size() && text_[at_] != '"') {
            char c = text_[at_++];
            if (c != '\\') {
                *out += c;
                continue;
            }
            if (at_ >= text_.size()) return false;
            c = text_[at_++];
            if (c == 'u') {
                if (at_ + 4 > text_.size()) return false;
                const unsigned long code = std::strtoul(text_.substr(at_, 4).c_str(), nullptr, 16);
                at_ += 4;
                if (code < 0x80) {
                    *out += char(code);
                } else if (code < 0x800) {
                    *out += char(0xC0 | (code >> 6));
                    *out += char(0x80 | (code & 0x3F));
                } else {
                    *out += char(0xE0 | (code >> 12));
                    *out += char(0x80 | ((code >> 6) & 0x3F));
                    *out += char(0x80 | (code & 0x3F));
                }
            } else {
                const char *from = "\"\\/bfnrt", *to = "\"\\/\b\f\n\r\t";
                const char *found = std::strchr(from, c);
                if (!found || c == '\0') return false;
                *out += to[found - from];
            }
        }
        if (at_ >= text_.size()) return false;
        ++at_;
        return true;
    }

    bool parse(Value *value, int depth) {
        if (depth > 32) return false;
        skip();
        if (at_ >= text_.size()) return false;
        const char c = text_[at_];
        if (c == '{' || c == '[') {
            const bool object = c == '{';
            value->type = object ? Value::object : Value::array;
            ++at_;
            skip();
            if (at_ < text_.size() && text_[at_] == (object ? '}' : ']')) {
                ++at_;
                return true;
            }
            for (;;) {
                Value item;
                std::string name;
                if (object) {
                    skip();
                    if (!parse_string(&name)) return false;
                    skip();
                    if (at_ >= text_.size() || text_[at_++] != ':') return false;
                }
                if (!parse(&item, depth + 1)) return false;
                if (object) value->members.emplace_back(std::move(name), std::move(item));
                else value->items.push_back(std::move(item));
                skip();
                if (at_ >= text_.size()) return false;
                const char next = text_[at_++];
                if (next == (object ? '}' : ']')) return true;
                if (next != ',') return false;
            }
        }
        if (c == '"') {
            value->type = Value::string;
            return parse_string(&value->text);
        }
        if (literal("true") || literal("false")) {
            value->type = Value::boolean;
            value->bool_value = text_[at_ - 1] == 'e' && text_[at_ - 2] == 'u';
            return true;
        }
        if (literal("null")) return true;
        char *end = nullptr;
        value->number_value = std::strtod(text_.c_str() + at_, &end);
        if (end == text_.c_str() + at_) return false;
        value->type = Value::number;
        at_ = size_t(end - text_.c_str());
        return true;
    }

    const std::string &text_;
    size_t at_ = 0;
};

}  // namespace

bool write_class_report(const Results &results, const std::string &directory, std::string *error) {
    return write_text(directory + "/index.html", class_page(results), error) &&
           write_text(directory + "/results.csv", results_csv(results), error) &&
           write_text(directory + "/results.json", results_json(results), error) &&
           write_text(directory + "/junit.xml", junit_xml(results), error);
}

bool read_results(const std::string &path, Results *results, std::string *error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot read " + path;
        return false;
    }
    const std::string text = read_file(path);
    Value root;
    if (!JsonReader(text).read(&root, error)) {
        *error = path + ": " + *error;
        return false;
    }
    if (root.type != Value::object || root["submissions"].type != Value::array) {
        *error = path + ": not a kanvo-grade results.json";
        return false;
    }
    results->model = root["model"].text;
    for (const Value &name : root["cases"].items) results->cases.push_back(name.text);
    results->tolerance = (long long)root["tolerance"].number_value;
    results->pictures_only = root["pictures_only"].bool_value;
    for (const Value &item : root["submissions"].items) {
        SubmissionResult sub;
        sub.name = item["name"].text;
        sub.status = item["status"].text;
        sub.score = item["score"].number_value;
        sub.page = item["page"].text;
        sub.thumbnail = item["thumbnail"].text;
        for (const Value &read : item["clock_reads"].items) sub.clock_reads.push_back(read.text);
        for (const Value &c : item["cases"].items) {
            CaseResult result;
            result.name = c["case"].text;
            result.status = c["status"].text;
            result.score = c["score"].number_value;
            result.checkpoints = (unsigned long long)c["checkpoints"].number_value;
            result.checkpoints_passed = (unsigned long long)c["checkpoints_passed"].number_value;
            result.differing_pixels = (long long)c["differing_pixels"].number_value;
            result.message = c["message"].text;
            const Value &d = c["first_difference"];
            if (d.type == Value::object) {
                result.has_difference = true;
                result.first_difference.kind = d["kind"].text;
                result.first_difference.expected = d["expected"].text;
                result.first_difference.actual = d["actual"].text;
                result.first_difference.file = d["file"].text;
                result.first_difference.line = int(d["line"].number_value);
                result.first_difference.frame = (unsigned long long)d["frame"].number_value;
                result.first_difference.message = d["message"].text;
            }
            sub.cases.push_back(std::move(result));
        }
        if (sub.name.empty() || sub.page.empty()) {
            *error = path + ": a submission without a name or page";
            return false;
        }
        results->submissions.push_back(std::move(sub));
    }
    return true;
}

}  // namespace grade
