#include "app/logic/image_files.h"

#include "imaging/data_stream.h"
#include "imaging/gif_reader.h"
#include "imaging/jpeg_picture.h"
#include "imaging/png_reader.h"
#include "imaging/psd_reader.h"
#include "imaging/webp_reader.h"

namespace vistrel {

namespace {

TRasterBitmap DecodeBmp(const std::string& path) {
  TRasterBitmap bitmap = TRasterBitmap::CreateDeviceBitmap(10, 10);
  bitmap.LoadFromFile(path);
  return bitmap;
}

// As LoadFromFile and Bitmap, without holding the file in memory.
TRasterBitmap DecodeJpeg(const std::string& path) {
  TJpegPicture picture;
  return picture.DecodeFile(path);
}

// The readers that raise on a damaged file: a read stream handed to LoadFromStream.
template <class Reader>
TRasterBitmap DecodeWithReader(const std::string& path) {
  Reader reader;
  std::unique_ptr<TDataStream> stream = OpenReadFileStream(path);
  reader.LoadFromStream(*stream);
  return reader.Bitmap ? std::move(*reader.Bitmap) : TRasterBitmap();
}

struct ImageKind {
  const char* extension;
  TRasterBitmap (*decode)(const std::string& path);
};

// One row per reader; the first matching row decodes.
const ImageKind kImageKinds[] = {
    {".bmp", DecodeBmp},
    {".jpg", DecodeJpeg},
    // The window offers and accepts .jpeg files, so they are applied like .jpg ones.
    {".jpeg", DecodeJpeg},
    {".gif", DecodeWithReader<TGIFGraphic>},
    {".png", DecodeWithReader<TPNGGraphic>},
    {".psd", DecodeWithReader<TPSDGraphic>},
    {".webp", DecodeWithReader<TWebPGraphic>},
};

const ImageKind* KindFor(const std::string& path) {
  std::string extension = ImageExtension(path);
  for (const ImageKind& kind : kImageKinds)
    if (extension == kind.extension) return &kind;
  return nullptr;
}

}  // namespace

std::string ImageExtension(const std::string& path) {
  std::size_t dot = path.rfind('.');
  if (dot == std::string::npos) return std::string();
  std::string extension = path.substr(dot);
  for (char& c : extension)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return extension;
}

std::vector<std::string> ImageExtensions() {
  std::vector<std::string> extensions;
  for (const ImageKind& kind : kImageKinds) extensions.emplace_back(kind.extension);
  return extensions;
}

bool IsSupportedImage(const std::string& path) {
  return KindFor(path) != nullptr;
}

TRasterBitmap DecodeImageFile(const std::string& path) {
  const ImageKind* kind = KindFor(path);
  if (!kind) return TRasterBitmap();
  return kind->decode(path);
}

}  // namespace vistrel
