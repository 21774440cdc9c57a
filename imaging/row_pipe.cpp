#include "imaging/row_pipe.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <utility>

namespace vistrel {

namespace {

// Enough batches that neither thread waits for the other's every step, each large enough that
// handing one over costs little beside the rows in it.
constexpr std::size_t kBatches = 4;
constexpr std::size_t kBatchBytes = 256 * 1024;
constexpr std::size_t kMaxBatchRows = 32;
// A row worker is woken for this many rows at a time.
constexpr std::int32_t kWorkerStep = 16;

}  // namespace

std::size_t TRowPipe::BatchRows(std::size_t row_bytes) {
  return std::clamp<std::size_t>(kBatchBytes / std::max<std::size_t>(row_bytes, 1), 1,
                                 kMaxBatchRows);
}

std::uint64_t TRowPipe::MemoryNeeded(std::size_t row_bytes) {
  return std::uint64_t{kBatches} * BatchRows(row_bytes) * row_bytes;
}

TRowPipe::TRowPipe(TRowSink& out, std::size_t row_bytes)
    : out_(out), row_bytes_(row_bytes), batch_rows_(BatchRows(row_bytes)) {
  if (std::thread::hardware_concurrency() < 2) return;
  batches_.resize(kBatches * batch_rows_ * row_bytes_);
  rows_in_batch_.assign(kBatches, 0);
  try {
    worker_ = std::thread([this] { Work(); });
  } catch (const std::system_error&) {
    // No thread to be had: the rows go straight to the sink.
  }
}

TRowPipe::~TRowPipe() {
  try {
    Close();
  } catch (...) {
    // Only the owner's own Close reports the sink's failure.
  }
}

std::uint8_t* TRowPipe::NextRow() {
  if (!worker_.joinable()) return nullptr;
  if (filling_ == 0 && !batch_free_) {
    // The batch is free once the worker has taken every batch but the ones still queued.
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return produced_ - consumed_ < kBatches; });
    batch_free_ = true;
  }
  const std::size_t batch = static_cast<std::size_t>(produced_ % kBatches);
  return &batches_[(batch * batch_rows_ + filling_) * row_bytes_];
}

void TRowPipe::PutRow(const std::uint8_t* row) {
  if (!worker_.joinable()) {
    out_.PutRow(row);
    return;
  }
  std::uint8_t* const place = NextRow();
  if (row != place) std::memcpy(place, row, row_bytes_);
  if (++filling_ == batch_rows_) Publish();
}

void TRowPipe::Publish() {
  std::lock_guard<std::mutex> lock(mutex_);
  rows_in_batch_[static_cast<std::size_t>(produced_ % kBatches)] = filling_;
  ++produced_;
  filling_ = 0;
  batch_free_ = false;
  changed_.notify_all();
}

void TRowPipe::Close() {
  if (!worker_.joinable()) return;
  if (filling_ > 0) Publish();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
    changed_.notify_all();
  }
  worker_.join();
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

void TRowPipe::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return consumed_ < produced_ || closing_; });
    if (consumed_ == produced_) return;  // closing, and nothing left
    const std::size_t batch = static_cast<std::size_t>(consumed_ % kBatches);
    const std::size_t rows = rows_in_batch_[batch];
    lock.unlock();
    // After a failure the rows are still taken, so the decoding thread never waits for ever.
    if (!failure_) {
      try {
        for (std::size_t i = 0; i < rows; ++i)
          out_.PutRow(&batches_[(batch * batch_rows_ + i) * row_bytes_]);
      } catch (...) {
        failure_ = std::current_exception();
      }
    }
    lock.lock();
    ++consumed_;
    changed_.notify_all();
  }
}

TRowWorker::TRowWorker(Work work) : work_(std::move(work)) {
  if (std::thread::hardware_concurrency() < 2) return;
  try {
    worker_ = std::thread([this] { Loop(); });
  } catch (const std::system_error&) {
    // No thread to be had: the work is done as the rows come.
  }
}

TRowWorker::~TRowWorker() {
  Finish();
}

void TRowWorker::RowsReady(std::int32_t rows) {
  if (rows <= latest_) return;
  if (!worker_.joinable()) {
    work_(latest_, rows);
    latest_ = rows;
    return;
  }
  latest_ = rows;
  if (rows - told_ < kWorkerStep) return;
  told_ = rows;
  std::lock_guard<std::mutex> lock(mutex_);
  ready_ = rows;
  changed_.notify_all();
}

void TRowWorker::Finish() {
  if (!worker_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ready_ = latest_;
    closing_ = true;
    changed_.notify_all();
  }
  worker_.join();
}

void TRowWorker::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return done_ < ready_ || closing_; });
    if (done_ == ready_) return;  // closing, and nothing left
    const std::int32_t first = done_, end = ready_;
    lock.unlock();
    work_(first, end);
    lock.lock();
    done_ = end;
  }
}

}  // namespace vistrel
