#ifndef QUILLMAR_CURLHANDLES_HPP
#define QUILLMAR_CURLHANDLES_HPP

#include <curl/curl.h>

#include <memory>

// Owners of libcurl's handles, so that every path frees them. One request owns one of each; nothing is shared.
struct CurlEasyDeleter {
    void operator()(CURL* handle) const noexcept { curl_easy_cleanup(handle); }
};
struct CurlHeaderListDeleter {
    void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
};
struct CurlMimeDeleter {
    void operator()(curl_mime* mime) const noexcept { curl_mime_free(mime); }
};

using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlHeaderList = std::unique_ptr<curl_slist, CurlHeaderListDeleter>;
using CurlMime = std::unique_ptr<curl_mime, CurlMimeDeleter>;

#endif
