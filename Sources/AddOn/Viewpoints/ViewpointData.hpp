#ifndef QUILLMAR_VIEWPOINTDATA_HPP
#define QUILLMAR_VIEWPOINTDATA_HPP

#include "APIDefinitions.hpp"
#include "Array.hpp"
#include "UniString.hpp"

#include <optional>

// The viewpoint as the add-on holds it between the page's JSON and the host's 3D window, and the vector helpers
// both directions share.

struct ViewpointVector {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    friend bool operator==(const ViewpointVector&, const ViewpointVector&) = default;
};

ViewpointVector operator+(const ViewpointVector& a, const ViewpointVector& b) noexcept;
ViewpointVector operator-(const ViewpointVector& a, const ViewpointVector& b) noexcept;
ViewpointVector operator*(double factor, const ViewpointVector& v) noexcept;
double Dot(const ViewpointVector& a, const ViewpointVector& b) noexcept;
ViewpointVector Cross(const ViewpointVector& a, const ViewpointVector& b) noexcept;
double Length(const ViewpointVector& v) noexcept;
// Divided by its length; a vector of length zero stays as it is.
ViewpointVector Normalise(const ViewpointVector& v) noexcept;

// One section plane: a point of it, then its unit normal.
struct ACSection {
    ViewpointVector location;
    ViewpointVector normal;
};

struct ViewpointData {
    bool perspective = true;
    ViewpointVector location;
    ViewpointVector direction;
    ViewpointVector up;
    ViewpointVector right;
    double cameraFactor = 0.0; // perspective: the view-cone angle in degrees; parallel: the divisor of the scale
    bool visibility = true;
    GS::UniString imageId;
    GS::UniString creatingTool;
    GS::Array<GS::UniString> selectedGlobalIds;
    GS::Array<GS::UniString> visibilityExceptions;
    GS::Array<ACSection> sections;
};

// The project's survey point transformation M = [Rm | t] as the host gives it ('SPTR'), or the identity when it
// gives none. [main-thread]
class SurveyTransformation {
public:
    static SurveyTransformation FromHost();
    explicit SurveyTransformation(const std::optional<API_Tranmat>& matrix) : matrix(matrix) {}

    bool IsPresent() const noexcept { return matrix.has_value(); }
    // Model to survey: M.p and Rm.v.
    ViewpointVector ToSurvey(const ViewpointVector& point) const noexcept;
    ViewpointVector RotateToSurvey(const ViewpointVector& vector) const noexcept;
    // Survey to model, as the inverse of a rigid motion: Rm^T.(p - t) and Rm^T.v.
    ViewpointVector FromSurvey(const ViewpointVector& point) const noexcept;
    ViewpointVector RotateFromSurvey(const ViewpointVector& vector) const noexcept;

private:
    std::optional<API_Tranmat> matrix;
};

// The factors of the host's mapping of a parallel view onto the 3D window, from the camera's right and up vectors:
// screen x = w/2 - s.(A.p) pixels from the offset, screen y = -s.(B.p) - h/2 (see the application of viewpoints).
struct ParallelAxes {
    ViewpointVector a;
    ViewpointVector b;
};
ParallelAxes GetParallelAxes(const ViewpointVector& right, const ViewpointVector& up) noexcept;

// The host's view scale that a perspective camera with view cone `viewConeDegrees` gives at `distance` in a window
// whose larger side is 2 * halfSize; 0 when any of them is zero or the result is not finite.
double PerspectiveEquivalentScale(double halfSize, double viewConeDegrees, double distance) noexcept;

#endif
