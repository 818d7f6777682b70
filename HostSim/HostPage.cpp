#include "HostPage.hpp"

#include "ScriptValues.hpp"

#include "GSException.hpp"

#include <algorithm>
#include <exception>

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

CallOutcome CallScriptFunction(Transcript& transcript, const std::string& function, const GS::Ref<JS::Function>& callee,
                               const std::function<GS::Ref<JS::Base>()>& makeArgument) {
    CallOutcome outcome;
    if (callee.IsNull()) {
        outcome.kind = CallOutcome::Kind::UnknownFunction;
        outcome.error = "no function \"" + function + "\" is registered in the page";
        transcript.Error("call: " + outcome.error);
        return outcome;
    }
    try {
        outcome.result = FromScriptValue(callee->Call(makeArgument()));
    } catch (const GS::Exception& e) {
        outcome.kind = CallOutcome::Kind::Error;
        outcome.error = ToUtf8(e.GetMessage());
    } catch (const std::exception& e) {
        outcome.kind = CallOutcome::Kind::Error;
        outcome.error = e.what();
    } catch (...) {
        outcome.kind = CallOutcome::Kind::Error;
        outcome.error = "unknown exception";
    }
    if (outcome.kind == CallOutcome::Kind::Error) {
        transcript.Write(Line{{"call", function}, {"error", outcome.error}});
    } else {
        transcript.Write(Line{{"call", function}, {"result", outcome.result}});
    }
    return outcome;
}

} // namespace HostSim
