#include "imaging/desktop_composition.h"

#include <algorithm>
#include <cstring>

namespace vistrel {

namespace {

bool HasArea(const MonitorRect& m) {
  return m.width > 0 && m.height > 0;
}

// The intersection of two rectangles; no area when they do not meet.
MonitorRect Intersect(const MonitorRect& a, const MonitorRect& b) {
  const std::int64_t left = std::max(a.x, b.x), top = std::max(a.y, b.y);
  const std::int64_t right =
      std::min<std::int64_t>(std::int64_t{a.x} + a.width, std::int64_t{b.x} + b.width);
  const std::int64_t bottom =
      std::min<std::int64_t>(std::int64_t{a.y} + a.height, std::int64_t{b.y} + b.height);
  MonitorRect r;
  r.x = static_cast<std::int32_t>(left);
  r.y = static_cast<std::int32_t>(top);
  r.width = right > left ? static_cast<std::int32_t>(right - left) : 0;
  r.height = bottom > top ? static_cast<std::int32_t>(bottom - top) : 0;
  return r;
}

// Euclidean remainder: the tile column or row a coordinate falls in.
std::int64_t Wrap(std::int64_t value, std::int64_t size) {
  const std::int64_t r = value % size;
  return r < 0 ? r + size : r;
}

}  // namespace

MonitorRect BoundingRect(const std::vector<MonitorRect>& monitors) {
  MonitorRect bounds;
  bool first = true;
  std::int64_t right = 0, bottom = 0;
  for (const MonitorRect& m : monitors) {
    if (!HasArea(m)) continue;
    const std::int64_t m_right = std::int64_t{m.x} + m.width;
    const std::int64_t m_bottom = std::int64_t{m.y} + m.height;
    if (first) {
      bounds.x = m.x;
      bounds.y = m.y;
      right = m_right;
      bottom = m_bottom;
      first = false;
      continue;
    }
    bounds.x = std::min(bounds.x, m.x);
    bounds.y = std::min(bounds.y, m.y);
    right = std::max(right, m_right);
    bottom = std::max(bottom, m_bottom);
  }
  if (first) return bounds;
  // A virtual screen wider than 2^31 pixels is no screen; it comes out empty.
  const std::int64_t width = right - bounds.x, height = bottom - bounds.y;
  if (width > INT32_MAX || height > INT32_MAX) return MonitorRect{};
  bounds.width = static_cast<std::int32_t>(width);
  bounds.height = static_cast<std::int32_t>(height);
  return bounds;
}

std::vector<MonitorRect> DealingOrder(const std::vector<MonitorRect>& monitors) {
  std::vector<MonitorRect> ordered;
  for (const MonitorRect& m : monitors) {
    if (!HasArea(m)) continue;
    const bool seen = std::any_of(ordered.begin(), ordered.end(), [&m](const MonitorRect& o) {
      return o.x == m.x && o.y == m.y && o.width == m.width && o.height == m.height;
    });
    if (!seen) ordered.push_back(m);
  }
  std::stable_sort(ordered.begin(), ordered.end(), [](const MonitorRect& a, const MonitorRect& b) {
    return a.x != b.x ? a.x < b.x : a.y < b.y;
  });
  return ordered;
}

std::vector<std::size_t> AssignPictures(const std::vector<MonitorRect>& ordered,
                                        const std::vector<PictureSize>& pictures,
                                        bool portrait_on_portrait) {
  const std::size_t count = ordered.size();
  std::vector<std::size_t> assigned(count, 0);
  if (pictures.empty()) return assigned;
  std::vector<std::size_t> dealt(count);
  for (std::size_t i = 0; i < count; ++i) dealt[i] = i % pictures.size();
  if (!portrait_on_portrait) return dealt;

  // Portrait pictures to portrait monitors, in order, as far as both last.
  std::vector<bool> monitor_taken(count, false), picture_used(count, false);
  std::size_t next_picture = 0;
  for (std::size_t m = 0; m < count; ++m) {
    if (!ordered[m].IsPortrait()) continue;
    while (next_picture < count && !pictures[dealt[next_picture]].IsPortrait()) ++next_picture;
    if (next_picture == count) break;
    assigned[m] = dealt[next_picture];
    monitor_taken[m] = true;
    picture_used[next_picture++] = true;
  }
  // What is left fills what is left.
  next_picture = 0;
  for (std::size_t m = 0; m < count; ++m) {
    if (monitor_taken[m]) continue;
    while (picture_used[next_picture]) ++next_picture;
    assigned[m] = dealt[next_picture];
    picture_used[next_picture] = true;
  }
  return assigned;
}

DesktopCanvas::DesktopCanvas(const std::vector<MonitorRect>& monitors)
    : bounds_(BoundingRect(monitors)) {
  for (const MonitorRect& m : monitors) {
    if (m.primary && HasArea(m)) {
      primary_x_ = m.x - bounds_.x;
      primary_y_ = m.y - bounds_.y;
      break;
    }
  }
  bitmap_ = TRasterBitmap::CreateDibBitmap(bounds_.width, bounds_.height, TRasterFormat::rf24Bit);
}

void DesktopCanvas::Place(const MonitorRect& area, const MonitorRect& clip, TRasterBitmap& rendered,
                          char style_letter) {
  const TRasterFormat format = rendered.GetFormat();
  if (rendered.IsEmpty() || bitmap_.IsEmpty() ||
      (format != TRasterFormat::rf24Bit && format != TRasterFormat::rf32Bit))
    return;
  const int source_bytes = format == TRasterFormat::rf24Bit ? 3 : 4;
  const MonitorRect drawn = Intersect(Intersect(area, clip), bounds_);
  if (!HasArea(drawn)) return;
  const std::int64_t w = rendered.Width(), h = rendered.Height();
  // Where the picture's top-left pixel lands, in virtual-screen coordinates.
  const bool tile = style_letter == '2';
  const std::int64_t origin_x = tile ? area.x : area.x + (std::int64_t{area.width} - w) / 2;
  const std::int64_t origin_y = tile ? area.y : area.y + (std::int64_t{area.height} - h) / 2;
  for (std::int32_t row = 0; row < drawn.height; ++row) {
    const std::int64_t y = std::int64_t{drawn.y} + row;
    std::int64_t source_y = y - origin_y;
    if (tile) source_y = Wrap(source_y, h);
    if (source_y < 0 || source_y >= h) continue;
    const std::uint8_t* source = rendered.ScanLine(static_cast<std::int32_t>(source_y));
    std::uint8_t* target = bitmap_.ScanLine(static_cast<std::int32_t>(y - bounds_.y));
    for (std::int32_t column = 0; column < drawn.width; ++column) {
      const std::int64_t x = std::int64_t{drawn.x} + column;
      std::int64_t source_x = x - origin_x;
      if (tile) source_x = Wrap(source_x, w);
      if (source_x < 0 || source_x >= w) continue;
      std::memcpy(target + (x - bounds_.x) * 3, source + source_x * source_bytes, 3);
    }
  }
}

TRasterBitmap DesktopCanvas::Finish(DesktopWrap wrap) {
  if (wrap == DesktopWrap::kSpan || (primary_x_ == 0 && primary_y_ == 0)) return std::move(bitmap_);
  // Windows 7 draws tile pixel (u, v) at primary-relative (u, v) plus whole tiles, so the bitmap
  // is turned around by the primary monitor's offset in the virtual screen.
  const std::int32_t width = bitmap_.Width(), height = bitmap_.Height();
  TRasterBitmap turned = TRasterBitmap::CreateForRows(width, height, TRasterFormat::rf24Bit);
  const std::size_t row_bytes = static_cast<std::size_t>(width) * 3;
  const std::size_t split = static_cast<std::size_t>(primary_x_) * 3;
  for (std::int32_t v = 0; v < height; ++v) {
    const std::uint8_t* source =
        bitmap_.ScanLine(static_cast<std::int32_t>(Wrap(std::int64_t{v} + primary_y_, height)));
    std::uint8_t* target = turned.ScanLine(v);
    std::memcpy(target, source + split, row_bytes - split);
    std::memcpy(target + (row_bytes - split), source, split);
  }
  bitmap_ = TRasterBitmap();
  return turned;
}

}  // namespace vistrel
