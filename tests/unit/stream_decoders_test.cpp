#include "imaging/stream_decoders.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "common/exception.h"

namespace vistrel {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Unpacks with the given decoder into a buffer of `wanted` bytes pre-filled with 0xEE, so bytes
// the decoder did not write stay visible.
Bytes Decode(TDecoder& decoder, const Bytes& in, std::int32_t wanted, std::int32_t packed = -1) {
  Bytes out(static_cast<std::size_t>(wanted), 0xEE);
  const std::uint8_t* source = in.data();
  std::uint8_t* dest = out.data();
  decoder.Unpack(source, dest, packed < 0 ? static_cast<std::int32_t>(in.size()) : packed, wanted);
  EXPECT_EQ(source, in.data()) << "only the deflate decoder moves the caller's addresses";
  EXPECT_EQ(dest, out.data());
  return out;
}

TEST(PackBits, LiteralRepeatAndNoOpRuns) {
  TPackBitsDecoder d;
  EXPECT_EQ(Decode(d, {0x02, 0x41, 0x42, 0x43}, 3), (Bytes{0x41, 0x42, 0x43}));
  EXPECT_EQ(Decode(d, {0xFE, 0x41}, 3), (Bytes{0x41, 0x41, 0x41}));
  EXPECT_EQ(Decode(d, {0x80}, 2), (Bytes{0xEE, 0xEE})) << "0x80 is skipped";
  EXPECT_EQ(Decode(d, {0x80, 0x00, 0x07, 0xFF, 0x09}, 3), (Bytes{0x07, 0x09, 0x09}));
}

TEST(PackBits, RunsAreCutToTheOutput) {
  TPackBitsDecoder d;
  // A literal of 4 with room for 2; a repeat of 128 with room for 2.
  EXPECT_EQ(Decode(d, {0x03, 1, 2, 3, 4}, 2), (Bytes{1, 2}));
  EXPECT_EQ(Decode(d, {0x81, 0x55}, 2), (Bytes{0x55, 0x55}));
  // A literal longer than the input is cut to the input.
  EXPECT_EQ(Decode(d, {0x05, 1, 2}, 4), (Bytes{1, 2, 0xEE, 0xEE}));
  // packedSize is obeyed even when more bytes follow in memory.
  EXPECT_EQ(Decode(d, {0x00, 7, 0x00, 8}, 2, 2), (Bytes{7, 0xEE}));
}

TEST(PackBits, RepeatHeaderAtTheEndOfTheInputEndsTheCall) {
  TPackBitsDecoder d;
  EXPECT_EQ(Decode(d, {0x00, 9, 0xFD}, 4), (Bytes{9, 0xEE, 0xEE, 0xEE}));
  EXPECT_EQ(Decode(d, {0xFD, 3}, 4), (Bytes{3, 3, 3, 3}));
}

TEST(PackBits, NegativeCountsCountAsZero) {
  TPackBitsDecoder d;
  Bytes in = {0x00, 5};
  Bytes out(2, 0xEE);
  const std::uint8_t* source = in.data();
  std::uint8_t* dest = out.data();
  d.Unpack(source, dest, -1, 2);
  d.Unpack(source, dest, 2, -1);
  EXPECT_EQ(out, (Bytes{0xEE, 0xEE}));
}

// Packs codes least significant bit first, each with its own width.
Bytes PackCodes(const std::vector<std::pair<unsigned, unsigned>>& codes) {
  Bytes out;
  std::uint32_t buffer = 0, count = 0;
  for (auto [code, width] : codes) {
    buffer |= code << count;
    count += width;
    while (count >= 8) {
      out.push_back(static_cast<std::uint8_t>(buffer));
      buffer >>= 8;
      count -= 8;
    }
  }
  if (count > 0) out.push_back(static_cast<std::uint8_t>(buffer));
  return out;
}

TEST(Lzw, CodesWidenRightAfterTheLastCodeOfTheOldWidthIsDefined) {
  // Start code size 2: clear 4, end 5, first free 6. Code 2 defines entry 7, so code 3 and the
  // end code are 4 bits wide.
  TLzwDecoder d(2);
  Bytes in = PackCodes({{4, 3}, {0, 3}, {1, 3}, {2, 3}, {3, 4}, {5, 4}});
  EXPECT_EQ(Decode(d, in, 5), (Bytes{0, 1, 2, 3, 0xEE}));
}

TEST(Lzw, KwKwKCodeRepeatsThePreviousStringPlusItsFirstByte) {
  TLzwDecoder d(2);
  // 1, then 6 (the entry being defined) = "1 1", then 7 = "1 1 1" (also being defined).
  Bytes in = PackCodes({{4, 3}, {1, 3}, {6, 3}, {7, 3}, {5, 4}});
  EXPECT_EQ(Decode(d, in, 7), (Bytes{1, 1, 1, 1, 1, 1, 0xEE}));
  // A defined entry followed by its own extension: 0 1 (6 = "0 1") 6 (7 = "1 0") 8 (KwKwK of 6).
  in = PackCodes({{4, 3}, {0, 3}, {1, 3}, {6, 3}, {8, 4}, {5, 4}});
  EXPECT_EQ(Decode(d, in, 8), (Bytes{0, 1, 0, 1, 0, 1, 0, 0xEE}));
}

TEST(Lzw, DataAfterAnEndCodeIsStillDecoded) {
  TLzwDecoder d(2);
  // clear, 1, end, 2: the 2 sits behind the end code in the second byte and waits for a third.
  Bytes in = PackCodes({{4, 3}, {1, 3}, {5, 3}, {2, 3}});
  ASSERT_EQ(in.size(), 2u);
  EXPECT_EQ(Decode(d, in, 2), (Bytes{1, 0xEE}));
  in.push_back(0);
  EXPECT_EQ(Decode(d, in, 2), (Bytes{1, 2}));
}

TEST(Lzw, CodeBeyondTheNextFreeOneDelaysTheRestOfItsByte) {
  TLzwDecoder d(2);
  // 7 is above the next free code 6; the codes after it in the same byte are decoded only
  // once another byte arrives.
  Bytes in = PackCodes({{4, 3}, {1, 3}, {7, 3}, {2, 3}, {3, 3}});
  ASSERT_EQ(in.size(), 2u);
  EXPECT_EQ(Decode(d, in, 3), (Bytes{1, 0xEE, 0xEE}));
  in.push_back(0);
  EXPECT_EQ(Decode(d, in, 3), (Bytes{1, 2, 3}));
}

TEST(Lzw, FirstCodeThatIsNoRootYieldsNothing) {
  TLzwDecoder d(2);
  Bytes in = PackCodes({{4, 3}, {6, 3}, {2, 3}, {6, 3}, {5, 3}});
  EXPECT_EQ(Decode(d, in, 4), (Bytes{2, 2, 2, 0xEE}));
  // Without a leading clear code as well.
  in = PackCodes({{6, 3}, {3, 3}, {5, 3}});
  EXPECT_EQ(Decode(d, in, 2), (Bytes{3, 0xEE}));
}

TEST(Lzw, ClearCodeRestartsTheTableAndTheWidth) {
  TLzwDecoder d(2);
  // After entry 7 codes are 4 bits; a clear brings them back to 3 and 6 is free again.
  Bytes in = PackCodes({{4, 3}, {0, 3}, {1, 3}, {2, 3}, {4, 4}, {3, 3}, {6, 3}, {5, 3}});
  EXPECT_EQ(Decode(d, in, 6), (Bytes{0, 1, 2, 3, 3, 3}));
}

TEST(Lzw, StartCodeSizeAboveElevenYieldsNothing) {
  TLzwDecoder big(12);
  EXPECT_EQ(Decode(big, Bytes(16, 0), 4), Bytes(4, 0xEE));
  TLzwDecoder eleven(11);  // 12-bit codes from the start; roots keep their low byte
  EXPECT_EQ(Decode(eleven, PackCodes({{2048, 12}, {0x123, 12}, {2049, 12}}), 2),
            (Bytes{0x23, 0xEE}));
}

// A plain GIF-style LZW encoder, independent of the decoder: a dictionary of strings. With
// clear_when_full it sends a clear code when the table is full; otherwise it keeps coding with
// the full table.
Bytes LzwEncode(const Bytes& data, unsigned min_code_size, bool clear_when_full) {
  const unsigned clear = 1u << min_code_size, end = clear + 1;
  std::vector<std::pair<unsigned, unsigned>> codes;
  std::map<std::pair<unsigned, std::uint8_t>, unsigned> table;
  unsigned width = min_code_size + 1, next = clear + 2;
  auto reset = [&] {
    table.clear();
    width = min_code_size + 1;
    next = clear + 2;
  };
  codes.push_back({clear, width});
  if (data.empty()) {
    codes.push_back({end, width});
    return PackCodes(codes);
  }
  unsigned current = data[0];
  for (std::size_t i = 1; i < data.size(); ++i) {
    auto found = table.find({current, data[i]});
    if (found != table.end()) {
      current = found->second;
      continue;
    }
    codes.push_back({current, width});
    if (next < 4096) {
      table[{current, data[i]}] = next++;
      if (next - 1 == (1u << width) && width < 12) ++width;
    } else if (clear_when_full) {
      codes.push_back({clear, width});
      reset();
    }
    current = data[i];
  }
  codes.push_back({current, width});
  codes.push_back({end, width});
  return PackCodes(codes);
}

TEST(Lzw, RoundTripsWithAnIndependentEncoder) {
  std::mt19937 random(7);
  for (unsigned min_code_size : {2u, 3u, 4u, 8u}) {
    for (bool clear_when_full : {true, false}) {
      // Long runs and few symbols fill the table quickly, several times over.
      Bytes data;
      while (data.size() < 60000) {
        std::uint8_t value = static_cast<std::uint8_t>(random() % (1u << min_code_size));
        std::size_t run = 1 + random() % 12;
        data.insert(data.end(), run, value);
      }
      Bytes packed = LzwEncode(data, min_code_size, clear_when_full);
      TLzwDecoder d(static_cast<std::uint8_t>(min_code_size));
      Bytes out = Decode(d, packed, static_cast<std::int32_t>(data.size()));
      EXPECT_EQ(out, data) << "code size " << min_code_size << " clear " << clear_when_full;
    }
  }
}

TEST(Lzw, GarbageNeverWritesPastTheOutput) {
  std::mt19937 random(11);
  for (int round = 0; round < 200; ++round) {
    Bytes in(1 + random() % 3000);
    for (auto& b : in) b = static_cast<std::uint8_t>(random());
    std::int32_t wanted = static_cast<std::int32_t>(random() % 5000);
    TLzwDecoder d(static_cast<std::uint8_t>(random() % 12));
    Bytes out = Decode(d, in, wanted);  // the sanitizers watch the bounds
    EXPECT_EQ(out.size(), static_cast<std::size_t>(wanted));
  }
}

Bytes ZlibCompress(const Bytes& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  Bytes out(size);
  EXPECT_EQ(compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 9), Z_OK);
  out.resize(size);
  return out;
}

Bytes SomeData(std::size_t n) {
  Bytes data(n);
  for (std::size_t i = 0; i < n; ++i) data[i] = static_cast<std::uint8_t>((i * i) >> 3);
  return data;
}

TEST(Deflate, InflatesInPiecesAndAdvancesTheAddresses) {
  Bytes data = SomeData(5000);
  Bytes packed = ZlibCompress(data);
  TDeflateDecoder d(Z_PARTIAL_FLUSH, false);
  d.PrepareUnpack();
  Bytes out(data.size() + 16, 0xEE);
  std::uint8_t* dest = out.data();
  std::size_t offset = 0;
  // 7 input bytes at a time, at most 100 output bytes per call.
  while (d.InflateStatus() == Z_OK && offset < packed.size()) {
    const std::uint8_t* chunk_start = packed.data() + offset;
    const auto chunk = static_cast<std::int32_t>(std::min<std::size_t>(7, packed.size() - offset));
    const std::uint8_t* source = chunk_start;
    std::int32_t left = chunk;
    do {
      const auto room =
          static_cast<std::int32_t>(std::min<std::ptrdiff_t>(100, out.data() + out.size() - dest));
      d.Unpack(source, dest, left, room);
      left = chunk - static_cast<std::int32_t>(source - chunk_start);
      EXPECT_EQ(d.InputLeft(), static_cast<std::uint32_t>(left));
    } while (left > 0 && d.InflateStatus() == Z_OK);
    offset += static_cast<std::size_t>(chunk - left);
  }
  EXPECT_EQ(d.InflateStatus(), Z_STREAM_END);
  EXPECT_EQ(offset, packed.size());
  EXPECT_EQ(dest, out.data() + data.size());
  EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin()));
  d.FinishUnpack();
}

TEST(Deflate, StatusLatchesAfterTheStreamEnds) {
  Bytes data = SomeData(300);
  Bytes packed = ZlibCompress(data);
  packed.insert(packed.end(), {1, 2, 3});  // trailing bytes after the zlib stream
  TDeflateDecoder d(Z_PARTIAL_FLUSH, false);
  d.PrepareUnpack();
  Bytes out(400, 0xEE);
  const std::uint8_t* source = packed.data();
  std::uint8_t* dest = out.data();
  d.Unpack(source, dest, static_cast<std::int32_t>(packed.size()), 400);
  EXPECT_EQ(d.InflateStatus(), Z_STREAM_END);
  EXPECT_EQ(d.InputLeft(), 3u) << "what follows the stream is left over";
  EXPECT_EQ(d.OutputLeft(), 100u);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), out.begin()));

  const std::uint8_t* latched_source = source;
  std::uint8_t* latched_dest = dest;
  Bytes more = ZlibCompress(SomeData(10));
  const std::uint8_t* more_source = more.data();
  d.Unpack(more_source, latched_dest, static_cast<std::int32_t>(more.size()), 100);
  EXPECT_EQ(d.InflateStatus(), Z_STREAM_END);
  EXPECT_EQ(more_source, more.data()) << "a latched decoder moves nothing";
  EXPECT_EQ(latched_dest, dest);
  EXPECT_EQ(d.InputLeft(), more.size()) << "the input count is stored all the same";
  EXPECT_EQ(out[300], 0xEE);
  EXPECT_EQ(latched_source, source);
  d.FinishUnpack();
}

TEST(Deflate, DataWithoutZlibHeaderGivesNegativeStatusNotAnException) {
  Bytes raw = {0x4B, 0x4C, 0x4A, 0x06, 0x00};  // raw deflate of "abc", no zlib header
  TDeflateDecoder d(Z_PARTIAL_FLUSH, false);
  d.PrepareUnpack();
  Bytes out(10);
  const std::uint8_t* source = raw.data();
  std::uint8_t* dest = out.data();
  EXPECT_NO_THROW(d.Unpack(source, dest, static_cast<std::int32_t>(raw.size()), 10));
  EXPECT_LT(d.InflateStatus(), 0);
  std::int32_t status = d.InflateStatus();
  d.Unpack(source, dest, static_cast<std::int32_t>(raw.size()), 10);
  EXPECT_EQ(d.InflateStatus(), status) << "errors latch too";
  d.FinishUnpack();
}

TEST(Deflate, ResetEachCallStartsEveryCallOnANewStream) {
  TDeflateDecoder d(Z_PARTIAL_FLUSH, true);
  d.PrepareUnpack();
  for (std::size_t n : {50u, 70u}) {
    Bytes data = SomeData(n);
    Bytes packed = ZlibCompress(data);
    Bytes out(n);
    const std::uint8_t* source = packed.data();
    std::uint8_t* dest = out.data();
    d.Unpack(source, dest, static_cast<std::int32_t>(packed.size()), static_cast<std::int32_t>(n));
    EXPECT_EQ(d.InflateStatus(), Z_STREAM_END);
    EXPECT_EQ(out, data);
  }
  d.FinishUnpack();
}

TEST(Deflate, EndingTwiceRaisesMessageTwenty) {
  TDeflateDecoder d(Z_PARTIAL_FLUSH, false);
  d.PrepareUnpack();
  d.FinishUnpack();
  try {
    d.FinishUnpack();
    FAIL() << "nothing raised";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Code(), 20u);
    EXPECT_EQ(e.Kind(), 34);
    EXPECT_EQ(e.Message(), "LZ77 decompression error.");
  }
}

}  // namespace
}  // namespace vistrel
