#ifndef DG_EDITCONTROL_HPP
#define DG_EDITCONTROL_HPP

#include "DGPanel.hpp"

namespace DG {

// A one-line text field. Its length limit comes from the resource; text beyond it is cut off, as the host stops
// the user typing there. [main-thread]
class DG_DLL_EXPORT TextEdit : public Item {
public:
    TextEdit(const Panel& panel, short index);
    ~TextEdit() override;

    // The most UTF-16 units the field holds; 0 for no limit.
    UInt32 GetMaxLength() const noexcept { return maxLength; }
    // Sets the content, cut at the length limit (never inside a surrogate pair).
    void SetText(const GS::UniString& newText);

private:
    UInt32 maxLength;
};

} // namespace DG

#endif
