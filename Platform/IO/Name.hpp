#ifndef IO_NAME_HPP
#define IO_NAME_HPP

#include "IOExport.hpp"
#include "UniString.hpp"

namespace IO {

// One local name: a single component of a path, such as "model.ifc". Any text can be held;
// IsLegal tells whether it may be used as a component. A value type, safe to use from any thread.
class IO_DLL_EXPORT Name {
public:
    Name() = default;
    explicit Name(const GS::UniString& text) : text(text) {}

    const GS::UniString& ToString() const noexcept { return text; }
    bool IsEmpty() const noexcept { return text.IsEmpty(); }

    // Not empty, no "/", "\" or NUL, not "." or "..": it cannot leave the folder it is appended to.
    bool IsLegal() const;

    // The extension is the text after the last dot, without the dot. A dot that starts the name (".profile")
    // or ends it ("name.") does not introduce an extension, so GetBase() + "." + GetExtension() gives the name back
    // whenever HasExtension().
    bool HasExtension() const;
    GS::UniString GetExtension() const;
    GS::UniString GetBase() const;
    Name& DeleteExtension();
    // Appends "." and the extension; an empty extension changes nothing.
    Name& AppendExtension(const GS::UniString& extension);

    friend bool operator==(const Name& a, const Name& b) noexcept { return a.text == b.text; }

private:
    // Index of the dot that starts the extension, MaxUIndex when there is none.
    UIndex ExtensionDot() const;

    GS::UniString text;
};

} // namespace IO

#endif
