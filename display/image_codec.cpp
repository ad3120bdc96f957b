#include "display/image_codec.h"

#include <cctype>

#include "display/codecs/mip_chain.h"
#include "platform/files.h"

namespace display {

ImageFormat imageFormatForName(std::string_view fileName) {
  auto endsWith = [&](std::string_view ending) {
    if (fileName.size() < ending.size()) return false;
    for (size_t i = 0; i < ending.size(); ++i)
      if (std::tolower(static_cast<unsigned char>(fileName[fileName.size() - ending.size() + i])) != ending[i]) return false;
    return true;
  };
  // The four-letter spellings name the same formats; users meet them as often as the short ones.
  if (endsWith(".tiff")) return ImageFormat::kTiff;
  if (endsWith(".jpeg")) return ImageFormat::kJpeg;
  if (fileName.size() < 3) return ImageFormat::kNone;
  std::string ending(fileName.substr(fileName.size() - 3));
  for (char& c : ending) c = char(std::tolower(static_cast<unsigned char>(c)));
  if (ending == "bmp" || ending == "rle" || ending == "dib") return ImageFormat::kBmp;
  if (ending == "jpg") return ImageFormat::kJpeg;
  if (ending == "png") return ImageFormat::kPng;
  if (ending == "tga") return ImageFormat::kTarga;
  if (ending == "tif") return ImageFormat::kTiff;
  if (ending == "pcx") return ImageFormat::kPcx;
  if (ending == "psd") return ImageFormat::kPsd;
  if (ending == "dds") return ImageFormat::kDds;
  return ImageFormat::kNone;
}

Surface surfaceFromImage(const codecs::DecodedImage& image, int bitsPerPixel) {
  Surface surface(image.width, image.height, bitsPerPixel);
  for (int y = 0; y < image.height; ++y) {
    const uint32_t* src = image.row(y);
    for (int x = 0; x < image.width; ++x) surface.setColour(x, y, src[x] & 0xFFFFFF);
  }
  return surface;
}

codecs::DecodedImage imageFromSurface(const Surface& surface) {
  codecs::DecodedImage image(surface.width, surface.height);
  for (int y = 0; y < surface.height; ++y)
    for (int x = 0; x < surface.width; ++x) image.at(x, y) = 0xFF000000u | surface.colour(x, y);
  return image;
}

codecs::DecodeResult ImageCodec::decodeFile(const std::string& path) {
  const ImageFormat format = imageFormatForName(path);
  if (format == ImageFormat::kNone) return codecs::DecodeResult::fail("the file name's ending is not an image format");
  std::string contents;
  if (!platform::readFile(path, contents)) {
    if (format == ImageFormat::kDds && detailCode_) *detailCode_ = 10001;
    return codecs::DecodeResult::fail("the file cannot be opened");
  }
  const codecs::Bytes data(reinterpret_cast<const uint8_t*>(contents.data()), contents.size());
  switch (format) {
    case ImageFormat::kBmp: return codecs::decodeBmp(data);
    case ImageFormat::kJpeg: return codecs::decodeJpeg(data);
    case ImageFormat::kPng: return codecs::decodePng(data);
    case ImageFormat::kTarga: return codecs::decodeTga(data);
    case ImageFormat::kTiff: return codecs::decodeTiff(data);
    case ImageFormat::kPcx: return codecs::decodePcx(data);
    case ImageFormat::kPsd: return codecs::decodePsd(data);
    case ImageFormat::kDds: {
      int code = 0;
      auto result = codecs::decodeDds(data, code);
      if (detailCode_) *detailCode_ = code;
      return result;
    }
    case ImageFormat::kNone: break;
  }
  return codecs::DecodeResult::fail("unknown format");
}

std::optional<Surface> ImageCodec::read(const std::string& path, int bitsPerPixel) {
  auto result = decodeFile(path);
  if (!result.ok()) {
    lastError_ = path + ": " + result.error;
    return std::nullopt;
  }
  lastError_.clear();
  return surfaceFromImage(result.image, bitsPerPixel);
}

bool ImageCodec::write(const Surface& surface, const std::string& path) {
  if (surface.empty()) {
    lastError_ = path + ": the picture is empty";
    return false;
  }
  return writeImage(imageFromSurface(surface), path);
}

bool ImageCodec::writeImage(const codecs::DecodedImage& image, const std::string& path) {
  std::string bytes, error;
  bool encoded = false;
  switch (imageFormatForName(path)) {
    case ImageFormat::kBmp: encoded = codecs::encodeBmp(image, bytes, error); break;
    case ImageFormat::kJpeg: encoded = codecs::encodeJpeg(image, bytes, error); break;
    case ImageFormat::kPng: encoded = codecs::encodePng(image, bytes, error); break;
    case ImageFormat::kTarga: encoded = codecs::encodeTga(image, bytes, error); break;
    case ImageFormat::kDds: encoded = codecs::encodeDds(image, bytes, error); break;
    default: error = "images cannot be saved in this format (use bmp, jpg, png, tga or dds)"; break;
  }
  if (encoded && !image.empty() && platform::writeFileAtomically(path, bytes, &error)) {
    lastError_.clear();
    return true;
  }
  lastError_ = path + ": " + (error.empty() ? std::string("the picture is empty") : error);
  return false;
}

std::optional<MipTexture> ImageCodec::makeMipMappedTexture(const Surface& surface, char letter, bool compress) {
  if (surface.empty()) {
    lastError_ = "the picture is empty";
    return std::nullopt;
  }
  const int count = codecs::mipLevelCount(surface.width, surface.height);
  auto levels = codecs::buildMipChain(imageFromSurface(surface), surface.width, surface.height, std::max(count, 1));
  MipTexture texture;
  if (compress) texture.pixelFormat = std::string("DXT") + letter;
  for (const auto& level : levels) texture.levels.push_back(surfaceFromImage(level, surface.bitsPerPixel()));
  return texture;
}

}  // namespace display
