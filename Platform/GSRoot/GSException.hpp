#ifndef GSROOT_GSEXCEPTION_HPP
#define GSROOT_GSEXCEPTION_HPP

#include "GSRootExport.hpp"
#include "UniString.hpp"

#include <exception>
#include <string>

namespace GS {

// Base of the host libraries' exceptions; the message is what reaches a script caller.
class GSROOT_DLL_EXPORT Exception : public std::exception {
public:
    explicit Exception(const UniString& message);
    ~Exception() override;

    const UniString& GetMessage() const noexcept { return message; }
    const char* what() const noexcept override;

private:
    UniString message;
    std::string utf8Message;
};

class GSROOT_DLL_EXPORT NullPointerException : public Exception {
public:
    NullPointerException();
    ~NullPointerException() override;
};

class GSROOT_DLL_EXPORT ClassCastException : public Exception {
public:
    ClassCastException();
    ~ClassCastException() override;
};

class GSROOT_DLL_EXPORT IndexOutOfRangeException : public Exception {
public:
    IndexOutOfRangeException();
    ~IndexOutOfRangeException() override;
};

class GSROOT_DLL_EXPORT IllegalArgumentException : public Exception {
public:
    explicit IllegalArgumentException(const UniString& message);
    ~IllegalArgumentException() override;
};

} // namespace GS

#endif
