// Rows handed to a second thread: every one arrives once, in order, and what the taker throws
// reaches the owner.
#include "imaging/row_pipe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace vistrel {
namespace {

// Keeps each row's first bytes; throws at the row numbered fail_at.
struct Rows : TRowSink {
  std::size_t row_bytes = 0;
  std::size_t fail_at = SIZE_MAX;
  std::vector<std::uint32_t> seen;
  void PutRow(const std::uint8_t* row) override {
    if (seen.size() == fail_at) throw std::runtime_error("taker failed");
    std::uint32_t number = 0;
    for (std::size_t i = 0; i < 4; ++i) number |= std::uint32_t{row[i]} << (8 * i);
    // The rest of the row must have come too.
    EXPECT_EQ(row[row_bytes - 1], static_cast<std::uint8_t>(number * 7));
    seen.push_back(number);
  }
};

// Every third row is built in the place the pipe offers, the others copied in.
std::vector<std::uint32_t> PutRows(TRowPipe& pipe, std::size_t row_bytes, std::uint32_t count) {
  std::vector<std::uint8_t> own(row_bytes);
  std::vector<std::uint32_t> sent;
  for (std::uint32_t n = 0; n < count; ++n) {
    std::uint8_t* row = n % 3 == 0 ? pipe.NextRow() : nullptr;
    if (row == nullptr) row = own.data();
    for (std::size_t i = 0; i < 4; ++i) row[i] = static_cast<std::uint8_t>(n >> (8 * i));
    row[row_bytes - 1] = static_cast<std::uint8_t>(n * 7);
    pipe.PutRow(row);
    sent.push_back(n);
  }
  return sent;
}

TEST(RowPipe, EveryRowArrivesOnceInOrder) {
  // Rows of a few bytes fill whole batches; rows larger than a batch go one at a time.
  for (std::size_t row_bytes : {std::size_t{5}, std::size_t{18000}, std::size_t{600000}}) {
    for (std::uint32_t count : {0u, 1u, 31u, 32u, 33u, 1000u}) {
      SCOPED_TRACE(std::to_string(row_bytes) + " bytes, rows: " + std::to_string(count));
      Rows sink;
      sink.row_bytes = row_bytes;
      TRowPipe pipe(sink, row_bytes);
      const std::vector<std::uint32_t> sent = PutRows(pipe, row_bytes, count);
      pipe.Close();
      EXPECT_EQ(sink.seen, sent);
      EXPECT_LE(TRowPipe::MemoryNeeded(row_bytes), 4 * std::max<std::size_t>(row_bytes, 262144));
    }
  }
}

TEST(RowPipe, WhatTheTakerThrowsReachesClose) {
  Rows sink;
  sink.row_bytes = 64;
  sink.fail_at = 100;
  TRowPipe pipe(sink, 64);
  PutRows(pipe, 64, 5000);  // never waits for ever on a taker that failed
  EXPECT_THROW(pipe.Close(), std::runtime_error);
  EXPECT_EQ(sink.seen.size(), 100u);
}

TEST(RowWorker, EveryReadyRowIsWorkedOnOnceInOrder) {
  std::vector<std::int32_t> worked;
  {
    TRowWorker worker([&](std::int32_t first, std::int32_t end) {
      for (std::int32_t y = first; y < end; ++y) worked.push_back(y);
    });
    for (std::int32_t rows : {1, 2, 2, 20, 19, 37, 1000, 1003}) worker.RowsReady(rows);
    worker.Finish();
    EXPECT_EQ(worked.size(), 1003u);
    worker.RowsReady(1010);  // after Finish, at once
    EXPECT_EQ(worked.size(), 1010u);
  }
  for (std::size_t i = 0; i < worked.size(); ++i)
    ASSERT_EQ(worked[i], static_cast<std::int32_t>(i));
}

}  // namespace
}  // namespace vistrel
