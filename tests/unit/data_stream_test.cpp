#include "imaging/data_stream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace vistrel {
namespace {

std::string Contents(MemoryStream& stream) {
  const std::uint8_t* p = stream.Memory();
  return p ? std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(stream.Size()))
           : std::string();
}

TEST(MemoryStream, ReadsWhatWasWrittenAndStopsAtTheEnd) {
  auto stream = CreateMemoryStream();
  EXPECT_EQ(stream->Size(), 0);
  EXPECT_EQ(stream->Memory(), nullptr);
  EXPECT_EQ(stream->Write("abcdef", 6), 6u);
  EXPECT_EQ(stream->Position(), 6);
  EXPECT_EQ(stream->Size(), 6);

  stream->SetPosition(2);
  char buffer[8] = {};
  EXPECT_EQ(stream->Read(buffer, 3), 3u);
  EXPECT_EQ(std::string(buffer, 3), "cde");
  EXPECT_EQ(stream->Read(buffer, 8), 1u) << "only what is left";
  EXPECT_EQ(buffer[0], 'f');
  EXPECT_EQ(stream->Read(buffer, 8), 0u);
  EXPECT_EQ(stream->Position(), 6);
}

TEST(MemoryStream, WriteOverwritesInsideAndGrowsAtTheEnd) {
  auto stream = CreateMemoryStream();
  stream->Write("abcdef", 6);
  stream->SetPosition(4);
  EXPECT_EQ(stream->Write("XYZ", 3), 3u);
  EXPECT_EQ(stream->Size(), 7);
  EXPECT_EQ(Contents(*stream), "abcdXYZ");
  stream->SetPosition(1);
  stream->Write("-", 1);
  EXPECT_EQ(Contents(*stream), "a-cdXYZ");
  EXPECT_EQ(stream->Size(), 7) << "an overwrite inside does not change the size";
}

TEST(MemoryStream, SeekFromEachOriginAndBeyondTheEndGrowsWithZeros) {
  auto stream = CreateMemoryStream();
  stream->Write("0123456789", 10);
  EXPECT_EQ(stream->Seek(3, TSeekFrom::sfBeginning), 3);
  EXPECT_EQ(stream->Seek(2, TSeekFrom::sfCurrent), 5);
  EXPECT_EQ(stream->Seek(-1, TSeekFrom::sfCurrent), 4);
  EXPECT_EQ(stream->Seek(-2, TSeekFrom::sfEnd), 8);
  EXPECT_EQ(stream->Seek(0, TSeekFrom::sfEnd), 10);

  EXPECT_EQ(stream->Seek(4, TSeekFrom::sfEnd), 14);
  EXPECT_EQ(stream->Size(), 14) << "a position beyond the size grows the size to it";
  stream->SetPosition(8);
  char buffer[6];
  ASSERT_EQ(stream->Read(buffer, 6), 6u);
  EXPECT_EQ(std::string(buffer, 6), std::string("89\0\0\0\0", 6));
  stream->Write("!", 1);
  EXPECT_EQ(Contents(*stream), std::string("0123456789\0\0\0\0!", 15));
}

TEST(MemoryStream, SeekBeforeTheStartIsRefusedAndKeepsThePosition) {
  auto stream = CreateMemoryStream();
  stream->Write("0123456789", 10);
  stream->SetPosition(5);
  EXPECT_EQ(stream->Seek(-6, TSeekFrom::sfCurrent), -1);
  EXPECT_EQ(stream->Position(), 5);
  EXPECT_EQ(stream->Seek(-1, TSeekFrom::sfBeginning), -1);
  EXPECT_EQ(stream->Seek(-11, TSeekFrom::sfEnd), -1);
  EXPECT_EQ(stream->Seek(INT64_MIN, TSeekFrom::sfCurrent), -1);
  EXPECT_EQ(stream->Seek(INT64_MAX, TSeekFrom::sfCurrent), -1) << "overflowing target";
  EXPECT_EQ(stream->Position(), 5);
  EXPECT_EQ(stream->Size(), 10);
  EXPECT_EQ(stream->Seek(-10, TSeekFrom::sfEnd), 0) << "the start itself is fine";
}

TEST(MemoryStream, SetSizeShrinksGrowsAndPullsThePositionBack) {
  auto stream = CreateMemoryStream();
  stream->Write("0123456789", 10);
  stream->SetSize(4);
  EXPECT_EQ(stream->Size(), 4);
  EXPECT_EQ(stream->Position(), 4) << "pulled back to the new size";
  EXPECT_EQ(Contents(*stream), "0123");

  stream->SetPosition(1);
  stream->SetSize(6);
  EXPECT_EQ(stream->Position(), 1) << "a position inside stays";
  EXPECT_EQ(Contents(*stream), std::string("0123\0\0", 6));

  stream->SetSize(0);
  EXPECT_EQ(stream->Size(), 0);
  EXPECT_EQ(stream->Position(), 0);
  char c;
  EXPECT_EQ(stream->Read(&c, 1), 0u);
  stream->SetSize(-5);
  EXPECT_EQ(stream->Size(), 0) << "a negative size is ignored";
  EXPECT_EQ(stream->Write("z", 1), 1u);
  EXPECT_EQ(Contents(*stream), "z");
}

TEST(MemoryStream, FarSeekCostsNothingUntilTheBytesAreUsed) {
  // A reader that skips by a length taken from a file must not make the stream allocate it. 1 GiB:
  // far, yet a size a 32-bit process could address.
  constexpr std::int64_t kFar = std::int64_t{1} << 30;
  auto stream = CreateMemoryStream();
  stream->Write("ab", 2);
  EXPECT_EQ(stream->Seek(kFar, TSeekFrom::sfBeginning), kFar);
  EXPECT_EQ(stream->Size(), kFar);
  char buffer[4] = {1, 1, 1, 1};
  EXPECT_EQ(stream->Read(buffer, 4), 0u);
  stream->SetPosition(1);
  EXPECT_EQ(stream->Read(buffer, 4), 4u);
  EXPECT_EQ(std::string(buffer, 4), std::string("b\0\0\0", 4));
  stream->SetSize(3);
  EXPECT_EQ(Contents(*stream), std::string("ab\0", 3));
}

TEST(MemoryStream, ZeroByteOperationsMoveNothing) {
  auto stream = CreateMemoryStream();
  EXPECT_EQ(stream->Write("x", 0), 0u);
  EXPECT_EQ(stream->Size(), 0);
  char c;
  EXPECT_EQ(stream->Read(&c, 0), 0u);
  stream->Assign("hello", 5);
  EXPECT_EQ(stream->Position(), 0);
  EXPECT_EQ(Contents(*stream), "hello");
}

class FileStreamTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = test::FreshDir("data_stream"); }
  std::string dir_;
};

TEST_F(FileStreamTest, ReadStreamReadsSeeksAndRefusesWrites) {
  std::string path = dir_ + "in.bin";
  test::WriteBytes(path, "0123456789");
  auto stream = OpenReadFileStream(path);
  EXPECT_EQ(stream->Size(), 10);
  char buffer[16] = {};
  EXPECT_EQ(stream->Read(buffer, 4), 4u);
  EXPECT_EQ(std::string(buffer, 4), "0123");
  EXPECT_EQ(stream->Position(), 4);
  EXPECT_EQ(stream->Seek(-3, TSeekFrom::sfEnd), 7);
  EXPECT_EQ(stream->Read(buffer, 16), 3u);
  EXPECT_EQ(std::string(buffer, 3), "789");
  EXPECT_EQ(stream->Seek(2, TSeekFrom::sfCurrent), 12) << "past the end is allowed";
  EXPECT_EQ(stream->Read(buffer, 16), 0u);
  EXPECT_EQ(stream->Seek(-1, TSeekFrom::sfBeginning), -1);

  EXPECT_EQ(stream->Write("zz", 2), 0u);
  stream->SetSize(2);
  EXPECT_EQ(stream->Size(), 10) << "a read stream does not change size";
  stream.reset();
  EXPECT_EQ(test::ReadBytes(path), "0123456789");
}

TEST_F(FileStreamTest, WriteStreamEndsTheFileWhereTheLastWriteEnded) {
  std::string path = dir_ + "out.bin";
  test::WriteBytes(path, "a much longer old content");
  auto stream = OpenWriteFileStream(path);
  EXPECT_EQ(stream->Size(), 25) << "opened without truncation";
  EXPECT_EQ(stream->Write("new", 3), 3u);
  EXPECT_EQ(stream->Size(), 3);
  EXPECT_EQ(stream->Write("er", 2), 2u);
  stream->SetPosition(1);
  EXPECT_EQ(stream->Write("E", 1), 1u);
  char c;
  EXPECT_EQ(stream->Read(&c, 1), 0u) << "a write stream reads nothing";
  stream.reset();
  EXPECT_EQ(test::ReadBytes(path), "nE");
}

TEST_F(FileStreamTest, WriteStreamSetSize) {
  std::string path = dir_ + "size.bin";
  auto stream = OpenWriteFileStream(path);
  stream->Write("0123456789", 10);
  stream->SetPosition(3);
  stream->SetSize(20);
  EXPECT_EQ(stream->Size(), 20);
  EXPECT_EQ(stream->Position(), 3) << "larger than the position: moved back";
  stream->SetSize(2);
  EXPECT_EQ(stream->Size(), 2);
  EXPECT_EQ(stream->Position(), 2) << "not larger: stays at the new end";
  stream.reset();
  EXPECT_EQ(test::ReadBytes(path), "01");
}

TEST_F(FileStreamTest, FileThatCannotBeOpenedMovesNothing) {
  auto in = OpenReadFileStream(dir_ + "missing.bin");
  ASSERT_NE(in, nullptr);
  char buffer[4];
  EXPECT_EQ(in->Read(buffer, 4), 0u);
  EXPECT_EQ(in->Size(), 0);
  EXPECT_EQ(in->Position(), 0);

  auto out = OpenWriteFileStream(dir_ + "no/such/dir/out.bin");
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->Write("abc", 3), 0u);
  EXPECT_EQ(out->Size(), 0);
  out->SetSize(5);
  EXPECT_EQ(out->Position(), 0);

  auto dir = OpenReadFileStream(dir_);
  EXPECT_EQ(dir->Read(buffer, 4), 0u) << "a folder is not a file";
}

}  // namespace
}  // namespace vistrel
