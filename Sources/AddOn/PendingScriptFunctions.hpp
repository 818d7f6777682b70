#ifndef QUILLMAR_PENDINGSCRIPTFUNCTIONS_HPP
#define QUILLMAR_PENDINGSCRIPTFUNCTIONS_HPP

#include "JSValues.hpp"
#include "Ref.hpp"

// Answers of the script functions whose features are not built yet: each gives the empty result of its kind
// (an acknowledgement or an empty text) and changes nothing.

GS::Ref<JS::Base> PendingAcknowledge(const GS::Ref<JS::Base>& argument);
GS::Ref<JS::Base> PendingEmptyText(const GS::Ref<JS::Base>& argument);

#endif
