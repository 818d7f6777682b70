#ifndef DG_COMPOUNDITEMOBSERVER_HPP
#define DG_COMPOUNDITEMOBSERVER_HPP

#include "DGPanel.hpp"

namespace DG {

// Lets a class that observes several kinds of items attach to all of a panel's items at once: each item gets the
// object as the observer of its kind, when the object is one. [main-thread]
class DG_DLL_EXPORT CompoundItemObserver {
public:
    virtual ~CompoundItemObserver();

    // Covers the items that exist when called.
    void AttachToAllItems(const Panel& panel);
    void DetachFromAllItems(const Panel& panel);
};

} // namespace DG

#endif
