#include "PendingScriptFunctions.hpp"

#include "ScriptArguments.hpp"

GS::Ref<JS::Base> PendingAcknowledge(const GS::Ref<JS::Base>&) {
    return MakeBoolResult(true);
}

GS::Ref<JS::Base> PendingEmptyText(const GS::Ref<JS::Base>&) {
    return MakeStringResult(GS::UniString());
}
