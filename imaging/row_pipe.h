// Rows handed from the thread that decodes them to a second one that takes them on, so a
// decoder and the resampler after it each have a core of their own.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "imaging/resampler.h"

namespace vistrel {

// Rows are copied into a few batches; a worker thread gives them to the sink in the order they
// came. With one core, or when no thread can be started, rows go straight to the sink.
class TRowPipe : public TRowSink {
 public:
  // out: takes every row on the worker thread until Close; row_bytes: the size of each row.
  TRowPipe(TRowSink& out, std::size_t row_bytes);
  TRowPipe(const TRowPipe&) = delete;
  TRowPipe& operator=(const TRowPipe&) = delete;
  // Waits for the worker; an exception it caught is dropped (Close reports it).
  ~TRowPipe() override;

  // The batches' memory for rows of that size.
  static std::uint64_t MemoryNeeded(std::size_t row_bytes);

  // The next place in a batch, once one is free.
  std::uint8_t* NextRow() override;
  void PutRow(const std::uint8_t* row) override;
  // Returns once every row put has reached the sink, rethrowing what the sink threw; rows put
  // afterwards go straight to it.
  void Close();

 private:
  static std::size_t BatchRows(std::size_t row_bytes);
  void Publish();
  void Work();

  TRowSink& out_;  // not owned
  std::size_t row_bytes_;
  std::size_t batch_rows_;
  std::vector<std::uint8_t> batches_;
  std::vector<std::size_t> rows_in_batch_;
  std::size_t filling_ = 0;  // rows in the batch being filled, which is batch produced_ % count
  bool batch_free_ = false;  // that batch is known to be free
  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t produced_ = 0;  // batches handed over
  std::uint64_t consumed_ = 0;  // batches the sink has taken
  bool closing_ = false;
  std::exception_ptr failure_;
  std::thread worker_;
};

// Work on rows that stay where they are (a bitmap's), done on a second thread in the order the
// rows are finished, while the owner finishes the next ones. With one core, or when no thread
// can be started, the work is done at once.
class TRowWorker {
 public:
  // Works on rows [first, end); must not throw.
  using Work = std::function<void(std::int32_t first, std::int32_t end)>;
  explicit TRowWorker(Work work);
  TRowWorker(const TRowWorker&) = delete;
  TRowWorker& operator=(const TRowWorker&) = delete;
  ~TRowWorker();

  // Rows [0, rows) are finished and may be worked on.
  void RowsReady(std::int32_t rows);
  // Returns once every ready row has been worked on.
  void Finish();

 private:
  void Loop();

  Work work_;
  std::int32_t told_ = 0;  // the rows last told to the worker
  std::int32_t latest_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::int32_t ready_ = 0;  // under mutex_
  std::int32_t done_ = 0;   // under mutex_
  bool closing_ = false;
  std::thread worker_;
};

}  // namespace vistrel
