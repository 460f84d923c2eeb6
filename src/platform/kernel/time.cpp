// Times and their text. FILETIME/SYSTEMTIME conversions on the proleptic
// Gregorian calendar (1601..30827, as on the device); local time is the
// host's time zone, with the offset that applied at the instant converted.
// Dates and times are formatted from Win32 picture strings; without one the
// user's locale (LC_ALL, LC_TIME, LANG) supplies its short date and its time
// format, translated from the host's strftime notation into a picture.
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <time.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "file_time.h"
#include "platform/wstr.h"
#include "windows.h"

namespace platform {
namespace {

// ---- Calendar -----------------------------------------------------------------

constexpr int kMinYear = 1601;
constexpr int kMaxYear = 30827;
constexpr long long kDaysFrom1601To1970 = 134774;
constexpr ULONGLONG kTicksPerMillisecond = 10000;
constexpr ULONGLONG kTicksPerSecond = 10000000;
constexpr ULONGLONG kMillisecondsPerDay = 86400000;
constexpr ULONGLONG kMaxFileTime = 0x7FFFFFFFFFFFFFFFULL;  // larger values are refused, as on the device

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a Gregorian date (valid for any year).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int* year, int* month, int* day) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    *year = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (m <= 2));
    *month = static_cast<int>(m);
    *day = static_cast<int>(d);
}

// 0 = Sunday; 1 January 1601 was a Monday.
int DayOfWeek(long long daysSince1601) { return static_cast<int>((daysSince1601 + 1) % 7); }

bool IsValidDate(const SYSTEMTIME& t) {
    return t.wYear >= kMinYear && t.wYear <= kMaxYear && t.wMonth >= 1 && t.wMonth <= 12 && t.wDay >= 1 &&
           t.wDay <= DaysInMonth(t.wYear, t.wMonth);
}

bool IsValidTime(const SYSTEMTIME& t) {
    return t.wHour < 24 && t.wMinute < 60 && t.wSecond < 60 && t.wMilliseconds < 1000;
}

long long DaysSince1601(const SYSTEMTIME& t) {
    return DaysFromCivil(t.wYear, t.wMonth, t.wDay) + kDaysFrom1601To1970;
}

FILETIME MakeFileTime(ULONGLONG value) { return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)}; }

// Seconds since 1970 (rounded down) and the remaining ticks of a FILETIME value.
void SplitUnix(ULONGLONG value, time_t* seconds, ULONGLONG* ticks) {
    long long relative = static_cast<long long>(value) - static_cast<long long>(kFileTimeUnixEpoch);
    long long s = relative / static_cast<long long>(kTicksPerSecond);
    long long r = relative % static_cast<long long>(kTicksPerSecond);
    if (r < 0) {
        r += kTicksPerSecond;
        --s;
    }
    *seconds = static_cast<time_t>(s);
    *ticks = static_cast<ULONGLONG>(r);
}

// Adds a signed number of seconds, refusing results outside the valid range.
bool ShiftFileTime(ULONGLONG value, long long seconds, ULONGLONG* result) {
    long long delta = seconds * static_cast<long long>(kTicksPerSecond);
    if (delta < 0 && static_cast<ULONGLONG>(-delta) > value) return false;
    ULONGLONG shifted = delta < 0 ? value - static_cast<ULONGLONG>(-delta) : value + static_cast<ULONGLONG>(delta);
    if (shifted > kMaxFileTime) return false;
    *result = shifted;
    return true;
}

// ---- The user's locale --------------------------------------------------------

// The name of the locale the user chose for times, from the variables in
// the order the C library reads them; "C" when none is set.
std::string UserLocaleName() {
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) return value;
    }
    return "C";
}

// One opened locale; falls back to "C" when the name is unknown to the host.
class UserLocale {
public:
    explicit UserLocale(const std::string& name) {
        // LC_CTYPE with it, for the character set of its names.
        locale_ = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, name.c_str(), locale_t(0));
        if (!locale_) locale_ = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "C", locale_t(0));
    }
    ~UserLocale() {
        if (locale_) freelocale(locale_);
    }
    UserLocale(const UserLocale&) = delete;
    UserLocale& operator=(const UserLocale&) = delete;

    // The raw bytes of one item, in the locale's character set.
    std::string Item(nl_item item) const {
        if (!locale_) return {};
        const char* text = nl_langinfo_l(item, locale_);
        return text ? text : "";
    }

    // Text in the locale's character set as UTF-16.
    std::u16string ToUtf16(const std::string& bytes) const {
        std::string codeset = Item(CODESET);
        if (codeset.empty() || codeset == "UTF-8" || codeset == "utf8" || codeset == "ANSI_X3.4-1968") {
            return Utf8ToUtf16(bytes);
        }
        iconv_t converter = iconv_open("UTF-8", codeset.c_str());
        if (converter != reinterpret_cast<iconv_t>(-1)) {
            std::string out(bytes.size() * 4 + 4, '\0');
            char* in = const_cast<char*>(bytes.data());
            size_t inLeft = bytes.size();
            char* outPtr = out.data();
            size_t outLeft = out.size();
            size_t done = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
            iconv_close(converter);
            if (done != static_cast<size_t>(-1)) {
                out.resize(out.size() - outLeft);
                return Utf8ToUtf16(out);
            }
        }
        // An unknown character set: its ASCII part is still right.
        std::u16string result;
        for (unsigned char c : bytes) result += c < 0x80 ? char16_t(c) : u'?';
        return result;
    }

    std::u16string Text(nl_item item) const { return ToUtf16(Item(item)); }

private:
    locale_t locale_ = locale_t(0);
};

// The user's locale, opened again only when the environment names another
// one: a folder listing formats a date for every file.
std::shared_ptr<const UserLocale> CurrentUserLocale() {
    struct Cache {
        std::mutex lock;
        std::string name;
        std::shared_ptr<const UserLocale> locale;
    };
    static Cache* cache = new Cache;  // outlives static destructors of callers
    std::string name = UserLocaleName();
    std::lock_guard<std::mutex> guard(cache->lock);
    if (!cache->locale || cache->name != name) {
        cache->locale = std::make_shared<const UserLocale>(name);
        cache->name = name;
    }
    return cache->locale;
}

// ---- Pictures from the locale ---------------------------------------------------

void AppendQuoted(std::u16string* picture, const std::u16string& literal) {
    if (literal.empty()) return;
    bool plain = true;
    for (char16_t c : literal) {
        if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'\'' || c > 0x7F) plain = false;
    }
    if (plain) {
        *picture += literal;
        return;
    }
    *picture += u'\'';
    for (char16_t c : literal) {
        *picture += c;
        if (c == u'\'') *picture += u'\'';
    }
    *picture += u'\'';
}

// Translates a strftime format ("%d.%m.%Y", "%r") into a Win32 picture
// ("dd.MM.yyyy", "hh:mm:ss tt"). Conversions without a picture equivalent
// (time zone, week numbers) are left out.
std::u16string PictureFromStrftime(const UserLocale& locale, const std::string& format, int depth = 0) {
    std::u16string picture;
    std::string literal;
    auto flush = [&] {
        AppendQuoted(&picture, locale.ToUtf16(literal));
        literal.clear();
    };
    auto nested = [&](nl_item item, const char16_t* fallback) {
        std::string inner = locale.Item(item);
        picture += depth < 2 && !inner.empty() ? PictureFromStrftime(locale, inner, depth + 1) : fallback;
    };
    for (size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c != '%' || i + 1 >= format.size()) {
            literal += c;
            continue;
        }
        // GNU flags ("%-d" without padding) and the E/O modifiers.
        bool noPadding = false;
        ++i;
        while (i < format.size() && std::strchr("-_0^#", format[i])) noPadding |= format[i++] == '-';
        while (i < format.size() && (format[i] == 'E' || format[i] == 'O')) ++i;
        if (i >= format.size()) break;
        char conversion = format[i];
        if (conversion == '%' || conversion == 'n' || conversion == 't') {
            literal += conversion == '%' ? '%' : conversion == 'n' ? '\n' : '\t';
            continue;
        }
        flush();
        switch (conversion) {
        case 'd': picture += noPadding ? u"d" : u"dd"; break;
        case 'e': picture += u"d"; break;
        case 'm': picture += noPadding ? u"M" : u"MM"; break;
        case 'y': picture += u"yy"; break;
        case 'Y': picture += u"yyyy"; break;
        case 'b':
        case 'h': picture += u"MMM"; break;
        case 'B': picture += u"MMMM"; break;
        case 'a': picture += u"ddd"; break;
        case 'A': picture += u"dddd"; break;
        case 'D': picture += u"MM/dd/yy"; break;
        case 'F': picture += u"yyyy-MM-dd"; break;
        case 'x': nested(D_FMT, u"MM/dd/yy"); break;
        case 'H': picture += noPadding ? u"H" : u"HH"; break;
        case 'k': picture += u"H"; break;
        case 'I': picture += noPadding ? u"h" : u"hh"; break;
        case 'l': picture += u"h"; break;
        case 'M': picture += u"mm"; break;
        case 'S': picture += u"ss"; break;
        case 'p':
        case 'P': picture += u"tt"; break;
        case 'r': nested(T_FMT_AMPM, u"hh:mm:ss tt"); break;
        case 'R': picture += u"HH:mm"; break;
        case 'T': picture += u"HH:mm:ss"; break;
        case 'X': nested(T_FMT, u"HH:mm:ss"); break;
        default: break;
        }
    }
    flush();
    return picture;
}

// Position of the first unquoted picture letter `letter`, or npos.
size_t FindPictureLetter(std::u16string_view picture, char16_t letter) {
    bool quoted = false;
    for (size_t i = 0; i < picture.size(); ++i) {
        if (picture[i] == u'\'') quoted = !quoted;
        else if (!quoted && picture[i] == letter) return i;
    }
    return std::u16string_view::npos;
}

std::u16string ShortDatePicture(const UserLocale& locale) {
    std::u16string picture = PictureFromStrftime(locale, locale.Item(D_FMT));
    return picture.empty() ? u"MM/dd/yy" : picture;
}

// The host's locales carry no long date format; the long date follows the
// order of day, month and year in the short one.
std::u16string LongDatePicture(const UserLocale& locale) {
    std::u16string shortPicture = ShortDatePicture(locale);
    size_t day = FindPictureLetter(shortPicture, u'd');
    size_t month = FindPictureLetter(shortPicture, u'M');
    size_t year = FindPictureLetter(shortPicture, u'y');
    if (year < day && year < month) return u"yyyy MMMM d";
    if (day < month) return u"dddd, d MMMM yyyy";
    return u"dddd, MMMM d, yyyy";
}

std::u16string TimePicture(const UserLocale& locale) {
    std::u16string picture = PictureFromStrftime(locale, locale.Item(T_FMT));
    return picture.empty() ? u"HH:mm:ss" : picture;
}

// ---- Picture formatting ------------------------------------------------------------

void AppendNumber(std::u16string* out, int value, int minDigits) {
    char buffer[16];
    int length = std::snprintf(buffer, sizeof(buffer), "%0*d", minDigits, value);
    for (int i = 0; i < length; ++i) *out += char16_t(buffer[i]);
}

// Builds the text of a picture: literal text waits in `pending` until the
// next field is written, so that leaving a field out (seconds under
// TIME_NOSECONDS) also drops the separator in front of it.
class PictureWriter {
public:
    void Literal(char16_t c) { pending_ += c; }
    void Field(const std::u16string& text) {
        if (dropNextLiteral_) pending_.clear();
        dropNextLiteral_ = false;
        out_ += pending_;
        out_ += text;
        pending_.clear();
        wroteField_ = true;
    }
    void SkipField() {
        if (wroteField_ && IsUnitText(pending_)) {
            // Text made of letters after a field is that field's unit
            // ("15時05分09秒"): it stays, and the skipped field's own unit
            // after it goes.
            out_ += pending_;
            dropNextLiteral_ = true;
        } else if (!wroteField_) {
            // A leading field left out takes the separator after it
            // instead ("tt hh:mm" without the marker is "hh:mm").
            dropNextLiteral_ = true;
        }
        pending_.clear();
    }
    std::u16string Finish() {
        if (!dropNextLiteral_) out_ += pending_;
        return out_;
    }

private:
    static bool IsUnitText(const std::u16string& text) {
        for (char16_t c : text) {
            if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c >= 0x80) return true;
        }
        return false;
    }

    std::u16string out_;
    std::u16string pending_;
    bool wroteField_ = false;
    bool dropNextLiteral_ = false;
};

using FieldFormatter = bool (*)(char16_t letter, int count, const SYSTEMTIME& t, const UserLocale& locale,
                                DWORD flags, PictureWriter* out);

// Walks a picture: runs of one letter go to `field`, which returns false
// for letters that are not fields of this kind (they are copied); quoted
// text is copied without its quotes, and '' inside quotes is one quote.
std::u16string FormatPicture(std::u16string_view picture, const SYSTEMTIME& t, const UserLocale& locale,
                             DWORD flags, FieldFormatter field) {
    PictureWriter out;
    size_t i = 0;
    while (i < picture.size()) {
        char16_t c = picture[i];
        if (c == u'\'') {
            ++i;
            while (i < picture.size()) {
                if (picture[i] == u'\'') {
                    if (i + 1 < picture.size() && picture[i + 1] == u'\'') {
                        out.Literal(u'\'');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                out.Literal(picture[i++]);
            }
            continue;
        }
        size_t run = 1;
        while (i + run < picture.size() && picture[i + run] == c) ++run;
        if (!field(c, static_cast<int>(run), t, locale, flags, &out)) {
            for (size_t k = 0; k < run; ++k) out.Literal(c);
        }
        i += run;
    }
    return out.Finish();
}

bool DateField(char16_t letter, int count, const SYSTEMTIME& t, const UserLocale& locale, DWORD,
               PictureWriter* out) {
    std::u16string text;
    switch (letter) {
    case u'd': {
        int dow = DayOfWeek(DaysSince1601(t));
        if (count <= 2) AppendNumber(&text, t.wDay, count);
        else text = locale.Text(count == 3 ? ABDAY_1 + dow : DAY_1 + dow);
        break;
    }
    case u'M':
        if (count <= 2) AppendNumber(&text, t.wMonth, count);
        else text = locale.Text(count == 3 ? ABMON_1 + (t.wMonth - 1) : MON_1 + (t.wMonth - 1));
        break;
    case u'y':
        if (count <= 2) AppendNumber(&text, t.wYear % 100, count);
        else AppendNumber(&text, t.wYear, 1);
        break;
    case u'g':
        text = u"A.D.";  // the Gregorian calendar's only era
        break;
    default:
        return false;
    }
    out->Field(text);
    return true;
}

bool TimeField(char16_t letter, int count, const SYSTEMTIME& t, const UserLocale& locale, DWORD flags,
               PictureWriter* out) {
    std::u16string text;
    const int digits = count >= 2 ? 2 : 1;
    if (letter == u'h' && (flags & TIME_FORCE24HOURFORMAT)) letter = u'H';
    switch (letter) {
    case u'h': {
        int hour = t.wHour % 12;
        AppendNumber(&text, hour == 0 ? 12 : hour, digits);
        break;
    }
    case u'H': AppendNumber(&text, t.wHour, digits); break;
    case u'm':
        if (flags & TIME_NOMINUTESORSECONDS) {
            out->SkipField();
            return true;
        }
        AppendNumber(&text, t.wMinute, digits);
        break;
    case u's':
        if (flags & (TIME_NOSECONDS | TIME_NOMINUTESORSECONDS)) {
            out->SkipField();
            return true;
        }
        AppendNumber(&text, t.wSecond, digits);
        break;
    case u't':
        if (flags & TIME_NOTIMEMARKER) {
            out->SkipField();
            return true;
        }
        text = locale.Text(t.wHour < 12 ? AM_STR : PM_STR);
        if (count == 1 && text.size() > 1) text.resize(1);
        break;
    default:
        return false;
    }
    out->Field(text);
    return true;
}

// The length rules of the locale functions: length 0 asks for the size
// needed, a short buffer is an error; both counts include the terminator.
int Deliver(const std::u16string& text, LPWSTR buffer, int length) {
    int needed = static_cast<int>(text.size()) + 1;
    if (length == 0) return needed;
    if (length < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    text.copy(buffer, text.size());
    buffer[text.size()] = u'\0';
    return needed;
}

}  // namespace
}  // namespace platform

// ---- Conversions --------------------------------------------------------------------

BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME systemTime) {
    if (!fileTime || !systemTime || platform::FileTimeValue(*fileTime) > platform::kMaxFileTime) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ULONGLONG ms = platform::FileTimeValue(*fileTime) / platform::kTicksPerMillisecond;
    long long days = static_cast<long long>(ms / platform::kMillisecondsPerDay);
    ULONGLONG msOfDay = ms % platform::kMillisecondsPerDay;
    int year, month, day;
    platform::CivilFromDays(days - platform::kDaysFrom1601To1970, &year, &month, &day);
    systemTime->wYear = static_cast<WORD>(year);
    systemTime->wMonth = static_cast<WORD>(month);
    systemTime->wDay = static_cast<WORD>(day);
    systemTime->wDayOfWeek = static_cast<WORD>(platform::DayOfWeek(days));
    systemTime->wHour = static_cast<WORD>(msOfDay / 3600000);
    systemTime->wMinute = static_cast<WORD>(msOfDay / 60000 % 60);
    systemTime->wSecond = static_cast<WORD>(msOfDay / 1000 % 60);
    systemTime->wMilliseconds = static_cast<WORD>(msOfDay % 1000);
    return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, LPFILETIME fileTime) {
    // The day of the week is not checked: the date alone decides it.
    if (!systemTime || !fileTime || !platform::IsValidDate(*systemTime) || !platform::IsValidTime(*systemTime)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const SYSTEMTIME& t = *systemTime;
    ULONGLONG days = static_cast<ULONGLONG>(platform::DaysSince1601(t));
    ULONGLONG ms = ((days * 24 + t.wHour) * 60 + t.wMinute) * 60 + t.wSecond;
    ms = ms * 1000 + t.wMilliseconds;
    *fileTime = platform::MakeFileTime(ms * platform::kTicksPerMillisecond);
    return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, LPFILETIME localFileTime) {
    if (!fileTime || !localFileTime) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ULONGLONG value = platform::FileTimeValue(*fileTime);
    time_t seconds;
    ULONGLONG ticks;
    platform::SplitUnix(value, &seconds, &ticks);
    // The offset in force at that instant, so that a winter file seen in
    // summer shows the time the host's own tools show for it.
    tm local;
    ULONGLONG result;
    if (!localtime_r(&seconds, &local) || !platform::ShiftFileTime(value, local.tm_gmtoff, &result)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *localFileTime = platform::MakeFileTime(result);
    return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME* localFileTime, LPFILETIME fileTime) {
    if (!localFileTime || !fileTime) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ULONGLONG value = platform::FileTimeValue(*localFileTime);
    time_t seconds;
    ULONGLONG ticks;
    platform::SplitUnix(value, &seconds, &ticks);
    // The local wall-clock fields, then the host's rules for which instant
    // shows them (mktime picks standard or daylight time itself).
    tm fields;
    if (!gmtime_r(&seconds, &fields)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    fields.tm_isdst = -1;
    time_t utc = mktime(&fields);
    ULONGLONG result;
    if (!platform::ShiftFileTime(value, static_cast<long long>(utc) - static_cast<long long>(seconds), &result)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *fileTime = platform::MakeFileTime(result);
    return TRUE;
}

LONG CompareFileTime(const FILETIME* first, const FILETIME* second) {
    ULONGLONG a = platform::FileTimeValue(*first);
    ULONGLONG b = platform::FileTimeValue(*second);
    return a < b ? -1 : a > b ? 1 : 0;
}

void GetSystemTime(LPSYSTEMTIME systemTime) {
    if (!systemTime) return;
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    FILETIME f = platform::FileTimeFromUnix(now);
    FileTimeToSystemTime(&f, systemTime);
}

void GetLocalTime(LPSYSTEMTIME systemTime) {
    if (!systemTime) return;
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    FILETIME utc = platform::FileTimeFromUnix(now);
    FILETIME local;
    if (!FileTimeToLocalFileTime(&utc, &local)) local = utc;
    FileTimeToSystemTime(&local, systemTime);
}

// ---- Formatting -------------------------------------------------------------------------

int GetDateFormatW(DWORD, DWORD flags, const SYSTEMTIME* date, LPCWSTR format, LPWSTR dateText,
                   int dateLength) {
    if (dateLength < 0 || (!dateText && dateLength != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if ((flags & DATE_SHORTDATE) && (flags & DATE_LONGDATE)) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    if (format && (flags & (DATE_SHORTDATE | DATE_LONGDATE | LOCALE_NOUSEROVERRIDE))) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    SYSTEMTIME t;
    if (date) {
        t = *date;
    } else {
        GetLocalTime(&t);
    }
    if (!platform::IsValidDate(t)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::shared_ptr<const platform::UserLocale> userLocale = platform::CurrentUserLocale();
    const platform::UserLocale& locale = *userLocale;
    std::u16string picture;
    if (format) {
        picture = format;
    } else {
        picture = (flags & DATE_LONGDATE) ? platform::LongDatePicture(locale) : platform::ShortDatePicture(locale);
    }
    std::u16string text = platform::FormatPicture(picture, t, locale, flags, platform::DateField);
    return platform::Deliver(text, dateText, dateLength);
}

int GetTimeFormatW(DWORD, DWORD flags, const SYSTEMTIME* time, LPCWSTR format, LPWSTR timeText,
                   int timeLength) {
    if (timeLength < 0 || (!timeText && timeLength != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (format && (flags & LOCALE_NOUSEROVERRIDE)) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    SYSTEMTIME t;
    if (time) {
        t = *time;
    } else {
        GetLocalTime(&t);
    }
    if (!platform::IsValidTime(t)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::shared_ptr<const platform::UserLocale> userLocale = platform::CurrentUserLocale();
    const platform::UserLocale& locale = *userLocale;
    std::u16string picture = format ? std::u16string(format) : platform::TimePicture(locale);
    std::u16string text = platform::FormatPicture(picture, t, locale, flags, platform::TimeField);
    return platform::Deliver(text, timeText, timeLength);
}
