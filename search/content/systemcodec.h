#pragma once

class QTextCodec;

// The codec the program calls "system": the locale's codec. Qt 6 has no codec of that
// name on Linux, so every use goes through here.
QTextCodec *systemCodec();

// The codec a deep-search hit's line is shown through: GB18030, which holds every character.
QTextCodec *displayCodec();
