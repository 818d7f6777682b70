#include "GSException.hpp"

namespace GS {

Exception::Exception(const UniString& message) : message(message), utf8Message(message.ToCStr(CC_UTF8).Get()) {}

Exception::~Exception() = default;

const char* Exception::what() const noexcept {
    return utf8Message.c_str();
}

NullPointerException::NullPointerException() : Exception("Null pointer.") {}
NullPointerException::~NullPointerException() = default;

ClassCastException::ClassCastException() : Exception("Bad cast.") {}
ClassCastException::~ClassCastException() = default;

IndexOutOfRangeException::IndexOutOfRangeException() : Exception("Index out of range.") {}
IndexOutOfRangeException::~IndexOutOfRangeException() = default;

IllegalArgumentException::IllegalArgumentException(const UniString& message) : Exception(message) {}
IllegalArgumentException::~IllegalArgumentException() = default;

} // namespace GS
