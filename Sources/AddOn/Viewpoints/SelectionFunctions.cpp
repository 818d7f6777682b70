#include "SelectionFunctions.hpp"

#include "QuillmarPalette.hpp"
#include "ScriptArguments.hpp"

GS::Ref<JS::Base> AddComponent(const GS::Ref<JS::Base>& argument) {
    bool tracking = false;
    if (DecodeBoolArgument(argument, &tracking) && QuillmarPalette::HasInstance())
        QuillmarPalette::GetInstance().SetSelectionTracking(tracking);
    return MakeBoolResult(true);
}
