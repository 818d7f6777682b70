#include "HostPage.hpp"

#include <algorithm>

namespace HostSim {

void PageList::Add(HostPage& page) {
    pages.push_back(&page);
}

void PageList::Remove(HostPage& page) {
    std::erase(pages, &page);
}

HostPage* PageList::FindFunction(const std::string& function, const std::string& objectName) const {
    for (auto it = pages.rbegin(); it != pages.rend(); ++it)
        if ((*it)->HasFunction(function, objectName)) return *it;
    return nullptr;
}

HostPage::HostPage(PageServices pageServices) : services(std::move(pageServices)) {
    if (services.pages) services.pages->Add(*this);
}

HostPage::~HostPage() {
    if (services.pages) services.pages->Remove(*this);
}

} // namespace HostSim
