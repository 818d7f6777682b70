#ifndef BENCHMARKS_PAGEFUNCTION_HPP
#define BENCHMARKS_PAGEFUNCTION_HPP

#include "Host.hpp"
#include "HostPage.hpp"

#include "JSValues.hpp"

#include <stdexcept>
#include <string>

// The script function the add-on registered under `name` in the host's pages, to be called as the page calls it.
inline GS::Ref<JS::Function> FindPageFunction(HostSim::Host& host, const char* name) {
    for (HostSim::HostPage* page : host.GetPages().GetPages())
        for (const GS::Ref<JS::Object>& object : page->GetScriptObjects())
            if (auto function = GS::DynamicCast<JS::Function>(object->GetItem(name)); function != nullptr)
                return function;
    throw std::runtime_error(std::string("no script function ") + name);
}

#endif
