#include "DGStaticItem.hpp"

namespace DG {

LeftText::~LeftText() = default;

} // namespace DG
