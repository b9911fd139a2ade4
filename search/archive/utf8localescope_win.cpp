#include "archive/utf8localescope.h"

Utf8LocaleScope::Utf8LocaleScope() = default;
Utf8LocaleScope::~Utf8LocaleScope() = default;
