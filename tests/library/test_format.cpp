// Formatted text into the library's 1024-byte buffer: exactly what the C library's
// snprintf keeps, also for widths and precisions far beyond what can show, which must not
// make the C library produce billions of characters first.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>

#include "testing.h"

namespace {

struct Formatted {
    std::string text;
    int count;
    bool operator==(const Formatted &o) const { return text == o.text && count == o.count; }
};

void PrintTo(const Formatted &f, std::ostream *out) {
    *out << f.count << " \"" << (f.text.size() > 60 ? f.text.substr(0, 60) + "..." : f.text) << "\"";
}

Formatted ours(const char *format, ...) {
    char buffer[kFormatBuffer];
    va_list args;
    va_start(args, format);
    const int count = format_text(buffer, format, args);
    va_end(args);
    return {buffer, count};
}

// What snprintf keeps of the same, counted as format_text counts.
Formatted reference(const char *format, ...) {
    char buffer[kFormatBuffer];
    va_list args;
    va_start(args, format);
    int count = vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (count < 0) return {"", 0};
    return {buffer, count > kFormatBuffer - 1 ? kFormatBuffer - 1 : count};
}

#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"

TEST(FormatText, SameTextAsSnprintfAcrossWidthsPrecisionsAndFlags) {
    const std::string prefix_lengths[] = {"", std::string(500, 'p'), std::string(1020, 'p')};
    const char *flags[] = {"", "-", "0", "+", "#", " ", "-+"};
    const char *widths[] = {"", "5", "1023", "1100", "5000", "30000"};
    const char *precisions[] = {"", ".0", ".3", ".1100", ".17001", ".20000", ".40000"};
    const std::string long_text(3000, 's');
    int compared = 0;
    for (const std::string &prefix : prefix_lengths) {
        for (const char *flag : flags) {
            for (const char *width : widths) {
                for (const char *precision : precisions) {
                    const std::string directive = prefix + "%" + flag + width + precision;
                    const std::string tail = "|%d|";
                    auto same = [&](const std::string &format, auto value) {
                        SCOPED_TRACE(format.substr(prefix.size()));
                        EXPECT_EQ(ours(format.c_str(), value, 7), reference(format.c_str(), value, 7));
                        ++compared;
                    };
                    same(directive + "d" + tail, -1234);
                    same(directive + "x" + tail, 0xBEEFu);
                    same(directive + "lld" + tail, -9000000000LL);
                    same(directive + "f" + tail, -3.14159);
                    same(directive + "f" + tail, 1e300);
                    same(directive + "f" + tail, 0.1);
                    same(directive + "e" + tail, 6.02e23);
                    same(directive + "g" + tail, 0.1);
                    same(directive + "a" + tail, 1.5);
                    same(directive + "f" + tail, double(INFINITY));
                    same(directive + "Lf" + tail, 1.0L / 3);
                    same(directive + "s" + tail, "kanvo");
                    same(directive + "s" + tail, long_text.c_str());
                }
            }
            const std::string star = prefix + "%" + flag + "*.*f|%n|%s";
            int ours_seen = -1, reference_seen = -1;
            EXPECT_EQ(ours(star.c_str(), -4000, 25000, 2.5, &ours_seen, "end"),
                      reference(star.c_str(), -4000, 25000, 2.5, &reference_seen, "end"));
            EXPECT_EQ(ours_seen, reference_seen);
        }
    }
    EXPECT_GT(compared, 3000);
    EXPECT_EQ(ours("%c%5c%-3c|%%|%p", 'a', 'b', 'c', nullptr), reference("%c%5c%-3c|%%|%p", 'a', 'b', 'c', nullptr));
    // Positional arguments as POSIX has them, also where the C library lacks them.
    EXPECT_EQ(ours("%2$s %1$s", "a", "b"), (Formatted{"b a", 3}));
}

TEST(FormatText, EnormousWidthsAndPrecisionsStayCheap) {
    // Each of these makes the C library produce billions of characters (seconds and
    // gigabytes); only the first 1023 can show.
    EXPECT_EQ(ours("%.2147483600f", 1.0), (Formatted{"1." + std::string(1021, '0'), 1023}));
    EXPECT_EQ(ours("%2147483647d", 5), (Formatted{std::string(1023, ' '), 1023}));
    EXPECT_EQ(ours("%-2147483647d", 5), (Formatted{"5" + std::string(1022, ' '), 1023}));
    EXPECT_EQ(ours("%.2147483600d", -5), (Formatted{"-" + std::string(1022, '0'), 1023}));
    EXPECT_EQ(ours("%*s", 2147483647, "x"), (Formatted{std::string(1023, ' '), 1023}));
    EXPECT_EQ(ours("%0*.*e", 2147483000, 2147483000, -2.0), (Formatted{"-2." + std::string(1020, '0'), 1023}));
    // Beyond INT_MAX characters printf fails, and the text is empty as before.
    EXPECT_EQ(ours("%2147483647d%d", 1, 2), (Formatted{"", 0}));
    EXPECT_EQ(ours("%.2147483647f", 1.0), (Formatted{"", 0}));
    EXPECT_EQ(ours("%.99999999999f", 1.0), (Formatted{"", 0}));
}

TEST(FormatText, PositionalWideAndUnknownDirectivesStayCheapToo) {
    // The same bound for directives that name their argument, wide text, pointers and
    // conversions printf does not know: the C library would take seconds and gigabytes.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ours("%1$.2147483600f", 1.0), (Formatted{"1." + std::string(1021, '0'), 1023}));
    EXPECT_EQ(ours("%1$2147483647d", 5), (Formatted{std::string(1023, ' '), 1023}));
    EXPECT_EQ(ours("%2$*1$d|%1$d", -20, 7), (Formatted{"7" + std::string(19, ' ') + "|-20", 24}));
    EXPECT_EQ(ours("%3$s %1$.*2$f %3$5.2s", 3.14159, 2, "abc"), (Formatted{"abc 3.14    ab", 14}));
    EXPECT_EQ(ours("%1$.2147483647f", 1.0), (Formatted{"", 0}));
    EXPECT_EQ(ours("%.2147483647ls|%5ls|%.1ls|%lc", L"wide", L"ab", L"xyz", wint_t(L'q')),
              (Formatted{"wide|   ab|x|q", 14}));
    EXPECT_EQ(ours("%.2147483600p", reinterpret_cast<void *>(0x1234)).count, 1023);
    EXPECT_EQ(ours("%.2147483647y|%5k|%d", 7), (Formatted{"%.2147483647y|%5k|7", 19}));
    // Mixed or gapped positions cannot be fetched: nothing, as when printf fails.
    EXPECT_EQ(ours("%1$d %d", 1, 2), (Formatted{"", 0}));
    EXPECT_EQ(ours("%2$d", 1, 2), (Formatted{"", 0}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

}  // namespace
