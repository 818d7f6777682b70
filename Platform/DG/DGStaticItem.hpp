#ifndef DG_STATICITEM_HPP
#define DG_STATICITEM_HPP

#include "DGPanel.hpp"

namespace DG {

// A label, left-aligned; the user cannot change it. [main-thread]
class DG_DLL_EXPORT LeftText : public Item {
public:
    using Item::Item;
    ~LeftText() override;

    void SetText(const GS::UniString& newText) { SetItemText(newText); }
};

} // namespace DG

#endif
