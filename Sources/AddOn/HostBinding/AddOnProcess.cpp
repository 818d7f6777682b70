#include "AddOnProcess.hpp"

#include <curl/curl.h>

namespace {

GSResModule resourceModule = InvalidResModule;
bool curlReady = false;

} // namespace

bool SetUpAddOnProcess(const void* addressInFile) {
    resourceModule = RSInitModuleImageCache(addressInFile);
    // Process-wide, once: libcurl's own lazy set-up is not safe while transfer threads start.
    curlReady = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return curlReady;
}

void TearDownAddOnProcess() {
    RSRemoveModuleImageCache(resourceModule);
    RS::ResModuleClosed(resourceModule);
    resourceModule = InvalidResModule;
    if (curlReady) curl_global_cleanup();
    curlReady = false;
}

GSResModule GetResourceModule() {
    return resourceModule;
}
