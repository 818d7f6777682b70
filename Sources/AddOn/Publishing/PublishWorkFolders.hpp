#ifndef QUILLMAR_PUBLISHING_PUBLISHWORKFOLDERS_HPP
#define QUILLMAR_PUBLISHING_PUBLISHWORKFOLDERS_HPP

#include "Array.hpp"
#include "Location.hpp"
#include "UniString.hpp"

#include <optional>

// The publishing run's folders in the exchange folder: "TempPublish" (the host's output per item), "PreparePublish"
// (prepared documents named by item key, kept across runs) and "Publish" (the copies under document names).
extern const char* const TempPublishFolder;
extern const char* const PreparePublishFolder;
extern const char* const PublishFolder;

// [main-thread] The work folder `name` of the exchange folder, emptied first when asked and made with any missing
// parents; nullopt when the exchange folder cannot be had or the folder cannot be made.
std::optional<IO::Location> OpenWorkFolder(const char* name, bool emptyFirst);

// The first name of `names` that holds `key`; nullopt for none and for an empty key, which every name would hold.
std::optional<GS::UniString> FindPreparedName(const GS::Array<GS::UniString>& names, const GS::UniString& key);

#endif
