// Formatted text by the printf rules into the library's 1024-byte buffers. Only 1023
// characters are kept, so an enormous width or precision ("%.2147483647f") must not make
// the C library produce billions of characters first: each conversion is formatted on its
// own with its width and precision cut to what can still show, which keeps the text (and
// the count that %n sees) exactly what printf would give, at a bounded cost. Positional
// arguments ("%2$s") are fetched here too, and a conversion printf does not know is
// written as it stands (as the GNU C library does), so no format reaches the C library
// whole.
#include <cctype>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/types.h>
#include <vector>
#include <cwchar>

#include "kanvo_internal.h"

namespace {

constexpr int kKept = kFormatBuffer - 1;
// A precision this large already gives every exact digit of any double or long double:
// beyond it only zeros follow, so cutting a larger one to it changes no kept character.
constexpr long long kPrecisionCut = 17000;

enum class Arg { none, int_, long_, long_long, intmax, size, ptrdiff, unsigned_, unsigned_long,
                 unsigned_long_long, uintmax, double_, long_double, string, pointer, count,
                 wide_char, wide_string, literal };

// Positions beyond this are refused, as the C library refuses them.
constexpr int kMaxPosition = 4096;

// One conversion of the format, as written.
struct Directive {
    std::string flags;
    bool width_star = false, precision_star = false, has_precision = false;
    long long width = 0, precision = 0;  // literal values, saturated
    std::string length;                  // hh, h, l, ll, L, q, j, z, Z, t or empty
    char conversion = 0;
    Arg arg = Arg::none;
    // Positional forms: "%n$", "*m$"; 0 where the next argument in turn is taken.
    int position = 0, width_position = 0, precision_position = 0;
    std::string text;  // the directive as written, from the '%'
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

// "n$" at *p: the position, with *p after it; 0 (and *p kept) when there is none, -1
// when it is out of range.
int read_position(const char **p) {
    const char *s = *p;
    const long long value = read_number(&s);
    if (s == *p || *s != '$') return 0;
    *p = s + 1;
    return value >= 1 && value <= kMaxPosition ? int(value) : -1;
}

// Parses the conversion after a '%'; false where the format is broken (a position out of
// range). A conversion printf does not know becomes a literal.
bool parse_directive(const char **p, Directive *directive) {
    const char *s = *p;
    directive->position = read_position(&s);
    while (*s && std::strchr("-+ #0'I", *s)) directive->flags += *s++;
    if (*s == '*') {
        directive->width_star = true;
        ++s;
        directive->width_position = read_position(&s);
    } else {
        directive->width = read_number(&s);
    }
    if (*s == '.') {
        ++s;
        directive->has_precision = true;
        if (*s == '*') {
            directive->precision_star = true;
            ++s;
            directive->precision_position = read_position(&s);
        } else {
            directive->precision = read_number(&s);
        }
    }
    if (directive->position < 0 || directive->width_position < 0 || directive->precision_position < 0)
        return false;
    for (const char *length : {"hh", "ll", "h", "l", "L", "q", "j", "z", "Z", "t"}) {
        const size_t n = std::strlen(length);
        if (std::strncmp(s, length, n) == 0) {
            directive->length = length;
            s += n;
            break;
        }
    }
    directive->conversion = *s;
    if (*s) ++s;
    directive->text = "%" + std::string(*p, s);
    *p = s;
    const char c = directive->conversion;
    const bool plain = directive->length.empty();
    if (c == 'd' || c == 'i') directive->arg = integer_arg(directive->length, true);
    else if (c && std::strchr("ouxX", c)) directive->arg = integer_arg(directive->length, false);
    else if (c && std::strchr("fFeEgGaA", c)) directive->arg = directive->length == "L" ? Arg::long_double : Arg::double_;
    else if (c == 'c' && plain) directive->arg = Arg::int_;
    else if (c == 's' && plain) directive->arg = Arg::string;
    else if ((c == 'c' && directive->length == "l") || (c == 'C' && plain)) directive->arg = Arg::wide_char;
    else if ((c == 's' && directive->length == "l") || (c == 'S' && plain)) directive->arg = Arg::wide_string;
    else if (c == 'p') directive->arg = Arg::pointer;
    else if (c == 'n') directive->arg = Arg::count;
    else if (c == 'm') directive->arg = Arg::none;
    else directive->arg = Arg::literal;
    if (directive->arg == Arg::literal) directive->width_star = directive->precision_star = false;
    return true;
}

// The directives of a format in order, with what lies between them.
struct Piece {
    std::string text;     // plain text, "%%" already made "%"
    Directive directive;  // when is_directive
    bool is_directive = false;
};

// Splits the format; false when it is broken, mixes positional and sequential arguments
// or leaves a position unused (the C library cannot fetch past a gap either).
bool split_format(const char *format, std::vector<Piece> *pieces, bool *positional) {
    int numbered = 0, in_turn = 0;
    for (const char *p = format; *p;) {
        if (*p != '%' || p[1] == '%') {
            if (pieces->empty() || pieces->back().is_directive) pieces->push_back(Piece{});
            pieces->back().text += *p;
            p += *p == '%' ? 2 : 1;
            continue;
        }
        ++p;
        Piece piece;
        piece.is_directive = true;
        if (!parse_directive(&p, &piece.directive)) return false;
        const Directive &d = piece.directive;
        if (d.arg != Arg::literal) {
            const bool takes_value = d.arg != Arg::none;
            numbered += (d.position > 0) + (d.width_position > 0) + (d.precision_position > 0);
            in_turn += (takes_value && d.position == 0) + (d.width_star && d.width_position == 0) +
                       (d.precision_star && d.precision_position == 0);
        }
        pieces->push_back(piece);
    }
    *positional = numbered > 0;
    return numbered == 0 || in_turn == 0;
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
        wint_t wc;
        const wchar_t *ws;
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
#if WINT_MAX < INT_MAX
    case Arg::wide_char: v.wc = wint_t(va_arg(args, int)); break;  // promoted
#else
    case Arg::wide_char: v.wc = va_arg(args, wint_t); break;
#endif
    case Arg::wide_string: v.ws = va_arg(args, const wchar_t *); break;
    case Arg::literal: break;
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
    case Arg::wide_char: return snprintf(out, size, format, width, precision, v.wc);
    case Arg::wide_string: return snprintf(out, size, format, width, precision, v.ws);
    case Arg::count:
    case Arg::literal: return 0;
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
        std::vector<Piece> pieces;
        bool positional = false;
        if (!split_format(format, &pieces, &positional)) return -1;
        std::vector<Value> values;
        if (positional && !fetch_by_position(pieces, args, &values)) return -1;
        for (Piece &piece : pieces) {
            if (!piece.is_directive) {
                append_text(piece.text.data(), piece.text.size());
                continue;
            }
            Directive &d = piece.directive;
            if (d.arg == Arg::literal) {
                append_text(d.text.data(), d.text.size());
                continue;
            }
            long long width = d.width, precision = d.precision;
            Value value;
            if (positional) {
                if (d.width_star) width = values[size_t(d.width_position)].i;
                if (d.precision_star) precision = values[size_t(d.precision_position)].i;
                value = d.arg == Arg::none ? Value{} : values[size_t(d.position)];
            } else {
                if (d.width_star) width = va_arg(args, int);
                if (d.precision_star) precision = va_arg(args, int);
                value = fetch(d.arg, args);
            }
            if (!conversion(d, width, precision, value)) return -1;
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

    // Every argument by its position, in order, each of the type its directives give it.
    static bool fetch_by_position(const std::vector<Piece> &pieces, va_list &args, std::vector<Value> *values) {
        std::vector<Arg> types(1, Arg::none);
        auto want = [&types](int position, Arg arg) {
            if (position <= 0) return true;
            if (types.size() <= size_t(position)) types.resize(size_t(position) + 1, Arg::none);
            Arg &type = types[size_t(position)];
            if (type != Arg::none && type != arg) return false;
            type = arg;
            return true;
        };
        for (const Piece &piece : pieces) {
            const Directive &d = piece.directive;
            if (!piece.is_directive || d.arg == Arg::literal) continue;
            if (!want(d.width_position, Arg::int_) || !want(d.precision_position, Arg::int_) ||
                (d.arg != Arg::none && !want(d.position, d.arg)))
                return false;
        }
        values->assign(types.size(), Value{});
        for (size_t i = 1; i < types.size(); ++i) {
            if (types[i] == Arg::none) return false;  // a gap
            (*values)[i] = fetch(types[i], args);
        }
        return true;
    }

    bool conversion(Directive &directive, long long width, long long precision, const Value &value) {
        if (width < 0) {  // a negative width from an argument means left-justified
            directive.flags += '-';
            width = -width;
        }
        if (!directive.has_precision || precision < 0) precision = -1;
        if (width > INT_MAX || precision > INT_MAX) return false;
        if (directive.arg == Arg::count) {
            store_count(directive, value.p, total_);
            return true;
        }
        const std::string format = "%" + directive.flags + "*.*" + directive.length + directive.conversion;
        // The natural text (no width), with a numeric precision cut where only zeros or
        // exact digits follow; strings keep theirs (a precision only shortens them).
        const bool text = directive.arg == Arg::string || directive.arg == Arg::wide_string;
        if (text && precision >= 0) {
            // A precision beyond the whole text changes nothing (and makes some C
            // libraries set aside that many bytes for wide text).
            const int whole = format_one(nullptr, 0, format.c_str(), 0, -1, value);
            if (whole < 0) return false;
            if (precision >= whole) precision = -1;
        }
        const long long cut = !text && precision > kPrecisionCut ? kPrecisionCut : precision;
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
    va_list copy;
    va_copy(copy, args);
    const long long count = Formatter(buffer).run(format, copy);
    va_end(copy);
    if (count < 0 || count > INT_MAX) {
        buffer[0] = '\0';
        return 0;
    }
    return count > kKept ? kKept : int(count);
}
