// The frames the stand-in host serves, in its row layout: generated ones, or
// pictures read from bitmap files, as its options ask; and the bitmap writer
// used for captures.
#include <math.h>
#include <stdio.h>
#include <string.h>

#include "host/host.h"

namespace {

struct Rgb {
    uint8_t r, g, b;
};

size_t Offset(const Picture& picture, int x, int yFromTop) {
    return static_cast<size_t>(picture.height - 1 - yFromTop) * picture.rowBytes + x * 3;
}

void Put(Picture* picture, int x, int yFromTop, Rgb c) {
    uint8_t* p = &picture->pixels[Offset(*picture, x, yFromTop)];
    p[0] = c.b;
    p[1] = c.g;
    p[2] = c.r;
}

Rgb Get(const Picture& picture, int x, int yFromTop) {
    const uint8_t* p = &picture.pixels[Offset(picture, x, yFromTop)];
    return {p[2], p[1], p[0]};
}

// In 64 bits, so that a bitmap file's header cannot make it overflow.
uint64_t PaddedRowBytes(int width) { return (static_cast<uint64_t>(width) * 3 + 3) & ~uint64_t{3}; }

Picture Blank(int width, int height, bool packedRows) {
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.rowBytes = packedRows ? width * 3 : static_cast<int>(PaddedRowBytes(width));
    picture.pixels.assign(static_cast<size_t>(picture.rowBytes) * height, 0);
    return picture;
}

// A detailed source frame: a colour gradient, rings around a point that moves
// with the frame number, a patch of one-pixel stripes and a fine checkerboard
// (which show what magnification does), and one white mark per frame number.
Picture MakeSourceFrame(int frame, int width, int height, bool packedRows) {
    Picture picture = Blank(width, height, packedRows);
    const int ringX = width / 3 + frame * width / 12;
    const int ringY = height / 2;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Rgb c = {static_cast<uint8_t>(x * 255 / width), static_cast<uint8_t>(y * 255 / height),
                     160};
            const int dx = x - ringX;
            const int dy = y - ringY;
            if (static_cast<int>(sqrt(dx * dx + dy * dy)) % 24 < 5) c = {250, 230, 40};
            if (x >= width * 3 / 4 && y >= height * 3 / 4) {
                c = x % 2 ? Rgb{0, 0, 0} : Rgb{255, 255, 255};
            } else if (x >= width * 3 / 4 && y < height / 4) {
                c = (x / 2 + y / 2) % 2 ? Rgb{200, 30, 30} : Rgb{30, 30, 200};
            }
            if (y >= 4 && y < 12 && x >= 4 && x < 4 + 12 * (frame + 1) && (x - 4) % 12 < 8) {
                c = {255, 255, 255};
            }
            Put(&picture, x, y, c);
        }
    }
    return picture;
}

// The source as a visible filter chain shows it: resampled to the filtered
// size, posterized to three levels per channel, red and blue swapped.
Picture MakeFilteredFrame(const Picture& source, int width, int height, bool packedRows) {
    Picture picture = Blank(width, height, packedRows);
    const auto posterize = [](uint8_t v) { return static_cast<uint8_t>(v / 86 * 127); };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb s = Get(source, x * source.width / width, y * source.height / height);
            Put(&picture, x, y, {posterize(s.b), posterize(s.g), posterize(s.r)});
        }
    }
    return picture;
}

uint32_t ReadLe(const uint8_t* p, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | p[i];
    return value;
}

void WriteLe(uint8_t* p, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

std::vector<VideoFrame> MakeEmbeddedFrames(int count, int sourceWidth, int sourceHeight,
                                           int filteredWidth, int filteredHeight, bool packedRows) {
    std::vector<VideoFrame> frames;
    for (int frame = 0; frame < count; ++frame) {
        VideoFrame video;
        video.source = MakeSourceFrame(frame, sourceWidth, sourceHeight, packedRows);
        video.filtered = MakeFilteredFrame(video.source, filteredWidth, filteredHeight, packedRows);
        frames.push_back(video);
    }
    return frames;
}

// Reads an uncompressed 24-bit bitmap into rows of the host's layout.
bool ReadBmp(const char* path, bool packedRows, Picture* picture, std::string* error) {
    FILE* file = fopen(path, "rb");
    if (!file) {
        *error = std::string("cannot open ") + path;
        return false;
    }
    std::vector<uint8_t> data;
    uint8_t chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) data.insert(data.end(), chunk, chunk + n);
    fclose(file);

    if (data.size() < 54 || data[0] != 'B' || data[1] != 'M' || ReadLe(&data[30], 4) != 0 ||
        ReadLe(&data[28], 2) != 24) {
        *error = std::string(path) + ": not an uncompressed 24-bit bitmap";
        return false;
    }
    const int width = static_cast<int32_t>(ReadLe(&data[18], 4));
    const int32_t rawHeight = static_cast<int32_t>(ReadLe(&data[22], 4));
    const int height = rawHeight < 0 ? -rawHeight : rawHeight;
    const size_t offset = ReadLe(&data[10], 4);
    if (width <= 0 || height <= 0 || offset + PaddedRowBytes(width) * height > data.size()) {
        *error = std::string(path) + ": the size must be positive, the file complete";
        return false;
    }
    // The file's rows are padded to 4 bytes whatever the host's layout.
    const size_t fileRowBytes = static_cast<size_t>(PaddedRowBytes(width));
    *picture = Blank(width, height, packedRows);
    for (int row = 0; row < height; ++row) {
        const int yFromTop = rawHeight < 0 ? row : height - 1 - row;
        memcpy(&picture->pixels[Offset(*picture, 0, yFromTop)], &data[offset + row * fileRowBytes],
               width * 3);
    }
    return true;
}

}  // namespace

bool LoadFrames(const Options& options) {
    if (options.sourceBmp || options.filteredBmp) {
        VideoFrame frame;
        std::string error;
        if (!options.sourceBmp || !options.filteredBmp ||
            !ReadBmp(options.sourceBmp, options.packedRows, &frame.source, &error) ||
            !ReadBmp(options.filteredBmp, options.packedRows, &frame.filtered, &error)) {
            fprintf(stderr, "%s\n",
                    error.empty() ? "--source and --filtered go together" : error.c_str());
            return false;
        }
        host.frames.push_back(frame);
        return true;
    }
    const int filteredWidth = options.filteredWidth ? options.filteredWidth : options.sourceWidth;
    const int filteredHeight =
        options.filteredHeight ? options.filteredHeight : options.sourceHeight;
    if (!options.sourceWidth || !options.sourceHeight || !filteredWidth || !filteredHeight) {
        fprintf(stderr, "frame sizes must be positive\n");
        return false;
    }
    host.frames = MakeEmbeddedFrames(options.frameCount, options.sourceWidth, options.sourceHeight,
                                     filteredWidth, filteredHeight, options.packedRows);
    return true;
}

std::vector<uint8_t> BitmapRows(const Picture& picture) {
    if (static_cast<uint64_t>(picture.rowBytes) == PaddedRowBytes(picture.width)) {
        return picture.pixels;
    }
    Picture padded = Blank(picture.width, picture.height, false);
    for (int y = 0; y < picture.height; ++y) {
        memcpy(&padded.pixels[Offset(padded, 0, y)], &picture.pixels[Offset(picture, 0, y)],
               picture.width * 3);
    }
    return padded.pixels;
}

bool WriteBmp(const char* path, int width, int height, const uint8_t* rows) {
    const size_t pixelBytes = static_cast<size_t>(PaddedRowBytes(width) * height);
    uint8_t header[54] = {'B', 'M'};
    WriteLe(&header[2], static_cast<uint32_t>(54 + pixelBytes), 4);
    WriteLe(&header[10], 54, 4);
    WriteLe(&header[14], 40, 4);
    WriteLe(&header[18], width, 4);
    WriteLe(&header[22], height, 4);
    WriteLe(&header[26], 1, 2);
    WriteLe(&header[28], 24, 2);
    FILE* file = fopen(path, "wb");
    if (!file) return false;
    const bool written = fwrite(header, 1, sizeof header, file) == sizeof header &&
                         fwrite(rows, 1, pixelBytes, file) == pixelBytes;
    return fclose(file) == 0 && written;
}
