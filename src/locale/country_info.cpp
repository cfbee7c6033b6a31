// The country-information record: numeric and monetary conventions of the
// current locale, telephone prefix and AM/PM strings of the environment's.
#include <quemba/locale_services.h>

#include <langinfo.h>
#include <locale.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "common/kept_characters.h"

namespace {

// The text, or when it is too long the longest prefix of whole characters
// that leaves room for the terminator. Characters are judged by LC_CTYPE,
// the category every caller reads the text with; a byte that starts no
// character ends the prefix.
template <size_t N>
void CopyText(char (&field)[N], const char *text) {
    size_t kept = text != nullptr ? strnlen(text, N) : 0;
    if (kept == N) {
        // Too long: cut where a character ends. A text that fits is kept
        // whole, whatever LC_CTYPE makes of its bytes.
        kept = 0;
        mbstate_t state{};
        while (text[kept] != '\0') {
            // Limited to the room left: a character that does not fit is
            // incomplete (-2), an invalid one -1; both exceed the room.
            const size_t room = N - 1 - kept;
            wchar_t wide;
            const size_t length = quemba::detail::DecodeOne(&wide, text + kept, room, state);
            if (length == 0 && wide != 0 && wide != quemba::detail::kNoWide) continue;  // a kept one given back
            if (length == 0 || length > room) break;
            kept += length;
        }
    }
    if (kept != 0) memcpy(field, text, kept);
    field[kept] = '\0';
}

// AM/PM strings are kept whole or not at all.
template <size_t N>
void CopyWhole(char (&field)[N], const char *text) {
    const size_t length = text != nullptr ? strlen(text) : N;
    if (length >= N) {
        field[0] = '\0';
        return;
    }
    memcpy(field, text, length + 1);
}

// Whole group sizes, one byte each; the first size as its digit. An empty
// grouping reads "0", terminated.
template <size_t N>
void CopyGrouping(char (&field)[N], const char *grouping) {
    const size_t kept = grouping != nullptr ? strnlen(grouping, N - 1) : 0;
    if (kept != 0) memcpy(field, grouping, kept);
    field[kept] = '\0';
    if (kept == 0) field[1] = '\0';
    field[0] = static_cast<char>(field[0] + '0');
}

int32_t ToInt32(long value) {
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

// Switches one category to the environment's locale for the lifetime of
// the object. An environment naming no usable locale means "C", so the
// result never depends on what the program set for the category.
class EnvironmentCategory {
public:
    explicit EnvironmentCategory(int category) : category_(category) {
        const char *current = setlocale(category_, nullptr);
        saved_ = current != nullptr ? strdup(current) : nullptr;
        if (saved_ == nullptr) return;
        if (setlocale(category_, "") == nullptr) setlocale(category_, "C");
    }
    ~EnvironmentCategory() {
        if (saved_ == nullptr) return;
        setlocale(category_, saved_);
        free(saved_);
    }
    EnvironmentCategory(const EnvironmentCategory &) = delete;
    EnvironmentCategory &operator=(const EnvironmentCategory &) = delete;
    bool active() const { return saved_ != nullptr; }

private:
    int category_;
    char *saved_;
};

}  // namespace

extern "C" QUEMBA_API int32_t _KXGetCountryInfo(CountryInfo *info) {
    if (info == nullptr) return -1;
    const struct lconv *conv = localeconv();
    if (conv == nullptr) return -1;

    CopyText(info->decimal_point, conv->decimal_point);
    CopyText(info->thousands_sep, conv->thousands_sep);
    CopyGrouping(info->grouping, conv->grouping);
    CopyText(info->int_curr_symbol, conv->int_curr_symbol);
    CopyText(info->currency_symbol, conv->currency_symbol);
    CopyText(info->mon_decimal_point, conv->mon_decimal_point);
    CopyText(info->mon_thousands_sep, conv->mon_thousands_sep);
    CopyGrouping(info->mon_grouping, conv->mon_grouping);
    CopyText(info->positive_sign, conv->positive_sign);
    CopyText(info->negative_sign, conv->negative_sign);
    info->int_frac_digits = conv->int_frac_digits;
    info->frac_digits = conv->frac_digits;
    info->p_cs_precedes = conv->p_cs_precedes;
    info->p_sep_by_space = conv->p_sep_by_space;
    info->n_cs_precedes = conv->n_cs_precedes;
    info->n_sep_by_space = conv->n_sep_by_space;
    info->p_sign_posn = conv->p_sign_posn;
    info->n_sign_posn = conv->n_sign_posn;
    info->code_page = 0;

    {
        EnvironmentCategory telephone(LC_TELEPHONE);
        if (!telephone.active()) return -1;
        const char *prefix = nl_langinfo(_NL_TELEPHONE_INT_PREFIX);
        info->country_code = prefix != nullptr ? ToInt32(strtol(prefix, nullptr, 10)) : 0;
    }
    {
        EnvironmentCategory time(LC_TIME);
        if (!time.active()) return -1;
        CopyWhole(info->am_string, nl_langinfo(AM_STR));
        CopyWhole(info->pm_string, nl_langinfo(PM_STR));
    }

    memcpy(info->sep_1, " ", 2);
    memcpy(info->sep_2, "/", 2);
    memcpy(info->sep_3, ":", 2);
    info->sep_4[0] = '\0';
    info->reserved = 0;
    return 0;
}

extern "C" QUEMBA_API CountryInfo *KXLlocaleconv(CountryInfo *info) {
    _KXGetCountryInfo(info);
    return info;
}
