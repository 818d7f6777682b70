#include "ProjectBox.hpp"

#include "HostBinding/HostOperations.hpp"

#include <algorithm>
#include <limits>

API_Box3D ComputeProjectBox() {
    constexpr double Largest = std::numeric_limits<double>::max();
    API_Box3D box{Largest, Largest, -Largest, -Largest, Largest, -Largest};

    GS::Array<API_Guid> elements;
    if (ACAPI_Element_GetElemList(API_AnyElemTypeID, &elements) != NoError) return API_Box3D{};

    for (const API_Guid& guid : elements) {
        API_Elem_Head head;
        head.guid = guid;
        if (ACAPI_Element_GetHeader(&head) != NoError) continue;
        API_Box3D bounds;
        if (ACAPI_Element_CalcBounds(&head, &bounds) != NoError) continue;
        box.xMin = std::min(box.xMin, bounds.xMin);
        box.yMin = std::min(box.yMin, bounds.yMin);
        box.zMin = std::min(box.zMin, bounds.zMin);
        box.xMax = std::max(box.xMax, bounds.xMax);
        box.yMax = std::max(box.yMax, bounds.yMax);
        box.zMax = std::max(box.zMax, bounds.zMax);
    }
    return box;
}
