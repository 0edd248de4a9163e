#ifndef NQ_TESTS_IMAGEIO_TIFFBUILDER_H
#define NQ_TESTS_IMAGEIO_TIFFBUILDER_H

// Builds little-endian single-page TIFF files byte by byte, so that tests can
// make files that libtiff's writer would refuse to make: missing or odd
// fields, lying sizes, strips that do not decode.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace nqtest {

class TiffBuilder {
public:
    enum Type : std::uint16_t { kAscii = 2, kShort = 3, kLong = 4, kRational = 5 };

    TiffBuilder& shortField(std::uint16_t tag, std::vector<std::uint16_t> values) {
        std::string bytes;
        for (std::uint16_t v : values) put16(bytes, v);
        return field(tag, kShort, static_cast<std::uint32_t>(values.size()), bytes);
    }
    TiffBuilder& shortField(std::uint16_t tag, std::uint16_t value) {
        return shortField(tag, std::vector<std::uint16_t>{value});
    }
    TiffBuilder& longField(std::uint16_t tag, std::uint32_t value) {
        std::string bytes;
        put32(bytes, value);
        return field(tag, kLong, 1, bytes);
    }
    TiffBuilder& rationalField(std::uint16_t tag, std::uint32_t numerator,
                               std::uint32_t denominator) {
        std::string bytes;
        put32(bytes, numerator);
        put32(bytes, denominator);
        return field(tag, kRational, 1, bytes);
    }
    TiffBuilder& asciiField(std::uint16_t tag, const std::string& text) {
        std::string bytes = text;
        bytes.push_back('\0');
        return field(tag, kAscii, static_cast<std::uint32_t>(bytes.size()), bytes);
    }
    TiffBuilder& removeField(std::uint16_t tag) {
        fields_.erase(tag);
        return *this;
    }

    // A bare image: width, height, bits, samples, photometric, compression 1,
    // one strip per entry of `strips` (offsets and counts filled in by build).
    static TiffBuilder basic(std::uint32_t width, std::uint32_t height, std::uint16_t bits,
                             std::uint16_t samples, std::uint16_t photometric) {
        TiffBuilder b;
        b.longField(256, width).longField(257, height);
        std::vector<std::uint16_t> perSample(samples, bits);
        b.shortField(258, perSample).shortField(259, 1).shortField(262, photometric);
        b.shortField(277, samples).longField(278, height).shortField(284, 1);
        return b;
    }

    // Strip data start at offset 8, right after the header; the directory
    // and the values that do not fit an entry follow. `claimedCounts`, when
    // given, replaces the true strip byte counts.
    std::string build(const std::vector<std::string>& strips,
                      const std::vector<std::uint32_t>& claimedCounts = {}) const {
        std::map<std::uint16_t, Field> fields = fields_;
        std::string data;
        std::string offsets, counts;
        for (std::size_t i = 0; i < strips.size(); ++i) {
            put32(offsets, static_cast<std::uint32_t>(8 + data.size()));
            put32(counts, i < claimedCounts.size() ? claimedCounts[i]
                                                   : static_cast<std::uint32_t>(strips[i].size()));
            data += strips[i];
        }
        if (!strips.empty()) {
            const auto n = static_cast<std::uint32_t>(strips.size());
            fields[273] = Field{kLong, n, offsets};
            fields[279] = Field{kLong, n, counts};
        }
        if (data.size() % 2) data.push_back('\0');
        const std::uint32_t directory = static_cast<std::uint32_t>(8 + data.size());
        std::uint32_t extra = directory + 2 + 12 * static_cast<std::uint32_t>(fields.size()) + 4;
        std::string entries, values;
        for (const auto& [tag, f] : fields) {
            put16(entries, tag);
            put16(entries, f.type);
            put32(entries, f.count);
            if (f.bytes.size() <= 4) {
                std::string inline4 = f.bytes;
                inline4.resize(4, '\0');
                entries += inline4;
            } else {
                put32(entries, extra + static_cast<std::uint32_t>(values.size()));
                values += f.bytes;
                if (values.size() % 2) values.push_back('\0');
            }
        }
        std::string out = "II";
        put16(out, 42);
        put32(out, directory);
        out += data;
        put16(out, static_cast<std::uint16_t>(fields.size()));
        out += entries;
        put32(out, 0);
        out += values;
        return out;
    }

private:
    struct Field {
        std::uint16_t type;
        std::uint32_t count;
        std::string bytes;
    };

    TiffBuilder& field(std::uint16_t tag, std::uint16_t type, std::uint32_t count,
                       const std::string& bytes) {
        fields_[tag] = Field{type, count, bytes};
        return *this;
    }
    static void put16(std::string& out, std::uint16_t v) {
        out.push_back(static_cast<char>(v & 0xff));
        out.push_back(static_cast<char>(v >> 8));
    }
    static void put32(std::string& out, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
    }

    std::map<std::uint16_t, Field> fields_;
};

}  // namespace nqtest

#endif
