// Rows handed from the thread that decodes them to a second one that takes them on, so a
// decoder and the resampler after it each have a core of their own.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
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
  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t produced_ = 0;  // batches handed over
  std::uint64_t consumed_ = 0;  // batches the sink has taken
  bool closing_ = false;
  std::exception_ptr failure_;
  std::thread worker_;
};

}  // namespace vistrel
