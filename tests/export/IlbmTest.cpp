#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "export/Ilbm.h"
#include "io/Files.h"
#include "TestSupport.h"

namespace {

void setPixel(Image& im, int x, int y, Rgb c, uint8_t a = 255) {
    uint8_t* p = im.pixel(x, y);
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
    p[3] = a;
}

Image filled(int w, int h, Rgb c) {
    Image im(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) setPixel(im, x, y, c);
    return im;
}

uint32_t be32(const std::string& s, size_t at) {
    return uint32_t(uint8_t(s[at])) << 24 | uint32_t(uint8_t(s[at + 1])) << 16 | uint32_t(uint8_t(s[at + 2])) << 8 |
           uint8_t(s[at + 3]);
}

std::string hex(const std::string& s, size_t at, size_t n) {
    static const char* d = "0123456789ABCDEF";
    std::string out;
    for (size_t i = at; i < at + n; ++i) {
        out += d[uint8_t(s[i]) >> 4];
        out += d[uint8_t(s[i]) & 15];
    }
    return out;
}

// Palette index of pixel x in row y, read back from the planes of the body.
int indexAt(const std::string& file, int width, int x, int y) {
    const int rowBytes = ilbmRowBytes(width);
    const size_t base = 186 + size_t(y) * 4 * size_t(rowBytes);
    int v = 0;
    for (int p = 0; p < 4; ++p)
        if (uint8_t(file[base + size_t(p * rowBytes + x / 8)]) & (0x80 >> (x % 8))) v |= 1 << p;
    return v;
}

IlbmPicture prepared(const Image& im) {
    IlbmPicture out;
    std::string error;
    EXPECT_TRUE(prepareIlbmPicture(im, out, error)) << error;
    return out;
}

}  // namespace

TEST(Ilbm, HeaderOf720x576) {
    std::string file = encodeIlbm(prepared(filled(720, 576, Rgb{0, 0, 0})));
    ASSERT_EQ(file.size(), 207546u);
    EXPECT_EQ(file.substr(0, 4), "FORM");
    EXPECT_EQ(hex(file, 4, 4), "00032AB2");
    EXPECT_EQ(be32(file, 4), file.size() - 8);
    EXPECT_EQ(file.substr(8, 8), "ILBMBMHD");
    EXPECT_EQ(be32(file, 16), 20u);
    EXPECT_EQ(hex(file, 20, 4), "02D00240");
    EXPECT_EQ(hex(file, 24, 16), "00000000040000000000" "0A0A02D00240");
    EXPECT_EQ(file.substr(40, 4), "CAMG");
    EXPECT_EQ(hex(file, 44, 8), "0000000400008004");
    EXPECT_EQ(file.substr(52, 4), "KVL8");
    EXPECT_EQ(hex(file, 56, 18), "0000000E" "0071002A0180024000000000" "0000");
    EXPECT_EQ(file.substr(74, 4), "CMAP");
    EXPECT_EQ(be32(file, 78), 96u);
    EXPECT_EQ(hex(file, 130, 48),
              "F00000E0C080C06000E0A0002070F04090D050A0E0A0D0F0B0D0F0C0E0F0F0F0F0400080A000E0E000E0E00080E0E0E0");
    EXPECT_EQ(file.substr(178, 4), "BODY");
    EXPECT_EQ(be32(file, 182), 207360u);
}

TEST(Ilbm, OneColourPicture) {
    std::string file = encodeIlbm(prepared(filled(32, 8, Rgb{0, 0, 0})));
    ASSERT_EQ(file.size(), 186u + 32 * 8 / 2);
    EXPECT_EQ(hex(file, 82, 3), "000000");
    for (int e = 1; e < 16; ++e) EXPECT_EQ(hex(file, 82 + size_t(e) * 3, 3), "FF0000") << e;
    EXPECT_EQ(file.find_first_not_of('\0', 186), std::string::npos);
}

TEST(Ilbm, BlackAndWhiteSortsFillersBetween) {
    Image im = filled(16, 1, Rgb{0, 0, 0});
    setPixel(im, 3, 0, Rgb{255, 255, 255});
    IlbmPicture pic = prepared(im);
    EXPECT_EQ(pic.palette[0], (Rgb{0, 0, 0}));
    for (int e = 1; e <= 14; ++e) EXPECT_EQ(pic.palette[size_t(e)], (Rgb{255, 0, 0}));
    EXPECT_EQ(pic.palette[15], (Rgb{255, 255, 255}));
    EXPECT_EQ(pic.indices[3], 15);
    EXPECT_EQ(pic.indices[0], 0);
}

TEST(Ilbm, ExactlySixteenColoursKeepTheirOrder) {
    Image im(16, 2);
    std::vector<Rgb> colours;
    for (int i = 0; i < 16; ++i) colours.push_back(Rgb{uint8_t(200 - i * 10), uint8_t(i * 7), uint8_t(255 - i)});
    for (int x = 0; x < 16; ++x) {
        setPixel(im, x, 0, colours[size_t(x)]);
        setPixel(im, 15 - x, 1, colours[size_t(x)]);
    }
    IlbmPicture pic = prepared(im);
    for (int e = 0; e < 15; ++e) {
        const Rgb& a = pic.palette[size_t(e)];
        const Rgb& b = pic.palette[size_t(e + 1)];
        EXPECT_LT(std::tie(a.r, a.g, a.b), std::tie(b.r, b.g, b.b));
    }
    std::string file = encodeIlbm(pic);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 16; ++x) {
            const Rgb& c = pic.palette[size_t(indexAt(file, 16, x, y))];
            EXPECT_EQ(c, colours[size_t(y == 0 ? x : 15 - x)]) << x << "," << y;
        }
    // Colours are decreasing in red, so the first pixel of row 0 is entry 15.
    EXPECT_EQ(indexAt(file, 16, 0, 0), 15);
}

TEST(Ilbm, PureRedSharesItsPlaceWithTheFillers) {
    Image im = filled(16, 1, Rgb{0, 0, 0});
    setPixel(im, 5, 0, Rgb{255, 0, 0});
    setPixel(im, 6, 0, Rgb{255, 255, 0});
    IlbmPicture pic = prepared(im);
    EXPECT_EQ(pic.palette[0], (Rgb{0, 0, 0}));
    for (int e = 1; e <= 14; ++e) EXPECT_EQ(pic.palette[size_t(e)], (Rgb{255, 0, 0}));
    EXPECT_EQ(pic.palette[15], (Rgb{255, 255, 0}));
    EXPECT_EQ(pic.indices[5], 1);  // the lowest red entry
    EXPECT_EQ(pic.indices[6], 15);
}

TEST(Ilbm, LeftmostPixelIsTheMostSignificantBit) {
    Image im = filled(16, 2, Rgb{0, 0, 0});
    setPixel(im, 0, 1, Rgb{255, 255, 255});  // index 15: all four planes
    setPixel(im, 9, 1, Rgb{255, 255, 255});
    std::string file = encodeIlbm(prepared(im));
    ASSERT_EQ(file.size(), 186u + 16u);
    // Row 0 all zero, row 1: each plane row 0x80 0x40.
    EXPECT_EQ(hex(file, 186, 8), "0000000000000000");
    EXPECT_EQ(hex(file, 194, 8), "8040804080408040");
}

TEST(Ilbm, PlaneBitsFollowTheIndexBits) {
    // Black, fillers, then 0x00FF00 ... choose colours whose sorted index is known:
    // entries sorted: (0,0,0)=0, (0,0,1)=1, (0,0,2)=2, (0,0,4)=3, fillers 4..15.
    Image im = filled(8, 1, Rgb{0, 0, 0});
    setPixel(im, 1, 0, Rgb{0, 0, 1});
    setPixel(im, 2, 0, Rgb{0, 0, 2});
    setPixel(im, 3, 0, Rgb{0, 0, 4});
    setPixel(im, 4, 0, Rgb{255, 0, 0});
    std::string file = encodeIlbm(prepared(im));
    // indexes 0 1 2 3 4 0 0 0 -> plane0 0101 0000, plane1 0011 0000, plane2 0000 1000, plane3 0.
    // Width 8 pads each plane row to 2 bytes.
    EXPECT_EQ(hex(file, 186, 8), "5000300008000000");
}

TEST(Ilbm, OddByteRowsArePaddedToEvenBytes) {
    EXPECT_EQ(ilbmRowBytes(8), 2);
    EXPECT_EQ(ilbmRowBytes(16), 2);
    EXPECT_EQ(ilbmRowBytes(24), 4);
    EXPECT_EQ(ilbmRowBytes(720), 90);
    EXPECT_EQ(ilbmBodySize(720, 576), 207360u);
    EXPECT_EQ(ilbmBodySize(24, 10), 160u);
    std::string file = encodeIlbm(prepared(filled(24, 10, Rgb{255, 255, 255})));
    ASSERT_EQ(file.size(), 186u + 160u);
    EXPECT_EQ(be32(file, 4), 160u + 178u);
    EXPECT_EQ(be32(file, 182), 160u);
    // White is entry 15: three data bytes 0xFF and one zero pad byte per plane row.
    EXPECT_EQ(hex(file, 186, 16), "FFFFFF00FFFFFF00FFFFFF00FFFFFF00");
}

TEST(Ilbm, AlphaIsIgnored) {
    Image im(8, 1);  // all (0,0,0,0)
    setPixel(im, 1, 0, Rgb{0, 0, 0}, 255);
    setPixel(im, 2, 0, Rgb{9, 9, 9}, 0);
    IlbmPicture pic = prepared(im);
    EXPECT_EQ(pic.indices[0], pic.indices[1]);
    EXPECT_EQ(pic.palette[pic.indices[2]], (Rgb{9, 9, 9}));
}

TEST(Ilbm, ManyColoursReduceToSixteenWithoutDithering) {
    Image im(256, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 256; ++x) setPixel(im, x, y, Rgb{uint8_t(x), uint8_t(x), uint8_t(255 - x)});
    IlbmPicture pic = prepared(im);
    ASSERT_EQ(pic.indices.size(), size_t(256 * 64));
    std::set<int> used(pic.indices.begin(), pic.indices.end());
    EXPECT_LE(used.size(), 16u);
    EXPECT_GE(used.size(), 8u);
    for (int e : used) ASSERT_LT(e, 16);
    // Without dithering every column is one colour and a gradient maps to
    // colours that only ever step one way along a row.
    for (int x = 0; x < 256; ++x)
        for (int y = 1; y < 64; ++y) ASSERT_EQ(pic.indices[size_t(y * 256 + x)], pic.indices[size_t(x)]);
    for (int x = 1; x < 256; ++x) {
        const Rgb& a = pic.palette[pic.indices[size_t(x - 1)]];
        const Rgb& b = pic.palette[pic.indices[size_t(x)]];
        ASSERT_LE(a.r, b.r) << x;
    }
    // Each used entry is the nearest of the palette to some input: the ends stay close.
    EXPECT_LE(pic.palette[pic.indices[0]].r, 24);
    EXPECT_GE(pic.palette[pic.indices[255]].r, 231);
}

TEST(Ilbm, RefusesWhatItCannotStore) {
    IlbmPicture out;
    std::string error;
    EXPECT_FALSE(prepareIlbmPicture(Image(), out, error));
    EXPECT_FALSE(error.empty());
    IlbmPicture broken;
    broken.width = 16;
    broken.height = 2;
    broken.indices.resize(5);
    EXPECT_TRUE(encodeIlbm(broken).empty());
    EXPECT_FALSE(writeIlbm(broken, "unused.iff").ok);
    EXPECT_FALSE(files::exists("unused.iff"));
}

TEST(Ilbm, IndependentReaderLoadsTheFile) {
    if (std::system("python3 -c 'import struct' >/dev/null 2>&1") != 0) GTEST_SKIP() << "python3 not available";
    namespace fs = std::filesystem;
    const fs::path dir = testsupport::tempPath("kalvero_ilbm_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::create_directories(dir);
    const std::string script = std::string(KALVERO_SOURCE_DIR) + "/tests/export/ilbm_check.py";

    struct Case {
        int w, h;
        bool manyColours;
    };
    for (Case c : {Case{24, 6, false}, Case{48, 16, true}, Case{720, 576, true}}) {
        Image im(c.w, c.h);
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x) {
                Rgb col = c.manyColours ? Rgb{uint8_t(x * 255 / c.w), uint8_t(y * 255 / c.h), uint8_t((x ^ y) & 0x80)}
                                        : Rgb{uint8_t((x % 4) * 60), uint8_t((y % 4) * 40), 7};
                setPixel(im, x, y, col);
            }
        IlbmPicture pic = prepared(im);
        const std::string iff = (dir / "pic.iff").string(), ppm = (dir / "pic.ppm").string();
        ASSERT_TRUE(writeIlbm(pic, iff).ok);
        const std::string cmd = "python3 '" + script + "' '" + iff + "' '" + ppm + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        std::string bytes;
        ASSERT_TRUE(files::readFile(ppm, bytes).ok);
        const std::string head = "P6\n" + std::to_string(c.w) + " " + std::to_string(c.h) + "\n255\n";
        ASSERT_EQ(bytes.substr(0, head.size()), head);
        ASSERT_EQ(bytes.size(), head.size() + size_t(c.w) * size_t(c.h) * 3);
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x) {
                const size_t at = head.size() + (size_t(y) * size_t(c.w) + size_t(x)) * 3;
                const Rgb want = pic.palette[pic.indices[size_t(y) * size_t(c.w) + size_t(x)]];
                const Rgb got{uint8_t(bytes[at]), uint8_t(bytes[at + 1]), uint8_t(bytes[at + 2])};
                ASSERT_EQ(got, want) << c.w << "x" << c.h << " at " << x << "," << y;
                if (!c.manyColours) {
                    const uint8_t* p = im.pixel(x, y);
                    ASSERT_EQ(got, (Rgb{p[0], p[1], p[2]})) << "exact colours must survive";
                }
            }
    }
    // The reader is not a rubber stamp: a cut file is refused.
    std::string whole;
    ASSERT_TRUE(files::readFile((dir / "pic.iff").string(), whole).ok);
    ASSERT_TRUE(files::writeFileAtomic((dir / "cut.iff").string(), whole.substr(0, whole.size() - 2)).ok);
    const std::string cut = "python3 '" + script + "' '" + (dir / "cut.iff").string() + "' '" +
                            (dir / "cut.ppm").string() + "' 2>/dev/null";
    EXPECT_NE(std::system(cut.c_str()), 0);
    fs::remove_all(dir);
}
