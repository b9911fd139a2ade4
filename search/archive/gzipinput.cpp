#include "archive/gzipinput.h"

#include "archive/positionedread.h"
#include "archive/regularfile.h"

#include <isa-l/igzip_lib.h>

#include <cstring>

namespace {

constexpr size_t inputSize = 64 * 1024;

bool isGzipHeader(const uint8_t *bytes)
{
    return bytes[0] == 0x1f && bytes[1] == 0x8b && bytes[2] == 8;   // magic, deflate
}

} // namespace

bool GzipInput::startsWithGzip(int fd)
{
    const int64_t offset = regularFileOffset(fd);
    uint8_t head[3];
    return offset >= 0 && positionedRead(fd, head, sizeof head, offset) == int64_t(sizeof head) && isGzipHeader(head);
}

GzipInput::GzipInput(int fd)
    : fd_(fd)
    , state_(std::make_unique<inflate_state>())
    , in_(inputSize)
{
    isal_inflate_init(state_.get());
    state_->crc_flag = ISAL_GZIP;
    state_->next_in = in_.data();
    state_->avail_in = 0;
}

GzipInput::~GzipInput() = default;

int64_t GzipInput::fail(const std::string &why)
{
    error_ = why;
    ended_ = true;
    return -1;
}

int64_t GzipInput::cutShort()
{
    return error_.empty() ? fail("truncated gzip input") : -1;   // else reading failed already
}

bool GzipInput::have(size_t count)
{
    inflate_state &s = *state_;
    while (s.avail_in < count && !inputEnded_) {
        // The unused bytes move to the front, and the rest of the buffer is filled.
        std::memmove(in_.data(), s.next_in, s.avail_in);
        s.next_in = in_.data();
        const int64_t got = readRegularFile(fd_, in_.data() + s.avail_in, in_.size() - s.avail_in);
        if (got < 0) {
            fail("read error");
            return false;
        }
        if (got == 0)
            inputEnded_ = true;
        s.avail_in += uint32_t(got);
        compressedBytes_ += got;
    }
    return s.avail_in >= count;
}

int64_t GzipInput::read(char *out, size_t size)
{
    if (ended_)
        return error_.empty() ? 0 : -1;
    inflate_state &s = *state_;
    s.next_out = reinterpret_cast<uint8_t *>(out);
    s.avail_out = uint32_t(size);
    while (s.avail_out > 0) {
        if (s.block_state == ISAL_BLOCK_FINISH) {
            // A member ended: another may follow, with a header of its own.
            if (!have(3)) {
                if (!error_.empty())
                    return -1;
                ended_ = true;
                break;
            }
            if (!isGzipHeader(s.next_in)) {
                ended_ = true;
                break;
            }
            uint8_t *next = s.next_in;
            const uint32_t available = s.avail_in;
            uint8_t *nextOut = s.next_out;
            const uint32_t room = s.avail_out;
            isal_inflate_reset(&s);
            s.crc_flag = ISAL_GZIP;
            s.next_in = next;
            s.avail_in = available;
            s.next_out = nextOut;
            s.avail_out = room;
        }
        if (s.avail_in == 0 && !have(1))
            return cutShort();
        const uint32_t inBefore = s.avail_in, outBefore = s.avail_out;
        const int result = isal_inflate(&s);
        if (result == ISAL_INCORRECT_CHECKSUM)
            return fail("gzip checksum or length mismatch");
        if (result < 0 || result == ISAL_NEED_DICT)
            return fail("damaged gzip data");
        if (s.avail_in == inBefore && s.avail_out == outBefore && s.block_state != ISAL_BLOCK_FINISH) {
            // Nothing taken, nothing given: it needs more input than it has.
            if (inBefore >= in_.size())
                return fail("damaged gzip data");
            if (!have(inBefore + 1))
                return cutShort();
        }
    }
    return int64_t(size - s.avail_out);
}
