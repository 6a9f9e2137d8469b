#include "location/Coordinate.h"

#include <locale.h>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace {

constexpr double kPerMinute = 0.016666666666666666;
constexpr double kPerSecond = 0.0002777777777777778;

bool IsSpace(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// The "C" locale, so numbers read with a decimal point whatever the desktop's
// locale is.
locale_t CLocale()
{
    static locale_t loc = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

// A small formatted scan over the directives "%d", "%lf" and blanks, with the
// standard scan's rules: numeric fields skip leading white space, a blank in
// the format skips any amount of white space, and the scan stops at the first
// field that cannot be read, leaving it and the rest untouched.
class CScanner
{
public:
    explicit CScanner(const std::string& text) : m_text(text) {}

    bool ReadInt(int& value)
    {
        SkipSpace();
        if (AtSign())
            return false;
        const char* start = m_text.c_str() + m_pos;
        char* end = nullptr;
        long long n = ::strtoll_l(start, &end, 10, CLocale());
        if (end == start)
            return false;
        // Out-of-range degrees or minutes are clamped, so they fail the range
        // check instead of wrapping into it.
        if (n > INT_MAX)
            n = INT_MAX;
        if (n < INT_MIN)
            n = INT_MIN;
        value = static_cast<int>(n);
        m_pos += static_cast<size_t>(end - start);
        return true;
    }

    bool ReadDouble(double& value)
    {
        SkipSpace();
        if (AtSign())
            return false;
        const char* start = m_text.c_str() + m_pos;
        char* end = nullptr;
        double d = ::strtod_l(start, &end, CLocale());
        if (end == start)
            return false;
        value = d;
        m_pos += static_cast<size_t>(end - start);
        return true;
    }

    void SkipSpace()
    {
        while (m_pos < m_text.size() && IsSpace(m_text[m_pos]))
            ++m_pos;
    }

    // True when only white space is left after the fields read so far.
    bool AtEnd()
    {
        SkipSpace();
        return m_pos == m_text.size();
    }

private:
    // The hemisphere letter carries the sign, so a field may not carry one.
    bool AtSign() const { return m_pos < m_text.size() && (m_text[m_pos] == '-' || m_text[m_pos] == '+'); }

    const std::string& m_text;
    size_t m_pos = 0;
};

// Every run of blanks becomes one blank (pairs replaced until none is left),
// then white space is trimmed from the left and the right.
std::string CollapseAndTrim(std::string s)
{
    bool bFound = true;
    while (bFound) {
        bFound = false;
        std::string out;
        out.reserve(s.size());
        for (size_t i = 0; i < s.size(); ++i) {
            if (s[i] == ' ' && i + 1 < s.size() && s[i + 1] == ' ') {
                out += ' ';
                ++i;
                bFound = true;
            } else {
                out += s[i];
            }
        }
        s.swap(out);
    }
    size_t first = 0;
    while (first < s.size() && IsSpace(s[first]))
        ++first;
    s.erase(0, first);
    size_t last = s.size();
    while (last > 0 && IsSpace(s[last - 1]))
        --last;
    s.erase(last);
    return s;
}

std::string Format(char letter, int degreeDigits, double value)
{
    double a = std::fabs(value);
    // A location outside the globe cannot be shown; offer the unset one.
    if (!std::isfinite(a) || a > 360.0)
        a = 0.0;
    int d = static_cast<int>(a);
    double m = (a - d) * 60.0;

    std::string out(1, letter);
    char buf[32];
    auto [pd, ed] = std::to_chars(buf, buf + sizeof buf, d);
    (void)ed;
    std::string degrees(buf, pd);
    while (static_cast<int>(degrees.size()) < degreeDigits)
        degrees.insert(degrees.begin(), '0');
    out += degrees;
    out += ' ';
    auto [pm, em] = std::to_chars(buf, buf + sizeof buf, m, std::chars_format::fixed, 4);
    (void)em;
    std::string minutes(buf, pm);
    while (minutes.size() < 7)
        minutes.insert(minutes.begin(), '0');
    out += minutes;
    return out;
}

}  // namespace

double ParseCoordinate(const std::string& text, bool bLatitude, const MessageSink& showMessage)
{
    double value = 0.0;
    ReadCoordinate(text, bLatitude, showMessage, value);
    return value;
}

bool ReadCoordinate(const std::string& text, bool bLatitude, const MessageSink& showMessage, double& value)
{
    auto show = [&](const char* message) {
        if (showMessage)
            showMessage(message);
    };
    value = 0.0;
    double sign = 1.0;

    // The letter is tested before any trimming: a leading blank is an error.
    char letter = text.empty() ? '\0' : text[0];
    if (bLatitude) {
        if (letter != 'N' && letter != 'n' && letter != 'S' && letter != 's') {
            show("The latitude must begin with 'N' or 'S'.  Please try again");
            return false;
        }
        if (letter == 'S' || letter == 's')
            sign = -1.0;
    } else {
        if (letter != 'E' && letter != 'e' && letter != 'W' && letter != 'w') {
            show("The longitude must begin with 'E' or 'W'.  Please try again");
            return false;
        }
        if (letter == 'W' || letter == 'w')
            sign = -1.0;
    }

    std::string body = CollapseAndTrim(text.substr(1, 99));
    int dots = 0;
    int blanks = 0;
    for (char c : body) {
        if (c == '.')
            ++dots;
        else if (c == ' ')
            ++blanks;
    }

    const char* const notUnderstood = "Your coordinate string could not be understood.  Please try again.";
    CScanner scan(body);
    if (dots >= 2) {
        show(
            "There are multiple decimal points in one of the coordinates.\n"
            "Please use an unambiguous format. Eg. a space between degrees and minutes.");
        return false;
    } else if (blanks == 0) {
        double degrees = 0.0;
        scan.ReadDouble(degrees);
        value = degrees;
    } else if (blanks == 1) {
        int degrees = 0;
        double minutes = 0.0;
        if (scan.ReadInt(degrees))
            scan.ReadDouble(minutes);
        value = minutes * kPerMinute + degrees;
    } else if (blanks == 2) {
        int degrees = 0;
        int minutes = 0;
        double seconds = 0.0;
        if (scan.ReadInt(degrees) && scan.ReadInt(minutes))
            scan.ReadDouble(seconds);
        value = minutes * kPerMinute + seconds * kPerSecond + degrees;
    } else {
        show(notUnderstood);
        return false;
    }
    // Whatever the fields did not take (a decimal comma, a degree sign, a signed
    // field, a trailing word) would otherwise be dropped without a word.
    if (!scan.AtEnd()) {
        value = 0.0;
        show(notUnderstood);
        return false;
    }

    value *= sign;

    double limit = bLatitude ? 90.0 : 180.0;
    if (!(value >= -limit && value <= limit)) {
        show(bLatitude ? "The latitude that you have entered is invalid. Please try again"
                       : "The longitude that you have entered is invalid. Please try again");
        value = 0.0;
        return false;
    }
    return true;
}

std::string FormatLatitude(double dLatitude)
{
    return Format(dLatitude < 0 ? 'S' : 'N', 2, dLatitude);
}

std::string FormatLongitude(double dLongitude)
{
    return Format(dLongitude < 0 ? 'W' : 'E', 3, dLongitude);
}
