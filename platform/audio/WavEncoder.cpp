#include "WavEncoder.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace wav {

namespace {

void put16(std::vector<uint8_t> &out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void put32(std::vector<uint8_t> &out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void put4cc(std::vector<uint8_t> &out, const char *tag)
{
    out.insert(out.end(), tag, tag + 4);
}

bool patch32(FILE *file, long offset, uint32_t v)
{
    std::vector<uint8_t> bytes;
    put32(bytes, v);
    return std::fseek(file, offset, SEEK_SET) == 0 && std::fwrite(bytes.data(), 1, 4, file) == 4;
}

} // namespace

WaveFormat WaveFormat::interleaved(int channels, int rate, int bits, bool floating)
{
    WaveFormat f;
    f.channels = uint16_t(channels);
    f.samplesPerSec = uint32_t(rate);
    f.bitsPerSample = uint16_t(bits);
    f.blockAlign = uint16_t(channels * bits / 8);
    f.avgBytesPerSec = f.samplesPerSec * f.blockAlign;
    f.formatTag = floating ? 3 : 1;
    if (channels > 2 || bits > 16) {
        f.subFormatTag = f.formatTag;
        f.formatTag = 0xFFFE;
        f.extraSize = 22;
        f.validBitsPerSample = f.bitsPerSample;
        // Front left, right, centre, low frequency, back left, right, … in order.
        f.channelMask = channels >= 32 ? 0xFFFFFFFFu : (1u << channels) - 1;
    }
    return f;
}

WavEncoder::WavEncoder(FILE *file) : m_file(file) {}

WavEncoder::~WavEncoder()
{
    if (!m_file)
        return;
    patchSizes();
    std::fclose(m_file);
}

void WavEncoder::patchSizes()
{
    if (!m_formatSize)
        return;
    std::fflush(m_file);
    std::fseek(m_file, 0, SEEK_END);
    const long size = std::ftell(m_file);
    if (size >= long(m_formatSize + 28)) {
        patch32(m_file, 4, uint32_t(size - 8));
        patch32(m_file, long(m_formatSize + 24), uint32_t(size - long(m_formatSize + 28)));
    }
    std::fflush(m_file);
    std::fseek(m_file, 0, SEEK_END);
}

int WavEncoder::writeHeader(const WaveFormat *format)
{
    if (!m_file)
        return kNoFile;
    if (!format || format->blockAlign == 0)
        return kNoFormat;
    const uint32_t f = uint32_t(format->extraSize) + 18;
    std::vector<uint8_t> h;
    put4cc(h, "RIFF");
    put32(h, 0); // patched on close
    put4cc(h, "WAVE");
    put4cc(h, "fmt ");
    put32(h, f);
    put16(h, format->formatTag);
    put16(h, format->channels);
    put32(h, format->samplesPerSec);
    put32(h, format->avgBytesPerSec);
    put16(h, format->blockAlign);
    put16(h, format->bitsPerSample);
    put16(h, format->extraSize);
    if (format->extraSize >= 22) {
        put16(h, format->validBitsPerSample);
        put32(h, format->channelMask);
        // KSDATAFORMAT_SUBTYPE_PCM / _IEEE_FLOAT: the tag, then a fixed tail.
        static const uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                         0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        put16(h, format->subFormatTag);
        h.insert(h.end(), tail, tail + 14);
        h.resize(h.size() + (format->extraSize - 22), 0);
    }
    put4cc(h, "data");
    put32(h, 0); // patched on close
    if (std::fwrite(h.data(), 1, h.size(), m_file) != h.size())
        return kHeaderFailed;
    m_formatSize = f;
    m_blockAlign = format->blockAlign;
    m_format = *format;
    return kOk;
}

int WavEncoder::writeData(const void *data, size_t bytes)
{
    if (!m_file)
        return kNoFile;
    const int64_t at = int64_t(m_formatSize) + 28 + m_dataBytes;
    int code = kOk;
    if (at + int64_t(bytes) >= kSizeLimitBytes) {
        // Whole sample frames only, so the file stays playable.
        int64_t room = kSizeLimitBytes - 1 - at;
        if (m_blockAlign > 0)
            room -= room % m_blockAlign;
        bytes = size_t(std::max<int64_t>(0, room));
        code = kSizeLimit;
    }
    if (bytes == 0)
        return code;
    const size_t written = std::fwrite(data, 1, bytes, m_file);
    m_dataBytes += int64_t(written);
    // About once a second the sizes are made true, so that a recording cut off
    // by a crash still plays up to then.
    if (m_dataBytes >= m_nextPatch) {
        patchSizes();
        m_nextPatch = m_dataBytes + std::max<int64_t>(m_format.avgBytesPerSec, 4096);
    }
    return written == bytes ? code : kDataFailed;
}

} // namespace wav
