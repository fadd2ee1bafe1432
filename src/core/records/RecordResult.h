#pragma once
#include <QString>
#include <optional>
#include <utility>

namespace merilog {

// Outcome of a record operation that gives nothing back: empty error when it
// worked, else a text naming the file and what went wrong, for the caller to show.
struct RecordStatus {
  QString error;
  bool ok() const { return error.isEmpty(); }
  explicit operator bool() const { return ok(); }
  static RecordStatus Failure(QString text) { return {std::move(text)}; }
};

// A value, or the text that tells the user which file failed and why.
template <class T>
class RecordResult {
 public:
  RecordResult(T value) : value_(std::move(value)) {}
  RecordResult(RecordStatus failure) : error_(std::move(failure.error)) {}
  static RecordResult Failure(QString text) { return RecordResult(RecordStatus{std::move(text)}); }

  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return ok(); }
  T& value() { return *value_; }
  const T& value() const { return *value_; }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }
  const QString& error() const { return error_; }
  RecordStatus status() const { return {error_}; }

 private:
  std::optional<T> value_;
  QString error_;
};

}  // namespace merilog
