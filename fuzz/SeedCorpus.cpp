// Writes the seed corpora of the fuzz targets, all made by this program:
//
//   nq_fuzz_seeds DIR    writes DIR/<target>/<seed> for every target
//
// Images come from our own codecs where they can write the variant, and
// from libtiff, libpng and libjpeg driven directly for the variants our
// codecs read but do not write (palettes, tiles, YCbCr, 16-bit samples,
// alpha, interlacing, progressive and arithmetic-coded JPEG, CMYK); GIF,
// BMP and anymap variants are our codecs' files rearranged or written field
// by field. The
// pictures are small, so that one pass over every seed stays fast. XML seeds
// are ground-truth documents written as text, with the shapes that the
// reader handles specially (child zones, polygons, self-closing elements,
// reserved and free attributes, several pages); PAGE and COCO seeds hold
// every shape their readers tell apart (schema versions, Point children, a
// byte order mark with CRLF, nested and line regions; polygons, boxes, plain
// and compressed masks, detection lists).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include "fuzz/FuzzImages.h"
#include "image/NQException.h"
#include "imageio/NQBMPImage.h"
#include "imageio/NQGIFImage.h"
#include "imageio/NQJPGImage.h"
#include "imageio/NQPBMImage.h"
#include "imageio/NQPNGImage.h"
#include "imageio/NQPPMImage.h"
#include "imageio/NQTIFFImage.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::string;

// The seeds of each target, collected before they are written.
struct Seeds {
    std::vector<std::pair<std::string, Bytes>> tiff, png, jpeg, gif, bmp, pbm, ppm, xml,
        groundTruth, page, coco;
};

Bytes readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The bytes of a block that a codec encoded into memory; `encode` sets the
// size it is given and returns the malloc'ed block.
template <typename Encode>
Bytes encodedInMemory(Encode encode) {
    int size = 0;
    unsigned char* block = encode(size);
    Bytes bytes(reinterpret_cast<const char*>(block), static_cast<std::size_t>(size));
    std::free(block);
    return bytes;
}

// ---- TIFF ----------------------------------------------------------------------

Bytes tiffFromCodec(const NQImage& image, int compression, bool minIsWhite) {
    return encodedInMemory([&](int& size) {
        return NQTIFFImage::createImageReader()->nqSaveImageToMem(size, image, compression,
                                                                  minIsWhite);
    });
}

struct TiffCloser {
    void operator()(TIFF* tif) const noexcept { TIFFClose(tif); }
};

// A page written with libtiff directly: `setup` sets the fields, the rows
// (or tiles) of `samples` come from a byte pattern.
template <typename Setup>
Bytes tiffDirect(const std::string& scratch, int width, int height, int bytesPerRow, bool tiled,
                 Setup setup) {
    {
        std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpen(scratch.c_str(), "w"));
        if (!tif)
            return Bytes();
        TIFFSetField(tif.get(), TIFFTAG_IMAGEWIDTH, width);
        TIFFSetField(tif.get(), TIFFTAG_IMAGELENGTH, height);
        TIFFSetField(tif.get(), TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        setup(tif.get());
        std::vector<unsigned char> row(static_cast<std::size_t>(bytesPerRow));
        if (tiled) {
            TIFFSetField(tif.get(), TIFFTAG_TILEWIDTH, 16);
            TIFFSetField(tif.get(), TIFFTAG_TILELENGTH, 16);
            std::vector<unsigned char> tile(static_cast<std::size_t>(TIFFTileSize(tif.get())));
            for (std::size_t i = 0; i < tile.size(); ++i)
                tile[i] = static_cast<unsigned char>(i * 7);
            for (ttile_t t = 0; t < TIFFNumberOfTiles(tif.get()); ++t)
                TIFFWriteEncodedTile(tif.get(), t, tile.data(), tmsize_t(tile.size()));
        } else {
            for (int y = 0; y < height; ++y) {
                for (std::size_t i = 0; i < row.size(); ++i)
                    row[i] = static_cast<unsigned char>(i * 3 + y * 5);
                TIFFWriteScanline(tif.get(), row.data(), std::uint32_t(y), 0);
            }
        }
    }
    Bytes bytes = readWhole(scratch);
    fs::remove(scratch);
    return bytes;
}

void addTiffSeeds(Seeds& seeds, const std::string& scratch) {
    const int compressions1[] = {COMPRESSION_NONE, COMPRESSION_CCITTRLE, COMPRESSION_CCITTFAX3,
                                 COMPRESSION_CCITTFAX4};
    const int compressions8[] = {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_PACKBITS,
                                 COMPRESSION_ADOBE_DEFLATE, COMPRESSION_JPEG};
    for (int compression : compressions1)
        for (bool minIsWhite : {true, false})
            seeds.tiff.emplace_back(
                "bilevel-c" + std::to_string(compression) + (minIsWhite ? "-white" : "-black"),
                tiffFromCodec(nqfuzz::picture(37, 23, 1), compression, minIsWhite));
    for (int bits : {8, 24})
        for (int compression : compressions8)
            if (TIFFIsCODECConfigured(static_cast<std::uint16_t>(compression)))
                seeds.tiff.emplace_back(
                    "depth" + std::to_string(bits) + "-c" + std::to_string(compression),
                    tiffFromCodec(nqfuzz::picture(37, 23, bits), compression, bits == 8));

    const std::string pages = scratch + ".pages";
    const NQImage mixed[] = {nqfuzz::picture(20, 12, 1), nqfuzz::picture(17, 9, 8),
                             nqfuzz::picture(9, 7, 24)};
    if (nqfuzz::writeMultiPageTiff(pages, mixed, 3))
        seeds.tiff.emplace_back("three-pages", readWhole(pages));
    fs::remove(pages);

    seeds.tiff.emplace_back("palette4", tiffDirect(scratch, 21, 11, 11, false, [](TIFF* tif) {
                                TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 4);
                                TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
                                TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE);
                                static std::vector<std::uint16_t> map(16);
                                for (std::size_t i = 0; i < map.size(); ++i)
                                    map[i] = static_cast<std::uint16_t>(i * 4369);
                                TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data(),
                                             map.data());
                            }));
    seeds.tiff.emplace_back("grey16", tiffDirect(scratch, 13, 7, 26, false, [](TIFF* tif) {
                                TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
                                TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
                                TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
                            }));
    seeds.tiff.emplace_back("rgba-tiled-lzw", tiffDirect(scratch, 33, 20, 0, true, [](TIFF* tif) {
                                TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
                                TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4);
                                const std::uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
                                TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
                                TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
                                TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
                                TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
                            }));
    if (TIFFIsCODECConfigured(COMPRESSION_JPEG))
        seeds.tiff.emplace_back("ycbcr-jpeg", tiffDirect(scratch, 32, 16, 96, false, [](TIFF* tif) {
                                    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
                                    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
                                    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
                                    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
                                    TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
                                    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
                                }));
}

// ---- PNG -----------------------------------------------------------------------

struct PngWriteDestroyer {
    png_structp png;
    png_infop info;
    ~PngWriteDestroyer() { png_destroy_write_struct(&png, &info); }
};

void appendPngBytes(png_structp png, png_bytep data, png_size_t length) {
    static_cast<Bytes*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

// A PNG written with libpng directly; rows are a byte pattern. No jump
// buffer is armed, so a libpng error aborts: the settings are sound.
Bytes pngDirect(int width, int height, int bitDepth, int colorType, bool interlaced) {
    Bytes out;
    PngWriteDestroyer structs{
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr), nullptr};
    if (structs.png == nullptr)
        return out;
    structs.info = png_create_info_struct(structs.png);
    if (structs.info == nullptr)
        return out;
    png_set_write_fn(structs.png, &out, appendPngBytes, nullptr);
    png_set_IHDR(structs.png, structs.info, png_uint_32(width), png_uint_32(height), bitDepth,
                 colorType, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette(256);
    for (int i = 0; i < 256; ++i)
        palette[std::size_t(i)] = {png_byte(i), png_byte(255 - i), png_byte(i * 3)};
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_PLTE(structs.png, structs.info, palette.data(), 1 << bitDepth);
    png_set_pHYs(structs.png, structs.info, 11811, 11811, PNG_RESOLUTION_METER);
    png_text text{};
    text.compression = PNG_TEXT_COMPRESSION_NONE;
    text.key = const_cast<char*>("Software");
    text.text = const_cast<char*>("wexa seeds");
    png_set_text(structs.png, structs.info, &text, 1);
    png_write_info(structs.png, structs.info);
    const std::size_t rowBytes = png_get_rowbytes(structs.png, structs.info);
    std::vector<png_byte> pixels(rowBytes * std::size_t(height));
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<png_byte>(i * 13 / 7);
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    for (std::size_t y = 0; y < rows.size(); ++y)
        rows[y] = pixels.data() + y * rowBytes;
    png_write_image(structs.png, rows.data());
    png_write_end(structs.png, nullptr);
    return out;
}

void addPngSeeds(Seeds& seeds, const std::string& scratch) {
    for (int bits : {1, 8, 24}) {
        nqfuzz::picture(29, 17, bits).nqSaveImage(scratch.c_str(), NQPNGImage::createImageReader());
        seeds.png.emplace_back("depth" + std::to_string(bits), readWhole(scratch));
        fs::remove(scratch);
    }
    struct Variant {
        const char* name;
        int bitDepth, colorType;
        bool interlaced;
    };
    const Variant variants[] = {
        {"palette8", 8, PNG_COLOR_TYPE_PALETTE, false},
        {"palette2-interlaced", 2, PNG_COLOR_TYPE_PALETTE, true},
        {"grey4", 4, PNG_COLOR_TYPE_GRAY, false},
        {"grey16", 16, PNG_COLOR_TYPE_GRAY, false},
        {"rgb16-interlaced", 16, PNG_COLOR_TYPE_RGB, true},
        {"grey-alpha", 8, PNG_COLOR_TYPE_GRAY_ALPHA, false},
        {"rgba", 8, PNG_COLOR_TYPE_RGB_ALPHA, false},
    };
    for (const Variant& v : variants)
        seeds.png.emplace_back(v.name, pngDirect(19, 11, v.bitDepth, v.colorType, v.interlaced));
}

// ---- JPEG ----------------------------------------------------------------------

struct JpegCompressor {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    JpegCompressor() {
        cinfo.err = jpeg_std_error(&errors);
        jpeg_create_compress(&cinfo);
    }
    ~JpegCompressor() { jpeg_destroy_compress(&cinfo); }
};

enum class JpegKind { kProgressive, kArithmetic, kCmyk, kSubsampledWithRestarts };

// A JPEG written with libjpeg directly (its default error handler ends the
// process, which is acceptable for a generator fed only with sound settings).
Bytes jpegDirect(JpegKind kind) {
    JpegCompressor c;
    unsigned char* block = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c.cinfo, &block, &size);
    c.cinfo.image_width = 24;
    c.cinfo.image_height = 18;
    c.cinfo.input_components = kind == JpegKind::kCmyk ? 4 : 3;
    c.cinfo.in_color_space = kind == JpegKind::kCmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&c.cinfo);
    jpeg_set_quality(&c.cinfo, 60, TRUE);
    if (kind == JpegKind::kProgressive)
        jpeg_simple_progression(&c.cinfo);
    if (kind == JpegKind::kArithmetic)
        c.cinfo.arith_code = TRUE;
    if (kind == JpegKind::kSubsampledWithRestarts) {
        c.cinfo.restart_in_rows = 1;
        c.cinfo.comp_info[0].h_samp_factor = 2;
        c.cinfo.comp_info[0].v_samp_factor = 2;
    }
    jpeg_start_compress(&c.cinfo, TRUE);
    std::vector<JSAMPLE> row(std::size_t(c.cinfo.image_width) * c.cinfo.input_components);
    while (c.cinfo.next_scanline < c.cinfo.image_height) {
        for (std::size_t i = 0; i < row.size(); ++i)
            row[i] = static_cast<JSAMPLE>(i * 11 + c.cinfo.next_scanline * 9);
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&c.cinfo, rows, 1);
    }
    jpeg_finish_compress(&c.cinfo);
    Bytes bytes(reinterpret_cast<const char*>(block), size);
    std::free(block);
    return bytes;
}

void addJpegSeeds(Seeds& seeds) {
    NQJPGImage* codec = NQJPGImage::createImageReader();
    for (int bits : {8, 24}) {
        seeds.jpeg.emplace_back("depth" + std::to_string(bits), encodedInMemory([&](int& size) {
                                    return codec->nqSaveImageToMem(
                                        size, nqfuzz::picture(23, 15, bits), 50);
                                }));
    }
    seeds.jpeg.emplace_back("progressive", jpegDirect(JpegKind::kProgressive));
    seeds.jpeg.emplace_back("arithmetic", jpegDirect(JpegKind::kArithmetic));
    seeds.jpeg.emplace_back("cmyk", jpegDirect(JpegKind::kCmyk));
    seeds.jpeg.emplace_back("subsampled-restarts", jpegDirect(JpegKind::kSubsampledWithRestarts));
}

// ---- GIF -----------------------------------------------------------------------

Bytes savedByCodec(NQBaseImage* codec, const NQImage& image, const std::string& scratch) {
    codec->nqSaveImage(scratch.c_str(), image);
    Bytes bytes = readWhole(scratch);
    fs::remove(scratch);
    return bytes;
}

// The variants of a GIF written by our codec (header, screen, global table,
// one image with its own local table): interlaced, two frames after a
// graphic control extension, the global table only, no table at all, cut
// inside the image data.
void addGifSeeds(Seeds& seeds, const std::string& scratch) {
    const Bytes plain =
        savedByCodec(NQGIFImage::createImageReader(), nqfuzz::picture(23, 19, 24), scratch);
    seeds.gif.emplace_back("plain", plain);
    auto tableBytes = [](char packed) {
        return (packed & 0x80) != 0 ? std::size_t(3) << ((packed & 7) + 1) : 0;
    };
    const std::size_t global = tableBytes(plain[10]);
    const std::size_t image = 13 + global;
    if (plain.size() < image + 11 || plain[image] != ',' || plain.back() != ';')
        return;
    const std::size_t local = tableBytes(plain[image + 9]);
    const Bytes head = plain.substr(0, image);
    const Bytes block = plain.substr(image, plain.size() - 1 - image);
    const Bytes data = block.substr(10 + local);

    Bytes interlaced = plain;
    interlaced[image + 9] = static_cast<char>(interlaced[image + 9] | 0x40);
    seeds.gif.emplace_back("interlaced", interlaced);
    const Bytes graphicControl("!\xf9\x04\x04\x0a\x00\x00\x00", 8);
    seeds.gif.emplace_back("two-frames", head + graphicControl + block + block + ";");
    Bytes globalOnly = head + block.substr(0, 10) + data + ";";
    globalOnly[image + 9] = static_cast<char>(globalOnly[image + 9] & 0x78);
    seeds.gif.emplace_back("global-table", globalOnly);
    Bytes bare = plain.substr(0, 13) + block.substr(0, 10) + data + ";";
    bare[10] = static_cast<char>(bare[10] & 0x7f);
    bare[13 + 9] = static_cast<char>(bare[13 + 9] & 0x78);
    seeds.gif.emplace_back("no-table", bare);
    seeds.gif.emplace_back("cut", plain.substr(0, image + 10 + local + data.size() / 2));
}

// ---- BMP and the portable anymaps -----------------------------------------------

// A BMP of `bits` per pixel written field by field, with a palette of
// `colours` entries; rows are a byte pattern.
Bytes bmpDirect(int width, int height, int bits, int colours) {
    auto put = [](Bytes& out, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<char>(value >> (8 * i)));
    };
    const int rowBytes = (width * bits + 31) / 32 * 4;
    const std::uint32_t offset = 54 + 4 * colours;
    Bytes out = "BM";
    put(out, offset + std::uint32_t(rowBytes * height), 4);
    put(out, 0, 4);
    put(out, offset, 4);
    put(out, 40, 4);
    put(out, std::uint32_t(width), 4);
    put(out, std::uint32_t(height), 4);
    put(out, 1, 2);
    put(out, std::uint32_t(bits), 2);
    put(out, 0, 4);
    put(out, std::uint32_t(rowBytes * height), 4);
    put(out, 2835, 4);
    put(out, 2835, 4);
    put(out, std::uint32_t(colours), 4);
    put(out, 0, 4);
    for (int i = 0; i < colours; ++i)
        put(out, std::uint32_t(i * 0x010203), 4);
    for (int i = 0; i < rowBytes * height; ++i)
        out.push_back(static_cast<char>(i * 7));
    return out;
}

void addBmpAndAnymapSeeds(Seeds& seeds, const std::string& scratch) {
    for (int bits : {1, 8, 24})
        seeds.bmp.emplace_back(
            "saved" + std::to_string(bits),
            savedByCodec(NQBMPImage::createImageReader(), nqfuzz::picture(21, 13, bits), scratch));
    seeds.bmp.emplace_back("palette4", bmpDirect(19, 7, 4, 16));
    seeds.bmp.emplace_back("palette8", bmpDirect(11, 5, 8, 256));
    seeds.bmp.emplace_back("rgb16", bmpDirect(9, 6, 16, 0));

    seeds.pbm.emplace_back("binary", savedByCodec(NQPBMImage::createImageReader(),
                                                  nqfuzz::picture(21, 13, 1), scratch));
    seeds.pbm.emplace_back("plain", "P1\n# plain\n5 3\n1 0 1 0 1\n0 1 0 1 0\n11111\n");
    seeds.pbm.emplace_back("commented", "P4\n# one\n\n# two\n9 2\n\x0f\x80\xf0\x7f");
    const Bytes colour =
        savedByCodec(NQPPMImage::createImageReader(), nqfuzz::picture(17, 11, 24), scratch);
    seeds.ppm.emplace_back("saved", colour);
    seeds.ppm.emplace_back(
        "commented", "P6\n# comment\n2 2\n255\n\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c");
}

// ---- XML -----------------------------------------------------------------------

const char* const kProlog =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- seed -->\n"
    "<QOLA xmlns=\"urn:wexa:qola\" version=\"1.0\">\n";

// Ground-truth documents on an image named `src` with pages of 64 x 48
// (page.tif) or 40 x 30 (page.png) pixels.
std::vector<std::pair<std::string, Bytes>> documents(const std::string& src) {
    const std::string doc = "<NQ_DOCUMENT src=\"" + src + "\" documentID=\"d1\" owner=\"seed\">";
    const std::string end = "\n</NQ_DOCUMENT>\n</QOLA>";
    return {
        {"zones", kProlog + doc +
                      "\n\t<NQ_PAGE pageID=\"p1\" width=\"64\" height=\"48\" scan=\"a\">"
                      "\n\t\t<NQ_ZONE id=\"z1\" col=\"1\" row=\"2\" width=\"30\" height=\"20\" "
                      "qola_type=\"text\" lineID=\"3\">"
                      "\n\t\t<NQ_ZONE height=\"5\" width=\"6\" row=\"3\" col=\"2\">"
                      "\n\t\t</NQ_ZONE>\n\t\t</NQ_ZONE><NQ_ZONE id=\"z2\" col=\"0\" row=\"0\" "
                      "width=\"64\" height=\"48\" ZoneId=\"9\" MZID=\"m\">\n\t\t</NQ_ZONE>"
                      "\n\t</NQ_PAGE>" +
                      end},
        {"polygons", kProlog + doc +
                         "<NQ_PAGE pageID=\"p1\"><NQ_ZONE id=\"a\" col=\"0\" row=\"0\" "
                         "width=\"10\" height=\"10\" polygon=\"(0,0);(10,0);(10,10)\"/>"
                         "<NQ_ZONE id=\"b\" col=\"0\" row=\"0\" width=\"10\" height=\"10\" "
                         "polygon=\"(0,0);(99,0);(10,10)\"/><NQ_ZONE id=\"c\" col=\"60\" "
                         "row=\"40\" width=\"10\" height=\"10\"/></NQ_PAGE>" +
                         end},
        {"two-pages", kProlog + doc +
                          "<NQ_PAGE pageID=\"1\"><NQ_ZONE id=\"x\" col=\"4\" row=\"4\" "
                          "width=\"8\" height=\"8\" orientationD=\"90\"></NQ_ZONE></NQ_PAGE>"
                          "<NQ_PAGE pageID=\"2\"/>" +
                          end},
        {"empty-page", kProlog + doc + "<NQ_PAGE></NQ_PAGE>" + end},
    };
}

void addXmlSeeds(Seeds& seeds) {
    for (const char* src : {"page.tif", "page.png"})
        for (auto& [name, text] : documents(src))
            seeds.groundTruth.emplace_back(
                name + "-" + fs::path(src).extension().string().substr(1), text);
    seeds.xml = documents("page.tif");
    seeds.xml.emplace_back("self-closing", "<a><b x=\"1\"/><c y=\"2\" z=\"3\"/></a>");
    seeds.xml.emplace_back("nested", "<p><a><b></b></a><c id=\"7\" width=\"100\"></c></p>");
}

// ---- PAGE XML and COCO JSON ---------------------------------------------------------

// A PAGE file of schema `year` on page.tif (64 x 48) with the given regions.
Bytes pageFile(const std::string& year, const std::string& regions) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<PcGts xmlns=\"http://schema.primaresearch"
           ".org/PAGE/gts/pagecontent/" +
           year +
           "\" pcGtsId=\"seed\">\n<Metadata><Creator>seed</Creator></Metadata>\n"
           "<Page imageFilename=\"page.tif\" imageWidth=\"64\" imageHeight=\"48\">\n" +
           regions + "</Page>\n</PcGts>\n";
}

void addForeignSeeds(Seeds& seeds) {
    const std::string regions =
        "<TextRegion id=\"r1\" type=\"paragraph\"><Coords points=\"2,2 30,2 30,20 2,20\"/>"
        "<TextLine id=\"l1\"><Coords points=\"3,3 29,3 29,9 3,9\"/></TextLine>"
        "<TextLine id=\"l2\"><Coords points=\"3,11 29,11 29,19 3,19\"/></TextLine>"
        "</TextRegion>\n<SeparatorRegion id=\"s1\"><Coords points=\"32,0 33,0 33,48 32,48\"/>"
        "</SeparatorRegion>\n<TableRegion id=\"t1\"><Coords points=\"35,2 62,2 62,46 35,46\"/>"
        "<TextRegion id=\"c1\"><Coords points=\"36,3 48,3 48,20 36,20\"/></TextRegion>"
        "</TableRegion>\n<GraphicRegion id=\"g1\" type=\"stamp\"><Coords points=\"-5,40.5 "
        "70,40.5 70,60\"/></GraphicRegion>\n<ImageRegion id=\"i1\"/>\n";
    seeds.page.emplace_back("2019", pageFile("2019-07-15", regions));
    seeds.page.emplace_back("2013-bom-crlf",
                            "\xEF\xBB\xBF" + std::regex_replace(pageFile("2013-07-15", regions),
                                                                std::regex("\n"), "\r\n"));
    seeds.page.emplace_back("2010-points",
                            pageFile("2010-03-19",
                                     "<TextRegion id=\"r1\"><Coords><Point x=\"1\" y=\"1\"/>"
                                     "<Point x=\"20\" y=\"1\"/><Point x=\"20\" y=\"9\"/></Coords>"
                                     "</TextRegion>\n"));
    seeds.page.emplace_back("prefixed",
                            "<pc:PcGts xmlns:pc=\"http://schema.primaresearch.org/PAGE/gts/"
                            "pagecontent/2019-07-15\"><pc:Page imageFilename=\"sub/page.png\">"
                            "<pc:MathsRegion id=\"m\"><pc:Coords points=\"1,1 9,1 9,9\"/>"
                            "</pc:MathsRegion></pc:Page></pc:PcGts>");

    seeds.coco.emplace_back(
        "data-set",
        R"({"info": {"year": 2024}, "images": [{"id": 1, "file_name": "page.tif", "width": 64,)"
        R"( "height": 48}, {"id": "two", "file_name": "x/page.png"}], "categories": [{"id": 1,)"
        R"( "name": "text"}, {"id": 2, "name": "figure"}], "annotations": [{"id": 1,)"
        R"( "image_id": 1, "category_id": 1, "bbox": [2.5, 3, 10, 6], "area": 60, "iscrowd": 0},)"
        R"( {"id": 2, "image_id": 1, "category_id": 2, "segmentation": [[1, 1, 5, 1, 5, 5],)"
        R"( [10, 10, 14, 10, 14, 14]]}, {"id": 3, "image_id": "two", "category_id": 1,)"
        R"( "segmentation": {"size": [30, 40], "counts": [95, 4, 26, 4, 51, 1]}}, {"id": 4,)"
        R"( "image_id": "two", "category_id": 2, "segmentation": {"size": [30, 40],)"
        R"( "counts": "o24j00i0M"}}, {"id": 5, "image_id": 9, "category_id": 1, "bbox": [0, 0,)"
        R"( 1, 1]}]})");
    seeds.coco.emplace_back(
        "detections",
        R"([{"image_id": 1, "category_id": 1, "bbox": [2, 3, 10, 6], "score": 0.9},)"
        R"( {"image_id": 1, "category_id": 2, "segmentation": [[0, 0, 64, 0, 64, 48]],)"
        R"( "score": 0.4}, {"image_id": 2, "category_id": 2, "bbox": [-3, -3, 100, 100]}])");
}

void write(const fs::path& folder, const std::vector<std::pair<std::string, Bytes>>& seeds,
           const std::string& prefix = "") {
    fs::create_directories(folder);
    for (const auto& [name, bytes] : seeds) {
        if (bytes.empty())
            continue;
        std::ofstream out(folder / (prefix + name), std::ios::binary);
        out << bytes;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: nq_fuzz_seeds DIR\n";
        return 2;
    }
    const fs::path root = argv[1];
    fs::create_directories(root);
    const std::string scratch = (root / "scratch.tmp").string();
    Seeds seeds;
    try {
        addTiffSeeds(seeds, scratch);
        addPngSeeds(seeds, scratch);
        addJpegSeeds(seeds);
        addGifSeeds(seeds, scratch);
        addBmpAndAnymapSeeds(seeds, scratch);
        addXmlSeeds(seeds);
        addForeignSeeds(seeds);
    } catch (const NQException& e) {
        std::cerr << "nq_fuzz_seeds: " << e.what() << '\n';
        return 1;
    }
    write(root / "tiff", seeds.tiff);
    write(root / "png", seeds.png);
    write(root / "jpeg", seeds.jpeg);
    write(root / "gif", seeds.gif);
    write(root / "bmp", seeds.bmp);
    write(root / "pbm", seeds.pbm);
    write(root / "ppm", seeds.ppm);
    write(root / "xml", seeds.xml);
    write(root / "groundtruth", seeds.groundTruth);
    write(root / "page", seeds.page);
    write(root / "coco", seeds.coco);
    write(root / "probe", seeds.tiff, "tiff-");
    write(root / "probe", seeds.png, "png-");
    write(root / "probe", seeds.jpeg, "jpeg-");
    write(root / "probe", seeds.gif, "gif-");
    write(root / "probe", seeds.bmp, "bmp-");
    write(root / "probe", seeds.pbm, "pbm-");
    write(root / "probe", seeds.ppm, "ppm-");
    return 0;
}
