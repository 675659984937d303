// One decoded picture for the skin, the device pictures and the About page: a small
// layer over QImage that offers the operations the drawing code was written against.
#pragma once

#include <QImage>
#include <cstdint>
#include <string>

class QPainter;

namespace morvane {

// Type hints of Load and Create. Loading with the BMP hint still reads any format that
// Qt recognises from the file's content (the device pictures are JPEG).
enum class ImageType : int { Unknown = 0, Bmp = 1 };

// One pixel as GetPixelColor gives it.
struct RgbQuad {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    std::uint8_t reserved = 0;

    bool operator==(const RgbQuad&) const = default;
};

class Image {
public:
    Image() = default;

    // Decodes the file at path (UTF-8). On failure the image is left empty.
    bool Load(const std::string& path, ImageType hint = ImageType::Bmp);
    bool IsValid() const { return !m_image.isNull(); }
    std::uint32_t GetWidth() const { return static_cast<std::uint32_t>(m_image.width()); }
    std::uint32_t GetHeight() const { return static_cast<std::uint32_t>(m_image.height()); }

    // A black image of the given size. Only 24 bits per pixel is offered; a zero or
    // impossible size leaves the image empty and returns false.
    bool Create(std::uint32_t width, std::uint32_t height, std::uint32_t bits_per_pixel = 24,
                ImageType type = ImageType::Bmp);

    // Pixels are addressed from the top-left corner. Outside the image GetPixelColor gives
    // black and SetPixelColor does nothing.
    RgbQuad GetPixelColor(std::int32_t x, std::int32_t y) const;
    // colour is 0x00BBGGRR: red in the low byte.
    void SetPixelColor(std::int32_t x, std::int32_t y, std::uint32_t colour);

    // The whole picture as a raster that painters and block copies take as their source.
    // Always opaque 32-bit (QImage::Format_RGB32); null while the image is empty.
    const QImage& MakeBitmap() const { return m_image; }

    // Draws the whole image unscaled with its top-left corner at (x, y).
    void Blt(QPainter& painter, int x, int y) const;
    // As Blt; a width or height other than -1 stretches to that size, without smoothing.
    void Draw(QPainter& painter, int x, int y, int width = -1, int height = -1) const;

    // Multi-frame files are read as their first frame, so there are no further frames to
    // free; like Destroy it leaves the image empty, so callers may keep the usual pair.
    void DestroyFrames() { Destroy(); }
    void Destroy() { m_image = QImage(); }

private:
    QImage m_image;
};

} // namespace morvane
