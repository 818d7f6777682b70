#ifndef BENCHMARKS_ADDONSESSION_HPP
#define BENCHMARKS_ADDONSESSION_HPP

#include "Host.hpp"
#include "HostPage.hpp"
#include "ScenarioRunner.hpp"

#include "JSValues.hpp"

#include <cstddef>
#include <memory>
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

// The add-on module (QUILLMAR_ADDON_PATH) in a host of its own with its palette open, kept for the whole run.
struct AddOnSession {
    std::unique_ptr<HostSim::Host> host;
    std::unique_ptr<HostSim::ScenarioRunner> runner;
    std::size_t modelSize = 0;

    // Replaces the model with a synthetic one of `elements` unless it already is.
    void UseModel(std::size_t elements) {
        if (modelSize == elements) return;
        runner->RunLine("{\"host\": {\"syntheticElements\": " + std::to_string(elements) + "}}");
        modelSize = elements;
    }
    GS::Ref<JS::Function> Function(const char* name) { return FindPageFunction(*host, name); }
};

inline AddOnSession& GetAddOnSession() {
    static AddOnSession session;
    if (!session.host) {
        HostSim::HostOptions options;
        options.module = QUILLMAR_ADDON_PATH;
        session.host = std::make_unique<HostSim::Host>(options);
        // Thousands of calls: their lines are written, but kept lines would grow the process without bound.
        session.host->GetTranscript().SetKeepLines(false);
        if (!session.host->Start()) throw std::runtime_error("the add-on did not start");
        session.runner = std::make_unique<HostSim::ScenarioRunner>(*session.host);
        session.runner->RunLine(R"({"menu": 32500, "item": 1})");
    }
    return session;
}

#endif
