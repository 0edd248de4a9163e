#ifndef NQ_TESTS_IMAGEIO_TIFFBUILDER_H
#define NQ_TESTS_IMAGEIO_TIFFBUILDER_H

// Builds little-endian single-page TIFF files byte by byte, so that tests can
// make files that libtiff's own writer would not: missing or odd fields, lying
// sizes, strips that do not decode.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace nqtest {

class TiffBuilder {
public:
    TiffBuilder& shortField(std::uint16_t tag, const std::vector<std::uint16_t>& values) {
        std::string bytes;
        for (std::uint16_t v : values)
            put(bytes, v, 2);
        return field(tag, 3, values.size(), bytes);
    }
    TiffBuilder& shortField(std::uint16_t tag, std::uint16_t value) {
        return shortField(tag, std::vector<std::uint16_t>{value});
    }
    TiffBuilder& longField(std::uint16_t tag, std::uint32_t value) {
        std::string bytes;
        put(bytes, value, 4);
        return field(tag, 4, 1, bytes);
    }
    TiffBuilder& rationalField(std::uint16_t tag, std::uint32_t numerator,
                               std::uint32_t denominator) {
        std::string bytes;
        put(bytes, numerator, 4);
        put(bytes, denominator, 4);
        return field(tag, 5, 1, bytes);
    }
    TiffBuilder& removeField(std::uint16_t tag) {
        fields_.erase(tag);
        return *this;
    }

    // Width, height, bits per sample, samples, photometric, no compression,
    // one strip for the whole image, contiguous samples.
    static TiffBuilder basic(std::uint32_t width, std::uint32_t height, std::uint16_t bits,
                             std::uint16_t samples, std::uint16_t photometric) {
        TiffBuilder b;
        b.longField(256, width).longField(257, height);
        b.shortField(258, std::vector<std::uint16_t>(samples, bits));
        b.shortField(259, 1).shortField(262, photometric).shortField(277, samples);
        b.longField(278, height).shortField(284, 1);
        return b;
    }

    // Strip data start at offset 8, right after the header; the directory and
    // the values too long for an entry follow. `claimedCounts`, when given,
    // replace the true strip byte counts.
    std::string build(const std::vector<std::string>& strips,
                      const std::vector<std::uint32_t>& claimedCounts = {}) const {
        std::map<std::uint16_t, Field> fields = fields_;
        std::string data, offsets, counts;
        for (std::size_t i = 0; i < strips.size(); ++i) {
            put(offsets, 8 + data.size(), 4);
            put(counts, i < claimedCounts.size() ? claimedCounts[i] : strips[i].size(), 4);
            data += strips[i];
        }
        fields[273] = Field{4, std::uint32_t(strips.size()), offsets};
        fields[279] = Field{4, std::uint32_t(strips.size()), counts};
        if (data.size() % 2)
            data.push_back('\0');
        const std::size_t directory = 8 + data.size();
        const std::size_t extra = directory + 2 + 12 * fields.size() + 4;
        std::string out = "II*";
        out.push_back('\0');
        put(out, directory, 4);
        out += data;
        put(out, fields.size(), 2);
        std::string values;
        for (const auto& [tag, f] : fields) {
            put(out, tag, 2);
            put(out, f.type, 2);
            put(out, f.count, 4);
            if (f.bytes.size() > 4) {
                put(out, extra + values.size(), 4);
                values += f.bytes + std::string(f.bytes.size() % 2, '\0');
            } else {
                out += f.bytes + std::string(4 - f.bytes.size(), '\0');
            }
        }
        put(out, 0, 4);
        return out + values;
    }

private:
    struct Field {
        std::uint16_t type;
        std::uint32_t count;
        std::string bytes;
    };
    TiffBuilder& field(std::uint16_t tag, std::uint16_t type, std::size_t count,
                       const std::string& bytes) {
        fields_[tag] = Field{type, std::uint32_t(count), bytes};
        return *this;
    }
    static void put(std::string& out, std::uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
    }

    std::map<std::uint16_t, Field> fields_;
};

}  // namespace nqtest

#endif
