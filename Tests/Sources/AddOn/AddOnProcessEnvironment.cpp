// Sets up the process of a test program that links the add-on's objects, as the module's load does: libcurl, and
// the add-on's resources when the program carries them (quillmar_add_resources).

#include "HostBinding/AddOnProcess.hpp"

#include <gtest/gtest.h>

namespace {

// An address inside the program, to find the file that carries the resources.
void AddressInProgram() {}

class AddOnProcessEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(SetUpAddOnProcess(reinterpret_cast<const void*>(&AddressInProgram))); }
    void TearDown() override { TearDownAddOnProcess(); }
};

// GoogleTest owns and deletes the environment.
[[maybe_unused]] const ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new AddOnProcessEnvironment);

} // namespace
