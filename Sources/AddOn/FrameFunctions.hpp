#ifndef QUILLMAR_FRAMEFUNCTIONS_HPP
#define QUILLMAR_FRAMEFUNCTIONS_HPP

#include "JSValues.hpp"
#include "Ref.hpp"

// Script functions that belong to the add-on frame itself. [main-thread]

// The path of the add-on's "resources" data folder ("" when it cannot be had).
GS::Ref<JS::Base> GetResourceFolder(const GS::Ref<JS::Base>& argument);
// Shows the text in an information alert; true once it is closed.
GS::Ref<JS::Base> AlertAPI(const GS::Ref<JS::Base>& argument);
// The project's name, "Untitled" for a never saved project, "" when the host cannot say.
GS::Ref<JS::Base> RequestFileName(const GS::Ref<JS::Base>& argument);
// "de" or "en", the service base with a trailing "/", the add-on version and the host generation, joined by ",".
GS::Ref<JS::Base> GetApplicationInfo(const GS::Ref<JS::Base>& argument);

#endif
