#ifndef TESTS_SUPPORT_SERVICEADDRESS_HPP
#define TESTS_SUPPORT_SERVICEADDRESS_HPP

// The build's service address (QUILLMAR_API_BASE_URL and QUILLMAR_WEB_APPLICATION_URL), which the add-on of this
// build talks to. Each preset has a port of its own, so the suites of two builds can run side by side; within one
// run the tests that serve it take turns (RESOURCE_LOCK service_port).
namespace QuillmarTest {

inline constexpr const char* ServiceHost = QUILLMAR_SERVICE_HOST;
inline constexpr int ServicePort = QUILLMAR_SERVICE_PORT;
inline constexpr const char* ApiBaseUrl = QUILLMAR_API_BASE_URL;
inline constexpr const char* WebApplicationUrl = QUILLMAR_WEB_APPLICATION_URL;

} // namespace QuillmarTest

#endif
