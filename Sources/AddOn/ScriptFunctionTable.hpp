#ifndef QUILLMAR_SCRIPTFUNCTIONTABLE_HPP
#define QUILLMAR_SCRIPTFUNCTIONTABLE_HPP

#include "JSValues.hpp"
#include "Ref.hpp"

#include <span>

// A function of the page's script object: its name and its handler. Handlers run on the main thread inside the
// page's call; an exception leaving a handler reaches the page as a failed call.
using ScriptHandler = GS::Ref<JS::Base> (*)(const GS::Ref<JS::Base>& argument);

struct ScriptFunction {
    const char* name;
    ScriptHandler handler;
};

// Every function of "QUILAPI", in registration order.
std::span<const ScriptFunction> GetScriptFunctionTable();

#endif
