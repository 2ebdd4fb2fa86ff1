#include "tests/common/ZipBuilder.h"

#include <zlib.h>

namespace testing_support {

namespace {

void Put16(std::string& out, uint32_t value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

std::string RawDeflate(const std::string& data)
{
    z_stream stream = {};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())) + 16, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

} // namespace

ZipBuilder& ZipBuilder::Add(const std::string& name, const std::string& content)
{
    ZipEntry entry;
    entry.name = name;
    entry.content = content;
    return Add(entry);
}

ZipBuilder& ZipBuilder::Add(const ZipEntry& entry)
{
    m_entries.push_back(entry);
    return *this;
}

ZipBuilder& ZipBuilder::AddSymlink(const std::string& name, const std::string& target)
{
    ZipEntry entry;
    entry.name = name;
    entry.content = target;
    entry.versionMadeBy = (3 << 8) | 20;
    entry.externalAttributes = 0120777u << 16;
    return Add(entry);
}

std::string ZipBuilder::Bytes() const
{
    std::string out;
    std::string central;
    for (const ZipEntry& entry : m_entries) {
        const std::string stored = entry.deflate ? RawDeflate(entry.content) : entry.content;
        uint32_t crc = static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(entry.content.data()), static_cast<uInt>(entry.content.size())));
        if (entry.wrongCrc)
            crc ^= 0xFFFFFFFFu;
        const uint16_t method = entry.deflate ? 8 : 0;
        const uint16_t flags = entry.utf8Name ? 0x800 : 0;
        const uint32_t offset = static_cast<uint32_t>(out.size());

        Put32(out, 0x04034b50);
        Put16(out, 20);
        Put16(out, flags);
        Put16(out, method);
        Put16(out, 0);       // time
        Put16(out, 0x21);    // date: 1980-01-01
        Put32(out, crc);
        Put32(out, static_cast<uint32_t>(stored.size()));
        Put32(out, static_cast<uint32_t>(entry.content.size()));
        Put16(out, static_cast<uint32_t>(entry.name.size()));
        Put16(out, 0);
        out += entry.name;
        out += stored;

        Put32(central, 0x02014b50);
        Put16(central, entry.versionMadeBy);
        Put16(central, 20);
        Put16(central, flags);
        Put16(central, method);
        Put16(central, 0);
        Put16(central, 0x21);
        Put32(central, crc);
        Put32(central, static_cast<uint32_t>(stored.size()));
        Put32(central, static_cast<uint32_t>(entry.content.size()));
        Put16(central, static_cast<uint32_t>(entry.name.size()));
        Put16(central, 0);   // extra
        Put16(central, 0);   // comment
        Put16(central, 0);   // disk
        Put16(central, 0);   // internal attributes
        Put32(central, entry.externalAttributes);
        Put32(central, offset);
        central += entry.name;
    }
    const uint32_t centralOffset = static_cast<uint32_t>(out.size());
    out += central;
    Put32(out, 0x06054b50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<uint32_t>(m_entries.size()));
    Put16(out, static_cast<uint32_t>(m_entries.size()));
    Put32(out, static_cast<uint32_t>(central.size()));
    Put32(out, centralOffset);
    Put16(out, 0);
    return out;
}

} // namespace testing_support
