#pragma once

// A small reader of RAR archives with the calling shape of the UnRAR library: open, read one
// header, skip or extract the entry, close; volumes and passwords are asked for through a
// callback. It is built on libarchive (RAR4 and RAR5 readers). The archive search calls only
// these functions, so the real UnRAR library could take this file's place.
//
// What this reader supports: extraction of one entry to a named file (DestName); RAR_SKIP and
// RAR_TEST; multi-volume sets named name.partN.rar or name.rar, name.r00, name.r01, ...
// What it does not: decryption (an encrypted entry or archive gives ERAR_MISSING_PASSWORD),
// archive and file comments (CmtState is always 0), extraction into DestPath.

#include <cstdint>
#include <cwchar>

// Results.
inline constexpr int ERAR_SUCCESS = 0;
inline constexpr int ERAR_END_ARCHIVE = 10;
inline constexpr int ERAR_NO_MEMORY = 11;
inline constexpr int ERAR_BAD_DATA = 12;
inline constexpr int ERAR_BAD_ARCHIVE = 13;
inline constexpr int ERAR_UNKNOWN_FORMAT = 14;
inline constexpr int ERAR_EOPEN = 15;
inline constexpr int ERAR_ECREATE = 16;
inline constexpr int ERAR_ECLOSE = 17;
inline constexpr int ERAR_EREAD = 18;
inline constexpr int ERAR_EWRITE = 19;
inline constexpr int ERAR_SMALL_BUF = 20;
inline constexpr int ERAR_UNKNOWN = 21;
inline constexpr int ERAR_MISSING_PASSWORD = 22;
inline constexpr int ERAR_EREFERENCE = 23;

// Open modes (all three read the same way here).
inline constexpr unsigned int RAR_OM_LIST = 0;
inline constexpr unsigned int RAR_OM_EXTRACT = 1;
inline constexpr unsigned int RAR_OM_LIST_INCSPLIT = 2;

// Operations of RARProcessFile.
inline constexpr int RAR_SKIP = 0;
inline constexpr int RAR_TEST = 1;
inline constexpr int RAR_EXTRACT = 2;

// Callback messages and the volume-change modes (second message parameter).
inline constexpr unsigned int UCM_CHANGEVOLUME = 0;
inline constexpr unsigned int UCM_PROCESSDATA = 1;    // P1: the data just unpacked, P2: its size; answer -1 cancels
inline constexpr unsigned int UCM_NEEDPASSWORD = 2;
inline constexpr unsigned int UCM_CHANGEVOLUMEW = 3;  // P1: wchar_t volume name buffer, P2: RAR_VOL_ASK or RAR_VOL_NOTIFY
inline constexpr unsigned int UCM_NEEDPASSWORDW = 4;  // P1: wchar_t password buffer, P2: its size in characters
inline constexpr intptr_t RAR_VOL_ASK = 0;
inline constexpr intptr_t RAR_VOL_NOTIFY = 1;

// Archive flags (RAROpenArchiveDataEx::Flags).
inline constexpr unsigned int ROADF_VOLUME = 0x0001;
inline constexpr unsigned int ROADF_SOLID = 0x0008;
inline constexpr unsigned int ROADF_NEWNUMBERING = 0x0010;  // name.partN.rar rather than name.rar, name.r00
inline constexpr unsigned int ROADF_ENCHEADERS = 0x0080;
inline constexpr unsigned int ROADF_FIRSTVOLUME = 0x0100;

// Entry flags (RARHeaderDataEx::Flags).
inline constexpr unsigned int RHDF_SPLITBEFORE = 0x01;
inline constexpr unsigned int RHDF_SPLITAFTER = 0x02;
inline constexpr unsigned int RHDF_ENCRYPTED = 0x04;
inline constexpr unsigned int RHDF_SOLID = 0x10;
inline constexpr unsigned int RHDF_DIRECTORY = 0x20;

// Answers: 0 goes on (for a missing volume: try it again), -1 gives up.
typedef int (*UNRARCALLBACK)(unsigned int msg, intptr_t UserData, intptr_t P1, intptr_t P2);

struct RAROpenArchiveDataEx
{
    char *ArcName;          // 8-bit path of the archive (bytes as the file system takes them)
    wchar_t *ArcNameW;      // used when ArcName is null
    unsigned int OpenMode;
    unsigned int OpenResult;  // out: ERAR_SUCCESS or the reason the archive could not be opened
    char *CmtBuf;
    unsigned int CmtBufSize;
    unsigned int CmtSize;     // out
    unsigned int CmtState;    // out: 0, no comment
    unsigned int Flags;       // out: ROADF_*
    UNRARCALLBACK Callback;
    intptr_t UserData;
};

struct RARHeaderDataEx
{
    char ArcName[1024];       // out: the archive as it was opened
    wchar_t ArcNameW[1024];
    char FileName[1024];      // out: the entry's path, "/"-separated, UTF-8
    wchar_t FileNameW[1024];
    unsigned int Flags;       // out: RHDF_*
    unsigned int UnpSize;     // out: unpacked size, low and high 32 bits
    unsigned int UnpSizeHigh;
    char *CmtBuf;
    unsigned int CmtBufSize;
    unsigned int CmtSize;     // out: 0
    unsigned int CmtState;    // out: 0
};

// Returns the archive handle, or null with OpenResult set.
void *RAROpenArchiveEx(RAROpenArchiveDataEx *ArchiveData);
int RARCloseArchive(void *hArcData);
// ERAR_SUCCESS: one more entry, described in HeaderData. ERAR_END_ARCHIVE at the end.
int RARReadHeaderEx(void *hArcData, RARHeaderDataEx *HeaderData);
// Skips, tests or extracts the entry of the last header. Extraction writes the entry's data to
// DestName (made afresh; never through a link standing there). A directory entry
// leaves a directory at DestName; a link entry leaves an empty file (links are never followed).
int RARProcessFile(void *hArcData, int Operation, char *DestPath, char *DestName);
