#ifndef FTM_FILETYPEMANAGER_HPP
#define FTM_FILETYPEMANAGER_HPP

#include "FTMExport.hpp"

#include "Array.hpp"
#include "Definitions.hpp"
#include "UniString.hpp"

namespace FTM {

// Identifier of a registered file type; UnknownType names none.
using TypeID = UInt32;
inline constexpr TypeID UnknownType = 0;

// Group of file types; the stand-in has only the root group, which holds every type.
using GroupID = UInt32;
inline constexpr GroupID RootGroup = 0;

// Decides by content whether a file is of a type; the stand-in stores it only.
class FTM_DLL_EXPORT ContentRecognizer {
public:
    virtual ~ContentRecognizer();
};

// Description of one file type: a value. Extensions compare without regard to case and without the dot.
class FTM_DLL_EXPORT FileType {
public:
    // nullptr texts read as empty. `byExtension` true: a file is of this type when its extension matches.
    FileType(const char* description, const char* extension, UInt32 typeCode, UInt32 creatorCode, Int32 iconId,
             const ContentRecognizer* recognizer = nullptr, const char* mimeType = nullptr, bool byExtension = true);

    const GS::UniString& GetDescription() const noexcept { return description; }
    const GS::UniString& GetExtension() const noexcept { return extension; }
    UInt32 GetTypeCode() const noexcept { return typeCode; }
    UInt32 GetCreatorCode() const noexcept { return creatorCode; }
    Int32 GetIconId() const noexcept { return iconId; }
    const ContentRecognizer* GetRecognizer() const noexcept { return recognizer; }
    const GS::UniString& GetMimeType() const noexcept { return mimeType; }
    bool IsRecognizedByExtension() const noexcept { return byExtension; }

    // Same extension (ignoring case), type code and creator code.
    bool Matches(const FileType& other) const;

private:
    GS::UniString description;
    GS::UniString extension;
    UInt32 typeCode;
    UInt32 creatorCode;
    Int32 iconId;
    const ContentRecognizer* recognizer;
    GS::UniString mimeType;
    bool byExtension;
};

// A named set of file types registered for the process. Types stay known until their manager is destroyed.
// Thread-safe: the registry is shared by all managers and guarded.
class FTM_DLL_EXPORT FileTypeManager {
public:
    explicit FileTypeManager(const char* name);
    ~FileTypeManager();

    FileTypeManager(const FileTypeManager&) = delete;
    FileTypeManager& operator=(const FileTypeManager&) = delete;

    const GS::UniString& GetName() const noexcept { return name; }

    // The first registered type in `group` that matches `type`; UnknownType when there is none.
    static TypeID SearchForType(const FileType& type, GroupID group = RootGroup);
    // Registers the type under this manager; UnknownType for a group other than RootGroup.
    TypeID AddType(const FileType& type, GroupID group = RootGroup);
    // Copies the registered type into `type`; false (type unchanged) for an unknown identifier.
    static bool GetType(TypeID id, FileType* type);

private:
    GS::UniString name;
    GS::Array<TypeID> ownTypes;
};

} // namespace FTM

#endif
