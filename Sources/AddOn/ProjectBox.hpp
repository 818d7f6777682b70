#ifndef QUILLMAR_PROJECTBOX_HPP
#define QUILLMAR_PROJECTBOX_HPP

#include "APIDefinitions.hpp"

// The box around every element whose 3D bounds the host gives. All zeros when the element list cannot be had;
// with no readable bounds it stays inverted (minima at the largest double, maxima at its negative). [main-thread]
API_Box3D ComputeProjectBox();

#endif
