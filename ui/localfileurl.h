#pragma once

#include <QUrl>

class QString;

// The file:// URL of a native path from the result table. A path built as directory,
// separator, name has a doubled separator when the directory is a root ("/" + "/" + "etc");
// taken as it is, "//etc/x" would become a URL with the host "etc".
QUrl localFileUrl(const QString &nativePath);

// How many of the leading slashes of `path` (already with "/" separators) belong to it as
// they are: two for a network path ("//server/share") on Windows, none elsewhere.
int keptLeadingSlashes(const QString &path);
