// Which reader decodes which image file: the extension table of the applier.
#pragma once

#include <string>
#include <vector>

#include "imaging/raster_bitmap.h"
#include "imaging/screen_render.h"

namespace vistrel {

// From the last "." anywhere in the path to its end, A to Z lowered; empty without a ".".
std::string ImageExtension(const std::string& path);

// The extensions a reader exists for, lower case with their dot, in the table's order: what the
// window lists a folder by and accepts when dropped.
std::vector<std::string> ImageExtensions();

// True when a reader exists for the path's extension.
bool IsSupportedImage(const std::string& path);

// Decodes the file with the reader for its extension. An unsupported extension, a missing file
// or an undecodable picture give an empty bitmap; readers that reject a damaged file throw
// Exception with their message.
TRasterBitmap DecodeImageFile(const std::string& path);

// The picture as the style shows it on a screen of that size (ScreenGeometry), in blue, green,
// red; DecodeImageFile's picture where the style keeps the picture's own pixels or the screen is
// unknown. Empty and raising as DecodeImageFile. A JPEG is decoded at the smallest DCT scale
// that still covers the screen, its rows resampled as they are decoded.
TRasterBitmap RenderImageFile(const std::string& path, char style_letter, ScreenSize screen);

}  // namespace vistrel
