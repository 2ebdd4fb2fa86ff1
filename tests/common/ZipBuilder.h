// Writes small zip archives byte by byte, so tests can make the archives a real tool
// would refuse to make: hostile names, link entries, wrong checksums.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

struct ZipEntry {
    std::string name;         // as stored: bytes, '/' or '\' as the test wants
    std::string content;
    bool deflate = false;
    uint16_t versionMadeBy = 20;  // high byte: 0 DOS/Windows, 3 Unix
    uint32_t externalAttributes = 0;
    bool utf8Name = false;
    bool wrongCrc = false;
};

class ZipBuilder {
public:
    ZipBuilder& Add(const std::string& name, const std::string& content);
    ZipBuilder& Add(const ZipEntry& entry);
    // A Unix symbolic link entry pointing at target.
    ZipBuilder& AddSymlink(const std::string& name, const std::string& target);
    std::string Bytes() const;

private:
    std::vector<ZipEntry> m_entries;
};

} // namespace testing_support
