#ifndef IFCAPI_ACAPIRESULT_HPP
#define IFCAPI_ACAPIRESULT_HPP

#include "Definitions.hpp"
#include "GSException.hpp"

#include <optional>
#include <utility>

namespace ACAPI {

// The outcome of a host query: a value, or an error code. Unwrap on an error throws GS::IllegalArgumentException.
template <typename T>
class Result {
public:
    static Result Ok(T value) { return Result(std::move(value)); }
    static Result Error(GSErrCode code) { return Result(code); }

    bool IsOk() const noexcept { return value.has_value(); }
    bool IsErr() const noexcept { return !value.has_value(); }
    GSErrCode GetError() const noexcept { return error; }

    const T& Unwrap() const& {
        if (!value) throw GS::IllegalArgumentException("Unwrap of an error result.");
        return *value;
    }
    T&& Unwrap() && {
        if (!value) throw GS::IllegalArgumentException("Unwrap of an error result.");
        return std::move(*value);
    }

private:
    explicit Result(T v) : value(std::move(v)) {}
    explicit Result(GSErrCode code) : error(code == NoError ? ::Error : code) {}

    std::optional<T> value;
    GSErrCode error = NoError;
};

} // namespace ACAPI

#endif
