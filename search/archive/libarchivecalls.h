#pragma once

#include <archive.h>
#include <archive_entry.h>

// libarchive, loaded when the first reader is made: a search that meets no archive loads
// neither it nor the libraries it brings (a tenth of a small search's time). Every call of the
// readers goes through here: la::archive_read_new() first, the others on what it made.
#define QUORVEL_LIBARCHIVE_CALLS(X)                                                                       \
    X(archive_read_free) X(archive_read_support_format_zip_seekable) X(archive_read_support_format_tar)   \
    X(archive_read_support_format_raw) X(archive_read_support_format_rar) X(archive_read_support_format_rar5) \
    X(archive_read_support_format_lha) X(archive_read_support_format_iso9660)                            \
    X(archive_read_support_format_empty) X(archive_read_support_format_cpio)                             \
    X(archive_read_support_format_cab) X(archive_read_support_format_7zip)                               \
    X(archive_read_support_filter_zstd) X(archive_read_support_filter_xz) X(archive_read_support_filter_lzma) \
    X(archive_read_support_filter_gzip) X(archive_read_support_filter_bzip2)                             \
    X(archive_read_set_seek_callback) X(archive_read_open2) X(archive_read_next_header)                   \
    X(archive_read_data_block) X(archive_read_data) X(archive_read_data_skip) X(archive_format)          \
    X(archive_filter_count) X(archive_filter_bytes) X(archive_error_string) X(archive_errno)             \
    X(archive_set_error) X(archive_entry_size_is_set) X(archive_entry_size) X(archive_entry_pathname_w)  \
    X(archive_entry_pathname_utf8) X(archive_entry_pathname) X(archive_entry_is_data_encrypted)          \
    X(archive_entry_filetype) X(archive_entry_hardlink_utf8) X(archive_entry_hardlink)

namespace la {

// A new reader; none when libarchive cannot be loaded (or makes none).
struct archive *archive_read_new();

#define QUORVEL_DECLARE_CALL(name) extern decltype(&::name) name;
QUORVEL_LIBARCHIVE_CALLS(QUORVEL_DECLARE_CALL)
#undef QUORVEL_DECLARE_CALL

} // namespace la
