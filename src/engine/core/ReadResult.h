#pragma once

#include "core/Error.h"

#include <optional>
#include <string>
#include <utility>

namespace vextral {

// Why a reader of outside data gave nothing: the text shown to the user as it
// is ("unrecognized GIF", "Cannot open file %s: <reason>").
struct ReadFailure {
    std::string reason;
};

inline ReadFailure readFailure(std::string reason) { return ReadFailure {std::move(reason)}; }

// What a reader of outside data returns: the value read, or the reason it
// could not be read. Bad input is never thrown; a caller that wants the
// failure as an exception (the user asked for that very file) calls value()
// or raiseIfFailed(), which throw vextral::Error with the reason as its text.
template <typename T>
class [[nodiscard]] ReadResult {
public:
    ReadResult(T value) : value_(std::move(value)) {}
    ReadResult(ReadFailure failure) : reason_(std::move(failure.reason)) {}

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    // Empty when the read succeeded.
    const std::string& reason() const { return reason_; }

    // The value; raises the reason as vextral::Error when there is none.
    T& value() &
    {
        raiseIfFailed();
        return *value_;
    }
    const T& value() const&
    {
        raiseIfFailed();
        return *value_;
    }
    T value() &&
    {
        raiseIfFailed();
        return std::move(*value_);
    }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    void raiseIfFailed() const
    {
        if (!value_) throw Error(reason_);
    }

private:
    std::optional<T> value_;
    std::string reason_;
};

// A read that leaves its result somewhere else (an image buffer): success, or
// the reason.
template <>
class [[nodiscard]] ReadResult<void> {
public:
    ReadResult() = default;
    ReadResult(ReadFailure failure) : failed_(true), reason_(std::move(failure.reason)) {}

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const std::string& reason() const { return reason_; }
    void raiseIfFailed() const
    {
        if (failed_) throw Error(reason_);
    }

private:
    bool failed_ = false;
    std::string reason_;
};

using ReadStatus = ReadResult<void>;

} // namespace vextral
