// Formatted text by the printf rules into the library's 1024-byte buffers. Only 1023
// characters are kept, so an enormous width or precision ("%.2147483647f") must not make
// the C library produce billions of characters first: each conversion is formatted on its
// own with its width and precision cut to what can still show, which keeps the text (and
// the count that %n sees) exactly what printf would give, at a bounded cost.
#include <cctype>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/types.h>

#include "kanvo_internal.h"

namespace {

constexpr int kKept = kFormatBuffer - 1;
// A precision this large already gives every exact digit of any double or long double:
// beyond it only zeros follow, so cutting a larger one to it changes no kept character.
constexpr long long kPrecisionCut = 17000;

enum class Arg { none, int_, long_, long_long, intmax, size, ptrdiff, unsigned_, unsigned_long,
                 unsigned_long_long, uintmax, double_, long_double, string, pointer, count };

// One conversion of the format, as written.
struct Directive {
    std::string flags;
    bool width_star = false, precision_star = false, has_precision = false;
    long long width = 0, precision = 0;  // literal values, saturated
    std::string length;                  // hh, h, l, ll, L, q, j, z, Z, t or empty
    char conversion = 0;
    Arg arg = Arg::none;
};

long long read_number(const char **p) {
    long long value = 0;
    while (std::isdigit(static_cast<unsigned char>(**p))) {
        value = value * 10 + (**p - '0');
        if (value > INT_MAX) value = (long long)INT_MAX + 1;  // saturate: an error below
        ++*p;
    }
    return value;
}

Arg integer_arg(const std::string &length, bool is_signed) {
    if (length == "l") return is_signed ? Arg::long_ : Arg::unsigned_long;
    if (length == "ll" || length == "q" || length == "L")
        return is_signed ? Arg::long_long : Arg::unsigned_long_long;
    if (length == "j") return is_signed ? Arg::intmax : Arg::uintmax;
    if (length == "z" || length == "Z") return is_signed ? Arg::size : Arg::unsigned_long;
    if (length == "t") return Arg::ptrdiff;
    return is_signed ? Arg::int_ : Arg::unsigned_;
}

// Parses the conversion after a '%'; false for what this formatter leaves to the C
// library whole (positional arguments, wide characters, unknown conversions).
bool parse_directive(const char **p, Directive *directive) {
    const char *s = *p;
    while (*s && std::strchr("-+ #0'I", *s)) directive->flags += *s++;
    if (*s == '*') {
        directive->width_star = true;
        ++s;
    } else {
        const char *digits = s;
        directive->width = read_number(&s);
        if (*s == '$' && s != digits) return false;
    }
    if (*s == '.') {
        ++s;
        directive->has_precision = true;
        if (*s == '*') {
            directive->precision_star = true;
            ++s;
        } else {
            directive->precision = read_number(&s);
        }
    }
    if (*s == '$') return false;
    for (const char *length : {"hh", "ll", "h", "l", "L", "q", "j", "z", "Z", "t"}) {
        const size_t n = std::strlen(length);
        if (std::strncmp(s, length, n) == 0) {
            directive->length = length;
            s += n;
            break;
        }
    }
    directive->conversion = *s;
    if (!*s) return false;
    ++s;
    const char c = directive->conversion;
    if (c == 'd' || c == 'i') directive->arg = integer_arg(directive->length, true);
    else if (std::strchr("ouxX", c)) directive->arg = integer_arg(directive->length, false);
    else if (std::strchr("fFeEgGaA", c)) directive->arg = directive->length == "L" ? Arg::long_double : Arg::double_;
    else if (c == 'c' && directive->length.empty()) directive->arg = Arg::int_;
    else if (c == 's' && directive->length.empty()) directive->arg = Arg::string;
    else if (c == 'p') directive->arg = Arg::pointer;
    else if (c == 'n') directive->arg = Arg::count;
    else if (c == 'm') directive->arg = Arg::none;
    else return false;
    *p = s;
    return true;
}

// Whether the whole format is one this formatter handles.
bool format_supported(const char *format) {
    for (const char *p = format; *p; ++p) {
        if (*p != '%') continue;
        if (p[1] == '%') {
            ++p;
            continue;
        }
        const char *s = p + 1;
        Directive directive;
        if (!parse_directive(&s, &directive)) return false;
        p = s - 1;
    }
    return true;
}

// The value of one argument, fetched by its type.
struct Value {
    Arg arg = Arg::none;
    union {
        int i;
        long l;
        long long ll;
        intmax_t im;
        ssize_t sz;
        ptrdiff_t pd;
        unsigned u;
        unsigned long ul;
        unsigned long long ull;
        uintmax_t uim;
        double d;
        long double ld;
        const char *s;
        void *p;
    };
};

Value fetch(Arg arg, va_list &args) {
    Value v;
    v.arg = arg;
    switch (arg) {
    case Arg::none: break;
    case Arg::int_: v.i = va_arg(args, int); break;
    case Arg::long_: v.l = va_arg(args, long); break;
    case Arg::long_long: v.ll = va_arg(args, long long); break;
    case Arg::intmax: v.im = va_arg(args, intmax_t); break;
    case Arg::size: v.sz = va_arg(args, ssize_t); break;
    case Arg::ptrdiff: v.pd = va_arg(args, ptrdiff_t); break;
    case Arg::unsigned_: v.u = va_arg(args, unsigned); break;
    case Arg::unsigned_long: v.ul = va_arg(args, unsigned long); break;
    case Arg::unsigned_long_long: v.ull = va_arg(args, unsigned long long); break;
    case Arg::uintmax: v.uim = va_arg(args, uintmax_t); break;
    case Arg::double_: v.d = va_arg(args, double); break;
    case Arg::long_double: v.ld = va_arg(args, long double); break;
    case Arg::string: v.s = va_arg(args, const char *); break;
    case Arg::pointer:
    case Arg::count: v.p = va_arg(args, void *); break;
    }
    return v;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
// Formats one conversion whose format takes its width and precision from arguments.
int format_one(char *out, size_t size, const char *format, int width, int precision, const Value &v) {
    switch (v.arg) {
    case Arg::none: return snprintf(out, size, format, width, precision);
    case Arg::int_: return snprintf(out, size, format, width, precision, v.i);
    case Arg::long_: return snprintf(out, size, format, width, precision, v.l);
    case Arg::long_long: return snprintf(out, size, format, width, precision, v.ll);
    case Arg::intmax: return snprintf(out, size, format, width, precision, v.im);
    case Arg::size: return snprintf(out, size, format, width, precision, v.sz);
    case Arg::ptrdiff: return snprintf(out, size, format, width, precision, v.pd);
    case Arg::unsigned_: return snprintf(out, size, format, width, precision, v.u);
    case Arg::unsigned_long: return snprintf(out, size, format, width, precision, v.ul);
    case Arg::unsigned_long_long: return snprintf(out, size, format, width, precision, v.ull);
    case Arg::uintmax: return snprintf(out, size, format, width, precision, v.uim);
    case Arg::double_: return snprintf(out, size, format, width, precision, v.d);
    case Arg::long_double: return snprintf(out, size, format, width, precision, v.ld);
    case Arg::string: return snprintf(out, size, format, width, precision, v.s);
    case Arg::pointer: {
        // MinGW's C library prints a null pointer as "0" once any precision is passed,
        // even -1 (none): without one it prints what a plain %p does.
        if (precision >= 0) return snprintf(out, size, format, width, precision, v.p);
        std::string without = format;
        without.erase(without.find(".*"), 2);
        return snprintf(out, size, without.c_str(), width, v.p);
    }
    case Arg::count: return 0;
    }
    return -1;
}
#pragma GCC diagnostic pop

void store_count(const Directive &directive, void *target, long long count) {
    if (!target) return;
    if (directive.length == "hh") *static_cast<signed char *>(target) = static_cast<signed char>(count);
    else if (directive.length == "h") *static_cast<short *>(target) = static_cast<short>(count);
    else if (directive.length == "l" || directive.length == "z" || directive.length == "Z" || directive.length == "t")
        *static_cast<long *>(target) = static_cast<long>(count);
    else if (directive.length == "ll" || directive.length == "q" || directive.length == "L" || directive.length == "j")
        *static_cast<long long *>(target) = count;
    else *static_cast<int *>(target) = static_cast<int>(count);
}

// Builds the formatted text; returns the full length printf would report, or -1 where
// printf fails (a width, precision or total beyond INT_MAX).
class Formatter {
public:
    explicit Formatter(char *buffer) : buffer_(buffer) { buffer_[0] = '\0'; }

    long long run(const char *format, va_list &args) {
        for (const char *p = format; *p;) {
            if (*p != '%') {
                append_text(p++, 1);
                continue;
            }
            if (p[1] == '%') {
                append_text("%", 1);
                p += 2;
                continue;
            }
            ++p;
            Directive directive;
            parse_directive(&p, &directive);  // checked before: every conversion parses
            if (!conversion(directive, args)) return -1;
        }
        return total_;
    }

private:
    void append_text(const char *text, size_t length) {
        total_ += (long long)length;
        const size_t room = size_t(kKept - kept_);
        const size_t n = length < room ? length : room;
        std::memcpy(buffer_ + kept_, text, n);
        kept_ += int(n);
        buffer_[kept_] = '\0';
    }

    bool conversion(Directive &directive, va_list &args) {
        long long width = directive.width_star ? va_arg(args, int) : directive.width;
        long long precision = directive.precision_star ? va_arg(args, int) : directive.precision;
        if (width < 0) {  // a negative width from an argument means left-justified
            directive.flags += '-';
            width = -width;
        }
        if (!directive.has_precision || precision < 0) precision = -1;
        if (width > INT_MAX || precision > INT_MAX) return false;
        const Value value = fetch(directive.arg, args);
        if (directive.arg == Arg::count) {
            store_count(directive, value.p, total_);
            return true;
        }
        const std::string format = "%" + directive.flags + "*.*" + directive.length + directive.conversion;
        // The natural text (no width), with a numeric precision cut where only zeros or
        // exact digits follow; strings keep theirs (a precision only shortens them).
        const bool numeric = directive.arg != Arg::string && directive.arg != Arg::pointer;
        const long long cut = numeric && precision > kPrecisionCut ? kPrecisionCut : precision;
        const int natural_cut = format_one(nullptr, 0, format.c_str(), 0, int(cut), value);
        if (natural_cut < 0) return false;
        long long natural = natural_cut;
        if (cut != precision) {
            // Does the text grow with the precision (digits) or not (inf, nan, %g)?
            const int longer = format_one(nullptr, 0, format.c_str(), 0, int(cut) + 1, value);
            if (longer > natural_cut) natural += precision - cut;
        }
        const long long field = width > natural ? width : natural;
        const long long padding = field - natural;
        const int room = kKept - kept_;
        if (room > 0) {
            // Padding beyond what can still show is cut; its kind (spaces or zeros, before
            // or after) is the C library's own.
            const long long shown_padding = padding < room ? padding : room;
            const int shown_width = padding > 0 ? int(natural_cut + shown_padding) : 0;
            char *out = buffer_ + kept_;
            const int made = format_one(out, size_t(room) + 1, format.c_str(), shown_width, int(cut), value);
            if (made < 0) return false;
            kept_ += made < room ? made : room;
            buffer_[kept_] = '\0';
        }
        total_ += field;
        return total_ <= INT_MAX;
    }

    char *buffer_;
    int kept_ = 0;
    long long total_ = 0;
};

}  // namespace

int format_text(char *buffer, const char *format, va_list args) {
    buffer[0] = '\0';
    if (!format) return 0;
    long long count;
    if (format_supported(format)) {
        va_list copy;
        va_copy(copy, args);
        count = Formatter(buffer).run(format, copy);
        va_end(copy);
    } else {
        count = vsnprintf(buffer, kFormatBuffer, format, args);
    }
    if (count < 0 || count > INT_MAX) {
        buffer[0] = '\0';
        return 0;
    }
    return count > kKept ? kKept : int(count);
}
