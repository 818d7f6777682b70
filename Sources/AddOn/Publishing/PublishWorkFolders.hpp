#ifndef QUILLMAR_PUBLISHING_PUBLISHWORKFOLDERS_HPP
#define QUILLMAR_PUBLISHING_PUBLISHWORKFOLDERS_HPP

#include "Array.hpp"
#include "Location.hpp"
#include "UniString.hpp"

#include <optional>
#include <string>
#include <unordered_map>

// The publishing run's folders in the exchange folder: "TempPublish" (the host's output per item), "PreparePublish"
// (prepared documents named by item key, kept across runs) and "Publish" (the copies under document names).
extern const char* const TempPublishFolder;
extern const char* const PreparePublishFolder;
extern const char* const PublishFolder;

// [main-thread] The work folder `name` of the exchange folder, emptied first when asked and made with any missing
// parents; nullopt when the exchange folder cannot be had or the folder cannot be made.
std::optional<IO::Location> OpenWorkFolder(const char* name, bool emptyFirst);

// The names of the prepared documents, listed once, and which of them holds a key. A run looks up every item's key:
// the pieces of the names as long as the keys are indexed once per key length, so a run takes time linear in the
// listing and the items, not in their product.
class PreparedNames {
public:
    explicit PreparedNames(GS::Array<GS::UniString> names);

    // The first name, in listing order, that holds `key`; nullopt for none and for an empty key, which every name
    // would hold.
    std::optional<GS::UniString> Find(const GS::UniString& key);

private:
    GS::Array<GS::UniString> names;
    // Per key length: each piece of that length of any name -> the index of the first name holding it.
    std::unordered_map<USize, std::unordered_map<std::u16string, UIndex>> pieces;
};

#endif
