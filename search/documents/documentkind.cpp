#include "documents/documentkind.h"

#include <QLatin1StringView>

namespace {

struct SuffixKind
{
    const char *suffix;
    DocumentKind kind;
};

constexpr SuffixKind suffixKinds[] = {
    {"docx", DocumentKind::OfficeText},   {"docm", DocumentKind::OfficeText},
    {"dotx", DocumentKind::OfficeText},   {"dotm", DocumentKind::OfficeText},
    {"xlsx", DocumentKind::OfficeSheet},  {"xlsm", DocumentKind::OfficeSheet},
    {"xltx", DocumentKind::OfficeSheet},  {"pptx", DocumentKind::OfficeSlides},
    {"pptm", DocumentKind::OfficeSlides}, {"ppsx", DocumentKind::OfficeSlides},
    {"potx", DocumentKind::OfficeSlides}, {"odt", DocumentKind::OpenText},
    {"ott", DocumentKind::OpenText},    {"ods", DocumentKind::OpenSheet},
    {"ots", DocumentKind::OpenSheet},   {"odp", DocumentKind::OpenPages},
    {"otp", DocumentKind::OpenPages},   {"odg", DocumentKind::OpenPages},
    {"epub", DocumentKind::Epub},       {"pdf", DocumentKind::Pdf},
};

} // namespace

DocumentKind documentKindOf(QStringView name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return DocumentKind::None;
    const QStringView suffix = name.mid(dot + 1);
    for (const SuffixKind &entry : suffixKinds) {
        if (suffix.compare(QLatin1StringView(entry.suffix), Qt::CaseInsensitive) == 0)
            return entry.kind;
    }
    return DocumentKind::None;
}
