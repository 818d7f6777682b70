#include "ViewpointData.hpp"

#include "HostBinding/HostOperations.hpp"

#include <cmath>

ViewpointVector operator+(const ViewpointVector& a, const ViewpointVector& b) noexcept {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

ViewpointVector operator-(const ViewpointVector& a, const ViewpointVector& b) noexcept {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

ViewpointVector operator*(double factor, const ViewpointVector& v) noexcept {
    return {factor * v.x, factor * v.y, factor * v.z};
}

double Dot(const ViewpointVector& a, const ViewpointVector& b) noexcept {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

ViewpointVector Cross(const ViewpointVector& a, const ViewpointVector& b) noexcept {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double Length(const ViewpointVector& v) noexcept {
    return std::sqrt(Dot(v, v));
}

ViewpointVector Normalise(const ViewpointVector& v) noexcept {
    const double length = Length(v);
    if (length == 0.0) return v;
    return (1.0 / length) * v;
}

SurveyTransformation SurveyTransformation::FromHost() {
    API_Tranmat matrix;
    if (ACAPI_SurveyPoint_GetSurveyPointTransformation(&matrix) != NoError) return SurveyTransformation(std::nullopt);
    return SurveyTransformation(matrix);
}

ViewpointVector SurveyTransformation::RotateToSurvey(const ViewpointVector& v) const noexcept {
    if (!matrix) return v;
    const double* m = matrix->tmx;
    return {m[0] * v.x + m[1] * v.y + m[2] * v.z, m[4] * v.x + m[5] * v.y + m[6] * v.z,
            m[8] * v.x + m[9] * v.y + m[10] * v.z};
}

ViewpointVector SurveyTransformation::ToSurvey(const ViewpointVector& point) const noexcept {
    if (!matrix) return point;
    const double* m = matrix->tmx;
    return RotateToSurvey(point) + ViewpointVector{m[3], m[7], m[11]};
}

ViewpointVector SurveyTransformation::RotateFromSurvey(const ViewpointVector& v) const noexcept {
    if (!matrix) return v;
    const double* m = matrix->tmx;
    return {m[0] * v.x + m[4] * v.y + m[8] * v.z, m[1] * v.x + m[5] * v.y + m[9] * v.z,
            m[2] * v.x + m[6] * v.y + m[10] * v.z};
}

ViewpointVector SurveyTransformation::FromSurvey(const ViewpointVector& point) const noexcept {
    if (!matrix) return point;
    const double* m = matrix->tmx;
    return RotateFromSurvey(point - ViewpointVector{m[3], m[7], m[11]});
}

ParallelAxes GetParallelAxes(const ViewpointVector& right, const ViewpointVector& up) noexcept {
    const double ax = std::atan2(up.x, right.x);
    const double ay = std::atan2(up.y, right.y);
    const double az = std::atan2(up.z, right.z);
    return {{std::cos(ax), std::cos(ay), std::cos(az)}, {std::sin(ax), std::sin(ay), std::sin(az)}};
}

double PerspectiveEquivalentScale(double halfSize, double viewConeDegrees, double distance) noexcept {
    const double tangent = std::tan(viewConeDegrees * 0.017453292519943295 * 0.5);
    const double scale = halfSize / (tangent * distance);
    if (halfSize == 0.0 || tangent == 0.0 || distance == 0.0 || !std::isfinite(scale)) return 0.0;
    return scale;
}
