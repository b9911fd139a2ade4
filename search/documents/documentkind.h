#pragma once

#include <QStringView>

// The document formats whose text is read instead of their bytes.
enum class DocumentKind {
    None,
    OfficeText,         // .docx .docm .dotx .dotm
    OfficeSheet,        // .xlsx .xlsm .xltx
    OfficeSlides,       // .pptx .pptm .ppsx .potx
    OpenText,         // .odt .ott
    OpenSheet,        // .ods .ots
    OpenPages,        // .odp .odg .otp
    Epub,             // .epub
    Pdf,              // .pdf
};

// The kind a file name announces by its suffix, compared without regard to case.
DocumentKind documentKindOf(QStringView name);

// Sheets give one line per row, "[sheet name]" and a tab before the cells.
inline bool isSheetKind(DocumentKind kind)
{
    return kind == DocumentKind::OfficeSheet || kind == DocumentKind::OpenSheet;
}
