// Draws the panel skin (260 x 160) and writes it as an 8-bit BMP file with
// a palette of exactly the colours drawn (a third of the 24-bit size), so
// the resource is made from this description at every build instead of
// being kept as an opaque binary.
//
//   make_skin OUTPUT.bmp
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int kWidth = 260;
constexpr int kHeight = 160;

struct Rgb {
    int r, g, b;
};

constexpr Rgb kFrame{80, 157, 219};
constexpr Rgb kWhite{255, 255, 255};

struct Stop {
    int row;
    Rgb colour;
};

// Title band, rows 1 to 22: light at the top, deep blue at its bottom.
constexpr Stop kBand[] = {{1, {213, 237, 252}}, {11, {173, 209, 238}}, {22, {88, 163, 221}}};
// Body, rows 25 to 157, inside the white inner frame.
constexpr Stop kBody[] = {
    {25, {232, 245, 254}}, {100, {195, 229, 251}}, {140, {186, 225, 250}}, {157, {222, 241, 254}}};

class Canvas {
public:
    Canvas() : m_pixels(kWidth * kHeight, Rgb{0, 0, 0}) {}

    void Set(int x, int y, Rgb c) {
        if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) return;
        m_pixels[y * kWidth + x] = c;
    }
    Rgb Get(int x, int y) const { return m_pixels[y * kWidth + x]; }
    static bool Same(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

    // Mixes `c` into the pixel by `amount` (0 keeps the pixel, 1 replaces it).
    void Blend(int x, int y, Rgb c, double amount) {
        if (x < 0 || y < 0 || x >= kWidth || y >= kHeight || amount <= 0) return;
        Rgb p = Get(x, y);
        auto mix = [amount](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * amount)); };
        Set(x, y, Rgb{mix(p.r, c.r), mix(p.g, c.g), mix(p.b, c.b)});
    }

    // Fails when more than 256 colours were drawn: the pixels must come
    // out exactly as drawn.
    bool WriteBmp(const char* path) const {
        std::vector<Rgb> palette;
        std::vector<uint8_t> indices;
        indices.reserve(m_pixels.size());
        for (const Rgb& p : m_pixels) {
            size_t i = 0;
            while (i < palette.size() && !Same(palette[i], p)) ++i;
            if (i == palette.size()) {
                if (palette.size() == 256) return false;
                palette.push_back(p);
            }
            indices.push_back(static_cast<uint8_t>(i));
        }
        const uint32_t rowBytes = (kWidth + 3) & ~3u;
        const uint32_t imageBytes = rowBytes * kHeight;
        const uint32_t bitsOffset = 14 + 40 + 4 * static_cast<uint32_t>(palette.size());
        std::vector<uint8_t> file;
        auto u16 = [&file](uint32_t v) {
            file.push_back(v & 0xFF);
            file.push_back((v >> 8) & 0xFF);
        };
        auto u32 = [&u16](uint32_t v) {
            u16(v & 0xFFFF);
            u16(v >> 16);
        };
        // BITMAPFILEHEADER
        u16(0x4D42);
        u32(bitsOffset + imageBytes);
        u32(0);
        u32(bitsOffset);
        // BITMAPINFOHEADER, bottom-up rows, no compression
        u32(40);
        u32(kWidth);
        u32(kHeight);
        u16(1);
        u16(8);
        u32(0);
        u32(imageBytes);
        u32(2835);  // 72 dpi, as most tools write
        u32(2835);
        u32(static_cast<uint32_t>(palette.size()));
        u32(0);
        for (const Rgb& c : palette) {
            file.push_back(static_cast<uint8_t>(c.b));
            file.push_back(static_cast<uint8_t>(c.g));
            file.push_back(static_cast<uint8_t>(c.r));
            file.push_back(0);
        }
        for (int y = kHeight - 1; y >= 0; --y) {
            file.insert(file.end(), indices.begin() + y * kWidth, indices.begin() + (y + 1) * kWidth);
            for (uint32_t pad = kWidth; pad < rowBytes; ++pad) file.push_back(0);
        }
        std::FILE* out = std::fopen(path, "wb");
        if (!out) return false;
        const bool ok = std::fwrite(file.data(), 1, file.size(), out) == file.size();
        return std::fclose(out) == 0 && ok;
    }

private:
    std::vector<Rgb> m_pixels;
};

template <size_t N>
Rgb Gradient(const Stop (&stops)[N], int row) {
    if (row <= stops[0].row) return stops[0].colour;
    for (size_t i = 1; i < N; ++i) {
        if (row > stops[i].row) continue;
        const Stop& a = stops[i - 1];
        const Stop& b = stops[i];
        const double t = static_cast<double>(row - a.row) / (b.row - a.row);
        auto mix = [t](int p, int q) { return static_cast<int>(std::lround(p + (q - p) * t)); };
        return Rgb{mix(a.colour.r, b.colour.r), mix(a.colour.g, b.colour.g), mix(a.colour.b, b.colour.b)};
    }
    return stops[N - 1].colour;
}

// 5 x 7 glyphs of the caption's letters, one bit per pixel, top row first.
struct Glyph {
    char letter;
    uint8_t rows[7];
};
constexpr Glyph kGlyphs[] = {
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
};

void DrawCaption(Canvas& c, const char* text, int left, int top, int scale) {
    int x = left;
    for (const char* p = text; *p; ++p) {
        for (const Glyph& g : kGlyphs) {
            if (g.letter != *p) continue;
            for (int row = 0; row < 7; ++row)
                for (int col = 0; col < 5; ++col)
                    if (g.rows[row] & (0x10 >> col))
                        for (int dy = 0; dy < scale; ++dy)
                            for (int dx = 0; dx < scale; ++dx)
                                c.Set(x + col * scale + dx, top + row * scale + dy, kWhite);
        }
        x += 5 * scale + 3;
    }
}

void DrawCloseBox(Canvas& c) {
    const int left = 237, top = 4, size = 16;
    for (int i = 0; i < size; ++i) {
        c.Set(left + i, top, kWhite);
        c.Set(left + i, top + size - 1, kWhite);
        c.Set(left, top + i, kWhite);
        c.Set(left + size - 1, top + i, kWhite);
    }
    for (int i = 4; i < size - 4; ++i) {
        c.Set(left + i, top + i, kWhite);
        c.Set(left + i + 1, top + i, kWhite);
        c.Set(left + size - 1 - i, top + i, kWhite);
        c.Set(left + size - 2 - i, top + i, kWhite);
    }
}

// A faint "i" in a ring on the right half of the body, mixed towards white.
void DrawWatermark(Canvas& c) {
    const double cx = 200, cy = 95, outer = 44, inner = 36;
    for (int y = 26; y < 157; ++y) {
        for (int x = 131; x < 258; ++x) {
            // 4 x 4 samples per pixel smooth the edges.
            int inside = 0;
            for (int sy = 0; sy < 4; ++sy) {
                for (int sx = 0; sx < 4; ++sx) {
                    const double px = x + (sx + 0.5) / 4, py = y + (sy + 0.5) / 4;
                    const double d = std::hypot(px - cx, py - cy);
                    const bool ring = d <= outer && d >= inner;
                    const bool dot = std::hypot(px - cx, py - (cy - 17)) <= 5;
                    const bool stem = std::fabs(px - cx) <= 4.5 && py >= cy - 6 && py <= cy + 22;
                    if (ring || dot || stem) ++inside;
                }
            }
            c.Blend(x, y, kWhite, 0.45 * inside / 16.0);
        }
    }
}

void DrawSkin(Canvas& c) {
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) c.Set(x, y, kFrame);
    for (int y = 1; y <= 22; ++y)
        for (int x = 1; x < kWidth - 1; ++x) c.Set(x, y, Gradient(kBand, y));
    // Row 23 stays in the frame colour. Rows 24 to 158: white inner frame.
    for (int y = 24; y <= 158; ++y)
        for (int x = 1; x < kWidth - 1; ++x) {
            const bool edge = y == 24 || y == 158 || x == 1 || x == kWidth - 2;
            c.Set(x, y, edge ? kWhite : Gradient(kBody, y));
        }
    DrawWatermark(c);
    DrawCaption(c, "TIPS", 12, 5, 2);
    DrawCloseBox(c);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_skin OUTPUT.bmp\n");
        return 2;
    }
    Canvas canvas;
    DrawSkin(canvas);
    if (!canvas.WriteBmp(argv[1])) {
        std::fprintf(stderr, "make_skin: cannot write %s (or more than 256 colours)\n", argv[1]);
        return 1;
    }
    return 0;
}
