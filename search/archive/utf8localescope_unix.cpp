#include "archive/utf8localescope.h"

#include <clocale>
#include <locale.h>

Utf8LocaleScope::Utf8LocaleScope()
{
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
    if (utf8)
        previous_ = uselocale(utf8);
}

Utf8LocaleScope::~Utf8LocaleScope()
{
    if (previous_)
        uselocale(locale_t(previous_));
}
