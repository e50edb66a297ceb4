#include <gtest/gtest.h>

#include "platform/application.h"
#include "platform/graphics.h"

// The browser engine is built without the address sanitizer and frees some objects through a
// base of another size; that check is left to the rest of the tests.
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  EnsureGuiApplication();
  Application->Initialize();
  return RUN_ALL_TESTS();
}
