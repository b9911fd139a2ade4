#pragma once

// libarchive converts RAR names through the calling thread's locale; in a process that never
// chose a UTF-8 one, Unicode names come back empty. While this lives, the calling thread has a
// UTF-8 character type, whatever the process has set (Windows converts without the locale).
class Utf8LocaleScope
{
public:
    Utf8LocaleScope();
    ~Utf8LocaleScope();
    Utf8LocaleScope(const Utf8LocaleScope &) = delete;
    Utf8LocaleScope &operator=(const Utf8LocaleScope &) = delete;

private:
    void *previous_ = nullptr;
};
